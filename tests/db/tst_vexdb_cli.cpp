#include "FreshDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QTest>

namespace {

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome runTool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(VEX_BIN_DIR "/vex-db"), args);
    Outcome o;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return o;
    o.exitCode = p.exitCode();
    o.out = QString::fromUtf8(p.readAllStandardOutput());
    o.err = QString::fromUtf8(p.readAllStandardError());
    return o;
}

} // namespace

class tst_VexDbCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusedWithOneLine_data();
    void refusedWithOneLine();
    void help();
    void initAndDemoOnSqlite();
    void demoOnPostgres();

private:
    QTemporaryDir m_dir;
};

void tst_VexDbCli::refusedWithOneLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason");
    const QString db = "sqlite:" + m_dir.filePath("never.db");
    QTest::newRow("no command") << QStringList{} << 2 << "missing command";
    QTest::newRow("unknown command") << QStringList{"drop", "--database", db} << 2 << "drop";
    QTest::newRow("no database") << QStringList{"init"} << 2 << "--database";
    QTest::newRow("database without value") << QStringList{"init", "--database"} << 2
                                            << "--database";
    QTest::newRow("unknown url") << QStringList{"init", "--database", "mysql://a@b/c"} << 2
                                 << "URL de banco de dados desconhecida";
    QTest::newRow("postgres without db") << QStringList{"init", "--database",
                                                        "postgresql://u@127.0.0.1:5432/"}
                                         << 2 << "/BANCO";
    QTest::newRow("postgres bad port") << QStringList{"init", "--database",
                                                      "postgresql://u@127.0.0.1:99999/x"}
                                       << 2 << "URL PostgreSQL";
    QTest::newRow("init extra") << QStringList{"init", "--database", db, "--scale", "2"} << 2
                                << "--scale";
    QTest::newRow("scale text") << QStringList{"demo", "--database", db, "--scale", "abc"}
                                << 2 << "--scale";
    QTest::newRow("scale zero") << QStringList{"demo", "--database", db, "--scale", "0"} << 2
                                << "--scale";
    QTest::newRow("scale missing") << QStringList{"demo", "--database", db, "--scale"} << 2
                                   << "--scale";
    QTest::newRow("seed negative") << QStringList{"demo", "--database", db, "--seed", "-1"}
                                   << 2 << "--seed";
    QTest::newRow("today bad") << QStringList{"demo", "--database", db, "--today",
                                              "2025-13-01"}
                               << 2 << "--today";
    QTest::newRow("unknown option") << QStringList{"demo", "--database", db, "--fast"} << 2
                                    << "--fast";
    QTest::newRow("unreachable postgres")
        << QStringList{"init", "--database", "postgresql://vex@127.0.0.1:1/vex"} << 1
        << "não foi possível conectar";
    QTest::newRow("sqlite missing folder")
        << QStringList{"init", "--database", "sqlite:" + m_dir.filePath("no/such/x.db")} << 1
        << "não existe";
    QTest::newRow("sqlite path is a folder")
        << QStringList{"demo", "--database", "sqlite:" + m_dir.path()} << 1 << "não é um arquivo";
}

void tst_VexDbCli::refusedWithOneLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    const Outcome o = runTool(args);
    QCOMPARE(o.exitCode, exitCode);
    QVERIFY2(o.err.endsWith('\n') && o.err.count('\n') == 1, qPrintable(o.err));
    QVERIFY2(o.err.contains(reason), qPrintable(o.err));
    QVERIFY(o.out.isEmpty());
    QVERIFY(!QFile::exists(m_dir.filePath("never.db")));
}

void tst_VexDbCli::help()
{
    const Outcome o = runTool({"--help"});
    QCOMPARE(o.exitCode, 0);
    QVERIFY(o.out.contains("vex-db init --database URL"));
    QVERIFY(o.out.contains("--replace"));
    QVERIFY(o.err.isEmpty());
}

void tst_VexDbCli::initAndDemoOnSqlite()
{
    const QString db = "sqlite:" + m_dir.filePath("demo.db");
    Outcome o = runTool({"init", "--database", db});
    QCOMPARE(o.exitCode, 0);
    QVERIFY2(o.out.contains("version 0 to"), qPrintable(o.out));
    // It holds password hashes: nothing for other users of the machine.
    const QFile::Permissions others = QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFileInfo(m_dir.filePath("demo.db")).permissions() & others, QFile::Permissions());
    o = runTool({"init", "--database", db});
    QCOMPARE(o.exitCode, 0);
    QVERIFY2(o.out.contains("already at version"), qPrintable(o.out));

    const QStringList demo{"demo", "--database", db, "--scale", "0.02", "--seed", "9",
                           "--today", "2025-01-31"};
    o = runTool(demo);
    QCOMPARE(o.exitCode, 0);
    QVERIFY2(o.out.contains("request items") && o.err.isEmpty(), qPrintable(o.out + o.err));
    const QString summary = o.out;

    o = runTool(demo);
    QCOMPARE(o.exitCode, 1);
    QVERIFY2(o.err.contains("--replace") && o.err.count('\n') == 1, qPrintable(o.err));

    o = runTool(demo + QStringList{"--replace"});
    QCOMPARE(o.exitCode, 0);
    // Same counts as the first run (the time may differ).
    QCOMPARE(o.out.section(':', 1), summary.section(':', 1));
}

void tst_VexDbCli::demoOnPostgres()
{
    VEX_SKIP_WITHOUT_POSTGRES();
    FreshDatabase fresh(FreshDatabase::Kind::PostgreSQL);
    QVERIFY2(fresh.isReady(), qPrintable(fresh.error()));
    const Outcome o = runTool({"demo", "--database", fresh.url(), "--scale", "0.02"});
    QCOMPARE(o.exitCode, 0);
    QVERIFY2(o.out.contains("request items"), qPrintable(o.out + o.err));
}

QTEST_GUILESS_MAIN(tst_VexDbCli)
#include "tst_vexdb_cli.moc"
