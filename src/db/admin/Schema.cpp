#include "Schema.h"

#include "DbLog.h"
#include "Transaction.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace VexDb::Schema {

namespace {

struct Migration
{
    int version;
    const char *description;
    QStringList statements;
};

// Codes compare bytewise on both databases; SQLite's default collation
// already is, PostgreSQL's follows the database locale unless told.
const QString kBinaryMark = QStringLiteral("%BIN%");

const QList<Migration> &migrations()
{
    static const QList<Migration> list = {
        {1, "tables",
         {
             QStringLiteral(
                 "CREATE TABLE FILIAL ("
                 " CDFILIAL VARCHAR(4) %BIN% NOT NULL PRIMARY KEY,"
                 " NMFILIAL VARCHAR(30),"
                 " IDOPELOG CHAR(1) NOT NULL DEFAULT 'N',"
                 " CDFILIOPELOG VARCHAR(4) %BIN%,"
                 " IDCNTRRESC CHAR(1),"
                 " CDFILCENTCMP VARCHAR(4) %BIN%,"
                 " CDREGIAO VARCHAR(3) %BIN%)"),
             QStringLiteral(
                 "CREATE TABLE PRODUTO ("
                 " CDPRODUTO VARCHAR(10) %BIN% NOT NULL PRIMARY KEY,"
                 " CDARVPROD VARCHAR(20) %BIN% NOT NULL,"
                 " NMPRODUTO VARCHAR(50),"
                 " CDNVPRODUTO INTEGER,"
                 " SGUNIDADE VARCHAR(10))"),
             QStringLiteral("CREATE UNIQUE INDEX UX_PRODUTO_ARV ON PRODUTO (CDARVPROD)"),
             QStringLiteral(
                 "CREATE TABLE CONSOLOL ("
                 " NRSEQUCONSOL VARCHAR(15) %BIN% NOT NULL PRIMARY KEY,"
                 " CDFILIOPELOG VARCHAR(4) %BIN%,"
                 " DTINICONSSOLOL DATE,"
                 " DTFINCONSSOLOL DATE)"),
             QStringLiteral(
                 "CREATE TABLE SOLICMP ("
                 " NRSOLICMP VARCHAR(10) %BIN% NOT NULL,"
                 " CDPRODUTO VARCHAR(10) %BIN% NOT NULL,"
                 " CDFILSOLI VARCHAR(4) %BIN% NOT NULL,"
                 " DTSOLICMP DATE,"
                 " DTPROGENTR DATE,"
                 " QTSOLIPROD DOUBLE PRECISION,"
                 " VRFATOCONV DOUBLE PRECISION,"
                 " IDSOLIAPROV CHAR(1),"
                 " CDFILIOPELOG VARCHAR(4) %BIN%,"
                 " CDPRODESTO VARCHAR(10) %BIN%,"
                 " NRSEQUCONSOL VARCHAR(15) %BIN%,"
                 " NRSOLCMPCONS VARCHAR(10) %BIN%,"
                 " IDITMCONS CHAR(1),"
                 " PRIMARY KEY (NRSOLICMP, CDPRODUTO))"),
             QStringLiteral(
                 "CREATE TABLE PEDIDOOL ("
                 " NRPEDEXOL VARCHAR(10) %BIN% NOT NULL,"
                 " CDFILDEST VARCHAR(4) %BIN% NOT NULL,"
                 " CDPRODUTO VARCHAR(10) %BIN% NOT NULL,"
                 " CDMARCA VARCHAR(5) %BIN% NOT NULL,"
                 " CDFILLANC VARCHAR(4) %BIN%,"
                 " CDFILIOPELOG VARCHAR(4) %BIN%,"
                 " NRSEQUCONSOL VARCHAR(15) %BIN%,"
                 " QTPROGENPEOL DOUBLE PRECISION,"
                 " VRFATOCONV DOUBLE PRECISION,"
                 " DTPROGENPEOL DATE,"
                 " DTPROGEMBARQ DATE,"
                 " IDBAIXENPEOL CHAR(1),"
                 " IDBAIXAOLSAI CHAR(1),"
                 " QTRESERVITEM DOUBLE PRECISION,"
                 " PRIMARY KEY (NRPEDEXOL, CDFILDEST, CDPRODUTO, CDMARCA))"),
             QStringLiteral(
                 "CREATE TABLE ESTOQUEOL ("
                 " CDFILIOPELOG VARCHAR(4) %BIN% NOT NULL,"
                 " CDPRODUTO VARCHAR(10) %BIN% NOT NULL,"
                 " CDMARCA VARCHAR(5) %BIN% NOT NULL,"
                 " CDPRODREL VARCHAR(10) %BIN%,"
                 " QTESTOQUE DOUBLE PRECISION,"
                 " QTRESERVESTOL DOUBLE PRECISION,"
                 " PRIMARY KEY (CDFILIOPELOG, CDPRODUTO, CDMARCA))"),
         }},
        {2, "indexes for the tracking queries",
         {
             QStringLiteral("CREATE INDEX IX_SOLICMP_FILSOLI ON SOLICMP"
                            " (CDFILSOLI, CDFILIOPELOG, DTPROGENTR)"),
             QStringLiteral("CREATE INDEX IX_SOLICMP_OPELOG ON SOLICMP"
                            " (CDFILIOPELOG, CDFILSOLI)"),
             QStringLiteral("CREATE INDEX IX_SOLICMP_CONSOL ON SOLICMP (NRSEQUCONSOL)"),
             QStringLiteral("CREATE INDEX IX_PEDIDOOL_ITEM ON PEDIDOOL"
                            " (NRSEQUCONSOL, CDFILIOPELOG, CDFILDEST, CDPRODUTO)"),
             QStringLiteral("CREATE INDEX IX_FILIAL_OPELOG ON FILIAL (CDFILIOPELOG)"),
             QStringLiteral("CREATE INDEX IX_CONSOLOL_OPELOG ON CONSOLOL (CDFILIOPELOG)"),
         }},
        {3, "sign-in users",
         {
             // Hash and salt in hex; the time of the last failure as ISO
             // UTC text with milliseconds, like SCHEMA_VERSION's.
             QStringLiteral(
                 "CREATE TABLE USUARIO ("
                 " CDLOGIN VARCHAR(64) %BIN% NOT NULL PRIMARY KEY,"
                 " DSHASHSENHA VARCHAR(128) NOT NULL,"
                 " DSSALSENHA VARCHAR(128) NOT NULL,"
                 " NRITERACOES INTEGER NOT NULL,"
                 " IDATIVO CHAR(1) NOT NULL DEFAULT 'S',"
                 " NRFALHAS INTEGER NOT NULL DEFAULT 0,"
                 " DTULTFALHA VARCHAR(30))"),
         }},
        {4, "sign-in revocation and failures per address",
         {
             // Raised by a password change or a disable: tokens carry the
             // generation they were issued under.
             QStringLiteral("ALTER TABLE USUARIO ADD COLUMN NRGERACAO INTEGER NOT NULL DEFAULT 0"),
             // Failed sign-ins per login (known or not) and client address,
             // shared by every instance; rows are forgotten a day after
             // their last failure.
             QStringLiteral(
                 "CREATE TABLE FALHAENTRADA ("
                 " CDLOGIN VARCHAR(80) %BIN% NOT NULL,"
                 " DSENDERECO VARCHAR(64) %BIN% NOT NULL,"
                 " NRFALHAS INTEGER NOT NULL DEFAULT 0,"
                 " DTULTFALHA VARCHAR(30) %BIN% NOT NULL,"
                 " PRIMARY KEY (CDLOGIN, DSENDERECO))"),
             QStringLiteral("CREATE INDEX IX_FALHAENTRADA_END ON FALHAENTRADA"
                            " (DSENDERECO, DTULTFALHA)"),
             QStringLiteral("CREATE INDEX IX_FALHAENTRADA_DATA ON FALHAENTRADA (DTULTFALHA)"),
         }},
    };
    return list;
}

bool isSqlite(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QSQLITE");
}

QString dialect(const QSqlDatabase &db, QString sql)
{
    return sql.replace(kBinaryMark, isSqlite(db) ? QString() : QStringLiteral("COLLATE \"C\""));
}

bool exec(QSqlQuery &q, const QString &sql, QString *error)
{
    if (q.exec(sql))
        return true;
    *error = QStringLiteral("%1: %2").arg(sql.left(60), q.lastError().text().simplified());
    return false;
}

bool ensureVersionTable(QSqlDatabase &db, QString *error)
{
    QSqlQuery q(db);
    return exec(q, QStringLiteral("CREATE TABLE IF NOT EXISTS SCHEMA_VERSION ("
                                  " NRVERSAO INTEGER NOT NULL PRIMARY KEY,"
                                  " DSMIGRACAO VARCHAR(100),"
                                  " DTAPLICACAO VARCHAR(20))"),
                error);
}

bool versionTableExists(QSqlDatabase &db)
{
    const QStringList tables = db.tables();
    return tables.contains(QStringLiteral("SCHEMA_VERSION"), Qt::CaseInsensitive);
}

int readVersion(QSqlDatabase &db, QString *error)
{
    QSqlQuery q(db);
    if (!exec(q, QStringLiteral("SELECT MAX(NRVERSAO) FROM SCHEMA_VERSION"), error))
        return -1;
    return q.next() ? q.value(0).toInt() : 0;
}

// Serialises concurrent migrators: SQLite already holds the write lock
// (BEGIN IMMEDIATE); PostgreSQL needs the version table locked.
bool lockVersions(QSqlDatabase &db, QString *error)
{
    if (isSqlite(db))
        return true;
    QSqlQuery q(db);
    return exec(q, QStringLiteral("LOCK TABLE SCHEMA_VERSION IN EXCLUSIVE MODE"), error);
}

bool apply(QSqlDatabase &db, const Migration &m, QString *error)
{
    Transaction tx(db);
    if (!tx.begin(error) || !lockVersions(db, error))
        return false;
    const int have = readVersion(db, error);
    if (have < 0)
        return false;
    if (have >= m.version)
        return true; // another migrator got here first
    QSqlQuery q(db);
    for (const QString &sql : m.statements) {
        if (!exec(q, dialect(db, sql), error)) {
            *error =
                QStringLiteral("falha na versão %1 do esquema: %2").arg(m.version).arg(*error);
            return false;
        }
    }
    q.prepare(QStringLiteral("INSERT INTO SCHEMA_VERSION (NRVERSAO, DSMIGRACAO, DTAPLICACAO)"
                             " VALUES (?, ?, ?)"));
    q.addBindValue(m.version);
    q.addBindValue(QString::fromLatin1(m.description));
    q.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    if (!q.exec()) {
        *error = QStringLiteral("não foi possível registrar a versão %1 do esquema: %2")
                     .arg(m.version)
                     .arg(q.lastError().text().simplified());
        return false;
    }
    if (!tx.commit(error))
        return false;
    qCDebug(lcVexDb) << "schema version" << m.version << "applied";
    return true;
}

} // namespace

