#include "FreshDatabase.h"
#include "Schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace VexDb;

namespace {

const QStringList kIndexesV2 = {"IX_SOLICMP_FILSOLI", "IX_SOLICMP_OPELOG", "IX_SOLICMP_CONSOL",
                                "IX_PEDIDOOL_ITEM", "IX_FILIAL_OPELOG", "IX_CONSOLOL_OPELOG"};

QStringList indexes(QSqlDatabase &db)
{
    QSqlQuery q(db);
    const bool sqlite = db.driverName() == QLatin1String("QSQLITE");
    q.exec(sqlite ? QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'")
                  : QStringLiteral("SELECT indexname FROM pg_indexes"
                                   " WHERE schemaname = current_schema()"));
    QStringList names;
    while (q.next())
        names << q.value(0).toString().toUpper();
    return names;
}

QStringList columns(QSqlDatabase &db, const QString &table)
{
    const QSqlRecord rec = db.record(table.toLower());
    const QSqlRecord rec2 = rec.isEmpty() ? db.record(table) : rec;
    QStringList names;
    for (int i = 0; i < rec2.count(); ++i)
        names << rec2.fieldName(i).toUpper();
    return names;
}

int scalar(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        return -1;
    return q.value(0).toInt();
}

bool exec(QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery q(db);
    bool ok = false;
    if (values.isEmpty()) {
        ok = q.exec(sql); // PostgreSQL cannot prepare DDL
    } else {
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        ok = q.exec();
    }
    if (!ok)
        qWarning() << sql << q.lastError().text();
    return ok;
}

} // namespace

class tst_Schema : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void freshInitCreatesTables_data() { rows(); }
    void freshInitCreatesTables();
    void initTwiceIsIdempotent_data() { rows(); }
    void initTwiceIsIdempotent();
    void upgradeFromFirstVersionKeepsData_data() { rows(); }
    void upgradeFromFirstVersionKeepsData();
    void failedMigrationLeavesOldVersion_data() { rows(); }
    void failedMigrationLeavesOldVersion();
    void newerDatabaseRefused_data() { rows(); }
    void newerDatabaseRefused();
    void boundDatesCompareAsDates_data() { rows(); }
    void boundDatesCompareAsDates();
    void codesCompareBytewise_data() { rows(); }
    void codesCompareBytewise();
    void productTreeCodeIsUnique_data() { rows(); }
    void productTreeCodeIsUnique();

private:
    static void rows()
    {
        QTest::addColumn<int>("kind");
        FreshDatabase::addRows();
    }
};

void tst_Schema::freshInitCreatesTables()
{
    VEX_FRESH_DATABASE(fresh);
    QSqlDatabase &db = fresh.db();
    QString error;
    QCOMPARE(Schema::version(db, &error), 0);
    QVERIFY2(Schema::migrate(db, &error), qPrintable(error));
    QCOMPARE(Schema::version(db, &error), Schema::currentVersion());

    const QHash<QString, QStringList> expected = {
        {"FILIAL", {"CDFILIAL", "NMFILIAL", "IDOPELOG", "CDFILIOPELOG", "IDCNTRRESC",
                    "CDFILCENTCMP", "CDREGIAO"}},
        {"PRODUTO", {"CDPRODUTO", "CDARVPROD", "NMPRODUTO", "CDNVPRODUTO", "SGUNIDADE"}},
        {"CONSOLOL", {"NRSEQUCONSOL", "CDFILIOPELOG", "DTINICONSSOLOL", "DTFINCONSSOLOL"}},
        {"SOLICMP", {"NRSOLICMP", "CDPRODUTO", "CDFILSOLI", "DTSOLICMP", "DTPROGENTR",
                     "QTSOLIPROD", "VRFATOCONV", "IDSOLIAPROV", "CDFILIOPELOG", "CDPRODESTO",
                     "NRSEQUCONSOL", "NRSOLCMPCONS", "IDITMCONS"}},
        {"PEDIDOOL", {"NRPEDEXOL", "CDFILDEST", "CDPRODUTO", "CDMARCA", "CDFILLANC",
                      "CDFILIOPELOG", "NRSEQUCONSOL", "QTPROGENPEOL", "VRFATOCONV",
                      "DTPROGENPEOL", "DTPROGEMBARQ", "IDBAIXENPEOL", "IDBAIXAOLSAI",
                      "QTRESERVITEM"}},
        {"ESTOQUEOL", {"CDFILIOPELOG", "CDPRODUTO", "CDMARCA", "CDPRODREL", "QTESTOQUE",
                       "QTRESERVESTOL"}},
    };
    QCOMPARE(Schema::dataTables().size(), expected.size());
    for (const QString &table : Schema::dataTables())
        QCOMPARE(columns(db, table), expected.value(table));
    const QStringList have = indexes(db);
    for (const QString &index : kIndexesV2 + QStringList{"UX_PRODUTO_ARV"})
        QVERIFY2(have.contains(index), qPrintable(index));
}

