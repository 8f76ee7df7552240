// The tracking window when its application server dies or freezes in the
// middle of the cascade: a clear error within the call timeout, a window that
// stays usable, and a next row move that finds the server again.
#include "AppServerProcess.h"
#include "Cli_vex00300.h"
#include "TestSupport.h"

#include "app/TApplication.h"
#include "appserver/rdmAcomPOL.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "data/TdtmDBGeral.h"
#include "services/Consiste.h"
#include "services/Exceptions.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QPushButton>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {
// kill() only queues SIGSTOP: a server thread busy on the other core may
// still answer. Stopped means the kernel says so ('T' in /proc/PID/stat).
bool stopServer(qint64 pid)
{
    if (::kill(pid_t(pid), SIGSTOP) != 0)
        return false;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (stat.open(QIODevice::ReadOnly)) {
            const QByteArray line = stat.readAll();
            const int close = line.lastIndexOf(')');
            if (close > 0 && line.mid(close + 2, 1) == "T")
                return true;
        }
        QThread::msleep(5);
    }
    return false;
}
} // namespace

class tst_CascadeFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void frozenServerCanBeCancelled();
    void killedServerIsFoundAgain();

private:
    void confirm();
    QString moveBranch(int row); // the error text, empty when the move worked
    QString firstRequest() const;

    VexTest::AppServerProcess m_server;
    std::unique_ptr<VexTest::HostFixture> m_host;
    QPointer<TfrmAcomPOL> m_window;
};

void tst_CascadeFaults::initTestCase()
{
    QString error;
    QVERIFY2(m_server.start(&error), qPrintable(error));
    VexTest::useServerPort(m_server.port());
    m_host = std::make_unique<VexTest::HostFixture>();
    dtmDBGeral().Open(m_server.databaseUrl());
    m_window = TApplication::instance()->CreateForm<TfrmAcomPOL>();
    Cli_vex00300::boPrimVez = false; // no filter dialog on showing
    TApplication::instance()->ShowForm(m_window);
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    confirm();
    QCOMPARE(firstRequest(), QStringLiteral("R1"));
}

void tst_CascadeFaults::cleanupTestCase()
{
    delete m_window.data();
    m_host.reset();
    if (m_server.pid() > 0)
        ::kill(pid_t(m_server.pid()), SIGCONT);
    m_server.stop();
}

void tst_CascadeFaults::confirm()
{
    VexTest::confirmEverything(m_window);
}

QString tst_CascadeFaults::moveBranch(int row)
{
    try {
        m_window->cdsFilial->MoveTo(row);
    } catch (const EVexError &e) {
        return e.message();
    }
    return {};
}

QString tst_CascadeFaults::firstRequest() const
{
    return m_window->cdsSoli->Active() ? m_window->cdsSoliNRSOLICMP->AsString() : QString();
}

// A frozen server: the box turns, offers "Cancelar" after a second, and the
// cancelled call leaves the requests of the branch before; once the server
// runs again the abandoned reply never shows up as another call's answer.
void tst_CascadeFaults::frozenServerCanBeCancelled()
{
    QVERIFY(stopServer(m_server.pid()));
    bool offered = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *cancel = m_window->findChild<QPushButton *>(QStringLiteral("waitCancel"));
        if (cancel && !cancel->isHidden()) {
            offered = true;
            QTest::mouseClick(cancel, Qt::LeftButton);
        }
    });
    poll.start(100);
    const QString error = moveBranch(1);
    poll.stop();
    ::kill(pid_t(m_server.pid()), SIGCONT);
    QCOMPARE(error, QStringLiteral("Operação cancelada pelo usuário."));
    QVERIFY(offered);
    QCOMPARE(firstRequest(), QStringLiteral("R1")); // the level kept what it had
    QCOMPARE(moveBranch(0), QString());
    QCOMPARE(firstRequest(), QStringLiteral("R1"));
    QCOMPARE(moveBranch(1), QString());
    QCOMPARE(firstRequest(), QStringLiteral("R3"));
}

void tst_CascadeFaults::killedServerIsFoundAgain()
{
    const quint16 port = m_server.port();
    QVERIFY(::kill(pid_t(m_server.pid()), SIGKILL) == 0);
    m_server.stop();
    QElapsedTimer clock;
    clock.start();
    const QString error = moveBranch(0);
    QVERIFY2(error.contains(QStringLiteral("servidor de aplicação")), qPrintable(error));
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(firstRequest(), QStringLiteral("R3"));

    QString startError;
    QVERIFY2(m_server.start(&startError, port), qPrintable(startError));
    QCOMPARE(moveBranch(1), QString());
    QCOMPARE(moveBranch(0), QString());
    QCOMPARE(firstRequest(), QStringLiteral("R1"));
}

QTEST_MAIN(tst_CascadeFaults)
#include "tst_cascade_faults.moc"
