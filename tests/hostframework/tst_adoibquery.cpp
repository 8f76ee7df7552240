#include "OleDate.h"
#include "data/TADOIBQuery.h"
#include "data/TdtmDBGeral.h"
#include "services/Exceptions.h"
#include "services/HostConfig.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QTcpServer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class tst_ADOIBQuery : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void boundParameter_data();
    void boundParameter();
    void noRow_data();
    void noRow();
    void sqlError_data();
    void sqlError();
    void reopenAndTypes_data();
    void reopenAndTypes();
    void missingParameter_data();
    void missingParameter();
    void opensFromHostConfig();
    void connectionFailure();
    void silentDatabaseTimesOut();
    void slowStatementTimesOut();

private:
    void addDatabases();
    void openDatabase(); // fetches the "url" column, fills FILIAL
    void declareSql(TADOIBQuery &query);

    QTemporaryDir m_dir;
    QString m_sqliteUrl;
};

void tst_ADOIBQuery::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_sqliteUrl = QStringLiteral("sqlite:") + m_dir.filePath(QStringLiteral("vex.db"));
}

void tst_ADOIBQuery::cleanupTestCase()
{
    dtmDBGeral().Close();
}

void tst_ADOIBQuery::addDatabases()
{
    QTest::addColumn<QString>("url");
    QTest::newRow("sqlite") << m_sqliteUrl;
    QTest::newRow("postgresql") << qEnvironmentVariable("VEX_TEST_PG_URL");
}

void tst_ADOIBQuery::openDatabase()
{
    QFETCH(QString, url);
    if (url.isEmpty())
        QSKIP("VEX_TEST_PG_URL not set");
    dtmDBGeral().Open(url);
    QVERIFY(dtmDBGeral().Connected());
    // A session table: private to this connection, gone when it closes.
    const QStringList statements{
        "CREATE TEMPORARY TABLE FILIAL (CDFILIAL varchar(4) PRIMARY KEY, "
        "NMFILIAL varchar(30), DTCADASTRO date, QTAREA double precision, NRLOJAS integer)",
        "INSERT INTO FILIAL VALUES ('0001', 'Matriz', '2025-12-09', 1250.5, 3)",
        "INSERT INTO FILIAL VALUES ('0''1', 'D''Ávila & Cia', NULL, NULL, NULL)",
        "INSERT INTO FILIAL VALUES ('0002', 'Filial Centro Sul Norte Leste', '1899-12-29', "
        "0.1, 0)"};
    QSqlQuery sql(dtmDBGeral().adcGeral());
    for (const QString &statement : statements)
        QVERIFY2(sql.exec(statement), qPrintable(sql.lastError().text()));
}

void tst_ADOIBQuery::declareSql(TADOIBQuery &query)
{
    query.SQL << QStringLiteral("SELECT NMFILIAL, DTCADASTRO, QTAREA, NRLOJAS")
              << QStringLiteral("  FROM FILIAL") << QStringLiteral(" WHERE CDFILIAL = :P_CDFILIAL")
              << QStringLiteral(" ");
    query.AddField(QStringLiteral("NMFILIAL"), TFieldType::ftString, 30);
}

void tst_ADOIBQuery::boundParameter_data()
{
    addDatabases();
}

void tst_ADOIBQuery::boundParameter()
{
    openDatabase();
    TADOIBQuery query(QStringLiteral("qryOL"));
    declareSql(query);
    query.ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(QStringLiteral("0'1"));
    query.Open();
    QVERIFY(query.Active());
    QCOMPARE(query.Query()->RecordCount(), 1);
    QCOMPARE(query.Query()->FieldByName(QStringLiteral("NMFILIAL"))->AsString(),
             QStringLiteral("D'Ávila & Cia"));

    // A quote that would close the literal if the value were pasted in.
    query.ParamByName(QStringLiteral("p_cdfilial"))->SetAsString(QStringLiteral("' OR '1'='1"));
    query.Open();
    QVERIFY(query.Active());
    QCOMPARE(query.Query()->RecordCount(), 0);
}

void tst_ADOIBQuery::noRow_data()
{
    addDatabases();
}

void tst_ADOIBQuery::noRow()
{
    openDatabase();
    TADOIBQuery query(QStringLiteral("qryOL"));
    declareSql(query);
    int scrolls = 0;
    query.Query()->AfterScroll = [&](TClientDataSet *) { ++scrolls; };
    query.ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(QStringLiteral("9999"));
    query.Open();
    QVERIFY(query.Active());
    QVERIFY(query.Query()->IsEmpty());
    QCOMPARE(scrolls, 0);
    QCOMPARE(query.Query()->FieldByName(QStringLiteral("NMFILIAL"))->DisplayText(), QString());
    query.Close();
    QVERIFY(!query.Active());
}

void tst_ADOIBQuery::sqlError_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    const QString pg = qEnvironmentVariable("VEX_TEST_PG_URL");
    QTest::newRow("sqlite: no table") << m_sqliteUrl << "SELECT NMFILIAL FROM NAOEXISTE"
                                      << "no such table";
    QTest::newRow("sqlite: syntax") << m_sqliteUrl << "SELEC NMFILIAL FROM FILIAL" << "syntax";
    QTest::newRow("postgresql: no table") << pg << "SELECT NMFILIAL FROM NAOEXISTE"
                                          << "does not exist";
    QTest::newRow("postgresql: syntax") << pg << "SELEC NMFILIAL FROM FILIAL" << "syntax";
}