void tst_Schema::initTwiceIsIdempotent()
{
    VEX_FRESH_DATABASE(fresh);
    QSqlDatabase &db = fresh.db();
    QString error;
    QVERIFY2(Schema::migrate(db, &error), qPrintable(error));
    QVERIFY(exec(db, "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDOPELOG) VALUES (?, ?, ?)",
                 {"0001", "OL Teste", "S"}));
    QVERIFY2(Schema::migrate(db, &error), qPrintable(error));
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM SCHEMA_VERSION"), Schema::currentVersion());
    QCOMPARE(scalar(db, "SELECT COUNT(*) FROM FILIAL"), 1);
}

void tst_Schema::upgradeFromFirstVersionKeepsData()
{
    VEX_FRESH_DATABASE(fresh);
    QSqlDatabase &db = fresh.db();
    QString error;
    QVERIFY2(Schema::migrateTo(db, 1, &error), qPrintable(error));
    QCOMPARE(Schema::version(db, &error), 1);
    for (const QString &index : kIndexesV2)
        QVERIFY2(!indexes(db).contains(index), qPrintable(index));
    QVERIFY(exec(db,
                 "INSERT INTO SOLICMP (NRSOLICMP, CDPRODUTO, CDFILSOLI, DTPROGENTR, QTSOLIPROD)"
                 " VALUES (?, ?, ?, ?, ?)",
                 {"00000001", "000010", "0010", QDate(2025, 3, 1), 12.5}));

    QVERIFY2(Schema::migrate(db, &error), qPrintable(error));
    QCOMPARE(Schema::version(db, &error), Schema::currentVersion());
    for (const QString &index : kIndexesV2)
        QVERIFY2(indexes(db).contains(index), qPrintable(index));
    QSqlQuery q(db);
    QVERIFY(q.exec("SELECT CDFILSOLI, DTPROGENTR, QTSOLIPROD FROM SOLICMP"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("0010"));
    QCOMPARE(q.value(1).toDate(), QDate(2025, 3, 1));
    QCOMPARE(q.value(2).toDouble(), 12.5);
}

void tst_Schema::failedMigrationLeavesOldVersion()
{
    VEX_FRESH_DATABASE(fresh);
    QSqlDatabase &db = fresh.db();
    QString error;
    QVERIFY2(Schema::migrateTo(db, 1, &error), qPrintable(error));
    // A table holding the name of the last index of version 2 makes it fail
    // after its earlier statements ran.
    QVERIFY(exec(db, "CREATE TABLE IX_CONSOLOL_OPELOG (X INTEGER)"));
    QVERIFY(!Schema::migrate(db, &error));
    QVERIFY2(error.contains("versão 2"), qPrintable(error));
    QCOMPARE(Schema::version(db, &error), 1);
    QVERIFY(!indexes(db).contains("IX_SOLICMP_FILSOLI"));

    QVERIFY(exec(db, "DROP TABLE IX_CONSOLOL_OPELOG"));
    QVERIFY2(Schema::migrate(db, &error), qPrintable(error));
    QCOMPARE(Schema::version(db, &error), Schema::currentVersion());
}

void tst_Schema::newerDatabaseRefused()
{
    VEX_FRESH_DATABASE(fresh);
    QSqlDatabase &db = fresh.db();
    QString error;
    QVERIFY2(Schema::migrate(db, &error), qPrintable(error));
    QVERIFY(exec(db, "INSERT INTO SCHEMA_VERSION (NRVERSAO) VALUES (?)",
                 {Schema::currentVersion() + 5}));
    QVERIFY(!Schema::migrate(db, &error));
    QVERIFY2(error.contains("mais nova"), qPrintable(error));
}

void tst_Schema::boundDatesCompareAsDates()
{
    VEX_FRESH_DATABASE(fresh);
    QSqlDatabase &db = fresh.db();
    QString error;
    QVERIFY2(Schema::migrate(db, &error), qPrintable(error));
    // Across a month and a year boundary, where text and date order differ
    // if the stored form were not ISO.
    const QList<QDate> dates = {QDate(2024, 12, 31), QDate(2025, 1, 1), QDate(2025, 1, 9),
                                QDate(2025, 1, 10), QDate(2025, 2, 1), QDate(2025, 10, 1)};
    for (int i = 0; i < dates.size(); ++i)
        QVERIFY(exec(db, "INSERT INTO SOLICMP (NRSOLICMP, CDPRODUTO, CDFILSOLI, DTPROGENTR)"
                         " VALUES (?, ?, ?, ?)",
                     {QString::number(i), "P", "0010", dates.at(i)}));
    QSqlQuery q(db);
    q.prepare("SELECT DTPROGENTR FROM SOLICMP WHERE DTPROGENTR BETWEEN ? AND ?"
              " ORDER BY DTPROGENTR");
    q.addBindValue(QDate(2025, 1, 1));
    q.addBindValue(QDate(2025, 2, 1));
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QList<QDate> got;
    while (q.next())
        got << q.value(0).toDate();
    QCOMPARE(got, dates.mid(1, 4));
}

void tst_Schema::codesCompareBytewise()
{
    VEX_FRESH_DATABASE(fresh);
    QSqlDatabase &db = fresh.db();
    QString error;
    QVERIFY2(Schema::migrate(db, &error), qPrintable(error));
    for (const char *code : {"a1", "B1", "01", "0102", "Z9", "01020003"})
        QVERIFY(exec(db, "INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD) VALUES (?, ?)",
                     {code, code}));
    QSqlQuery q(db);
    q.prepare("SELECT CDARVPROD FROM PRODUTO WHERE CDARVPROD BETWEEN ? AND ?"
              " ORDER BY CDARVPROD");
    q.addBindValue("01");
    q.addBindValue("Z" + QString(19, 'Z'));
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QStringList got;
    while (q.next())
        got << q.value(0).toString();
    QCOMPARE(got, (QStringList{"01", "0102", "01020003", "B1", "Z9"}));
}

void tst_Schema::productTreeCodeIsUnique()
{
    VEX_FRESH_DATABASE(fresh);
    QSqlDatabase &db = fresh.db();
    QString error;
    QVERIFY2(Schema::migrate(db, &error), qPrintable(error));
    QVERIFY(exec(db, "INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD) VALUES (?, ?)",
                 {"000001", "01"}));
    QSqlQuery q(db);
    q.prepare("INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD) VALUES (?, ?)");
    q.addBindValue("000002");
    q.addBindValue("01");
    QVERIFY(!q.exec());
}

QTEST_GUILESS_MAIN(tst_Schema)
#include "tst_schema.moc"
