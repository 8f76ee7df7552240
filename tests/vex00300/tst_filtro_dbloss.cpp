// The host's own PostgreSQL stops while the filter dialog checks a product
// code: a clear error within the configured time, the dialog still usable,
// and the check works again once the database is back.
#include "Cli_vex00301.h"
#include "FilterDriver.h"
#include "TestSupport.h"

#include "Database.h"
#include "Schema.h"
#include "app/TApplication.h"
#include "data/TdtmDBGeral.h"
#include "services/HostConfig.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class tst_FiltroDbLoss : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void productCheckWithTheDatabaseGone();

private:
    bool cluster(const QString &command, QByteArray *out = nullptr);
    QString productName();

    QTemporaryDir m_clusterDir{QStringLiteral("/tmp/vex-pg-dialog.XXXXXX")};
    bool m_started = false;
    std::unique_ptr<VexTest::HostFixture> m_host;
    QPointer<TfrmFiltroAcomPOL> m_dialog;
    std::unique_ptr<VexTest::FilterDriver> m_driver;
};

bool tst_FiltroDbLoss::cluster(const QString &command, QByteArray *out)
{
    QProcess p;
    p.start(QStringLiteral(VEX_SOURCE_DIR "/scripts/pg-cluster"), {command, m_clusterDir.path()});
    const bool ok = p.waitForFinished(60000) && p.exitCode() == 0;
    if (out)
        *out = p.readAllStandardOutput();
    if (!ok)
        qWarning() << command << p.readAllStandardError();
    return ok;
}

void tst_FiltroDbLoss::initTestCase()
{
    if (QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)
            .isEmpty()) {
        if (qEnvironmentVariableIsSet("VEX_TEST_REQUIRE_PG"))
            QFAIL("VEX_TEST_REQUIRE_PG is set but the PostgreSQL binaries are missing");
        QSKIP("PostgreSQL binaries missing");
    }
    QStandardPaths::setTestModeEnabled(true);
    // A cluster of its own: the one the other suites share must not stop.
    QByteArray started;
    QVERIFY(m_clusterDir.isValid());
    QVERIFY(cluster(QStringLiteral("start"), &started));
    m_started = true;
    const QString url = QString::fromUtf8(started.trimmed()).section(u'=', 1);
    {
        QString error;
        QSqlDatabase db = VexDb::open(url, QStringLiteral("dbloss-setup"), &error);
        QVERIFY2(db.isOpen() && VexDb::Schema::migrate(db, &error), qPrintable(error));
        QSqlQuery q(db);
        QVERIFY2(q.exec("INSERT INTO PRODUTO VALUES ('P1', '01020001', 'Arroz agulhinha 5 kg', 3,"
                        " 'FD')"),
                 qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("dbloss-setup"));
    HostConfig config = HostConfig::current();
    config.databaseConnectTimeoutS = 2;
    config.databaseStatementTimeoutMs = 2000;
    config.databaseUrl = url; // what the host reopens a lost connection from
    HostConfig::setCurrent(config);
    m_host = std::make_unique<VexTest::HostFixture>();
    dtmDBGeral().Open(url);
    m_dialog = m_host->application->CreateDialog<TfrmFiltroAcomPOL>();
    m_driver = std::make_unique<VexTest::FilterDriver>(m_dialog);
    m_dialog->show();
    m_dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog));
}

void tst_FiltroDbLoss::cleanupTestCase()
{
    delete m_dialog.data();
    m_host.reset();
    dtmDBGeral().Close();
    if (m_started)
        cluster(QStringLiteral("stop"));
}

QString tst_FiltroDbLoss::productName()
{
    return qobject_cast<QLineEdit *>(m_driver->control("edtProdutoInicial"))->text();
}

void tst_FiltroDbLoss::productCheckWithTheDatabaseGone()
{
    m_driver->run("type medProdutoInicial 01020001; key Tab");
    QTRY_COMPARE(productName(), QStringLiteral("Arroz agulhinha 5 kg"));

    QVERIFY(cluster(QStringLiteral("stop")));
    m_host->errors.clear();
    QElapsedTimer clock;
    clock.start();
    m_driver->run("focus medProdutoInicial; type medProdutoInicial 01020001; key Tab");
    QTRY_VERIFY_WITH_TIMEOUT(!m_host->errors.isEmpty(), 10000);
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(m_host->errors.first().contains(QStringLiteral("banco de dados"), Qt::CaseInsensitive),
             qPrintable(m_host->errors.first()));
    qInfo() << "shown:" << m_host->errors.first() << "after" << clock.elapsed() << "ms";
    QTest::qWait(50);
    QCOMPARE(m_driver->focusName(), QStringLiteral("medProdutoInicial")); // still usable
    QCOMPARE(productName(), QString());

    QVERIFY(cluster(QStringLiteral("resume")));
    m_host->errors.clear();
    m_driver->run("type medProdutoInicial 01020001; key Tab");
    QTRY_COMPARE_WITH_TIMEOUT(productName(), QStringLiteral("Arroz agulhinha 5 kg"), 10000);
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
}

QTEST_MAIN(tst_FiltroDbLoss)
#include "tst_filtro_dbloss.moc"