void tst_ADOIBQuery::sqlError()
{
    openDatabase();
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    TADOIBQuery query(QStringLiteral("qryOL"));
    query.SQL << sql;
    query.AddField(QStringLiteral("NMFILIAL"), TFieldType::ftString, 30);
    try {
        query.Open();
        QFAIL("bad SQL opened");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().contains(expected, Qt::CaseInsensitive), qPrintable(e.message()));
    }
    QVERIFY(!query.Active());
    // The connection stays usable after the error.
    query.SQL = QStringList{QStringLiteral("SELECT NMFILIAL FROM FILIAL")};
    query.Open();
    QCOMPARE(query.Query()->RecordCount(), 3);
}

void tst_ADOIBQuery::reopenAndTypes_data()
{
    addDatabases();
}

void tst_ADOIBQuery::reopenAndTypes()
{
    openDatabase();
    TADOIBQuery query(QStringLiteral("qryFilial"));
    declareSql(query);
    query.AddField(QStringLiteral("DTCADASTRO"), TFieldType::ftDateTime);
    query.AddField(QStringLiteral("QTAREA"), TFieldType::ftFloat);
    query.AddField(QStringLiteral("NRLOJAS"), TFieldType::ftInteger);
    TClientDataSet *ds = query.Query();
    query.ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(QStringLiteral("0001"));
    query.Open();
    QCOMPARE(ds->FieldByName(QStringLiteral("DTCADASTRO"))->AsDateTime(),
             OleDate::fromDate(QDate(2025, 12, 9)));
    QCOMPARE(ds->FieldByName(QStringLiteral("QTAREA"))->AsFloat(), 1250.5);
    QCOMPARE(ds->FieldByName(QStringLiteral("NRLOJAS"))->Value(), QVariant(qint64(3)));

    // Open on an open query runs it again with the new value.
    query.ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(QStringLiteral("0002"));
    query.Open();
    QCOMPARE(ds->RecordCount(), 1);
    QCOMPARE(ds->FieldByName(QStringLiteral("NMFILIAL"))->AsString(),
             QStringLiteral("Filial Centro Sul Norte Leste"));
    QCOMPARE(ds->FieldByName(QStringLiteral("DTCADASTRO"))->DisplayText(),
             QStringLiteral("29/12/1899"));
    QCOMPARE(ds->FieldByName(QStringLiteral("QTAREA"))->AsFloat(), 0.1);
}

void tst_ADOIBQuery::missingParameter_data()
{
    addDatabases();
}

void tst_ADOIBQuery::missingParameter()
{
    openDatabase();
    TADOIBQuery query(QStringLiteral("qryOL"));
    declareSql(query);
    try {
        query.Open();
        QFAIL("opened without a parameter value");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("P_CDFILIAL")), qPrintable(e.message()));
    }
}

void tst_ADOIBQuery::opensFromHostConfig()
{
    dtmDBGeral().Close();
    HostConfig config;
    config.databaseUrl = m_sqliteUrl;
    HostConfig::setCurrent(config);
    TADOIBQuery query(QStringLiteral("qryUm"));
    query.SQL << QStringLiteral("SELECT 1 AS UM");
    query.AddField(QStringLiteral("UM"), TFieldType::ftInteger);
    query.Open();
    QVERIFY(dtmDBGeral().Connected());
    QCOMPARE(dtmDBGeral().Url(), m_sqliteUrl);
    QCOMPARE(query.Query()->FieldByName(QStringLiteral("UM"))->AsString(), QStringLiteral("1"));
}

void tst_ADOIBQuery::connectionFailure()
{
    dtmDBGeral().Close();
    HostConfig config;
    HostConfig::setCurrent(config); // no database configured
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, dtmDBGeral().adcGeral());
    try {
        dtmDBGeral().Open(QStringLiteral("postgresql://ninguem@127.0.0.1:1/nada"));
        QFAIL("opened an unreachable database");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("Não foi possível conectar")),
                 qPrintable(e.message()));
        QVERIFY2(e.message().size() > 45, qPrintable(e.message())); // carries the reason
    }
    QVERIFY(!dtmDBGeral().Connected());
}

// A PostgreSQL that takes the connection and never answers: the configured
// connect timeout ends the wait with the reason, not a hang.
void tst_ADOIBQuery::silentDatabaseTimesOut()
{
    dtmDBGeral().Close();
    QTcpServer silent; // the kernel accepts for it; nothing is ever said
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    HostConfig config;
    config.databaseConnectTimeoutS = 1;
    HostConfig::setCurrent(config);
    QElapsedTimer clock;
    clock.start();
    const QString url = QStringLiteral("postgresql://ninguem@127.0.0.1:%1/nada")
                            .arg(silent.serverPort());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, dtmDBGeral().Open(url));
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!dtmDBGeral().Connected());
}

void tst_ADOIBQuery::slowStatementTimesOut()
{
    const QString pg = qEnvironmentVariable("VEX_TEST_PG_URL");
    if (pg.isEmpty())
        QSKIP("VEX_TEST_PG_URL not set");
    dtmDBGeral().Close();
    HostConfig config;
    config.databaseStatementTimeoutMs = 300;
    HostConfig::setCurrent(config);
    dtmDBGeral().Open(pg);
    TADOIBQuery query(QStringLiteral("qryLenta"));
    query.SQL << QStringLiteral("SELECT pg_sleep(5) IS NULL AS X");
    query.AddField(QStringLiteral("X"), TFieldType::ftString, 5);
    QElapsedTimer clock;
    clock.start();
    try {
        query.Open();
        QFAIL("a five-second statement ran past a 300 ms limit");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("não respondeu em 300 ms")),
                 qPrintable(e.message()));
    }
    QVERIFY(clock.elapsed() < 4000);
    dtmDBGeral().Close();
    HostConfig::setCurrent(HostConfig());
}

QTEST_GUILESS_MAIN(tst_ADOIBQuery)
#include "tst_adoibquery.moc"