int currentVersion()
{
    return migrations().last().version;
}

int version(QSqlDatabase &db, QString *error)
{
    QString dummy;
    if (!versionTableExists(db))
        return 0;
    return readVersion(db, error ? error : &dummy);
}

bool migrate(QSqlDatabase &db, QString *error)
{
    return migrateTo(db, currentVersion(), error);
}

bool migrateTo(QSqlDatabase &db, int target, QString *error)
{
    QString dummy;
    QString *err = error ? error : &dummy;
    if (target < 0 || target > currentVersion()) {
        *err = QStringLiteral("versão de esquema desconhecida: %1").arg(target);
        return false;
    }
    if (!ensureVersionTable(db, err))
        return false;
    const int have = readVersion(db, err);
    if (have < 0)
        return false;
    if (have > currentVersion()) {
        *err = QStringLiteral("o esquema do banco de dados está na versão %1, mais nova que a "
                              "que este programa conhece (%2)")
                   .arg(have)
                   .arg(currentVersion());
        return false;
    }
    for (const Migration &m : migrations()) {
        if (m.version > have && m.version <= target && !apply(db, m, err))
            return false;
    }
    return true;
}

QStringList dataTables()
{
    return {QStringLiteral("FILIAL"), QStringLiteral("PRODUTO"), QStringLiteral("CONSOLOL"),
            QStringLiteral("SOLICMP"), QStringLiteral("PEDIDOOL"), QStringLiteral("ESTOQUEOL")};
}

} // namespace VexDb::Schema
