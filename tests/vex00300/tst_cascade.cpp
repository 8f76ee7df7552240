// The four-level cascade against a recording application server: which
// methods are called, with which arguments in which order, and what each
// level holds afterwards.
#include "Cli_vex00300.h"
#include "RecordingServer.h"
#include "TestSupport.h"

#include "app/TApplication.h"
#include "controls/TButtonFlat.h"
#include "controls/TDBGrid.h"
#include "controls/TDBText.h"
#include "controls/WaitAnimation.h"
#include "data/TClientDataSet.h"
#include "data/TdtmDBGeral.h"
#include "net/TNetConnection.h"
#include "services/Exceptions.h"
#include "services/SafeCall.h"

#include <QAction>
#include <QApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using AcomPOLDataSets::prodFields;
using AcomPOLDataSets::prodOLFields;
using AcomPOLDataSets::soliFields;

namespace {
const double kEntr = 45100.0;
const double kEmbarq = 45090.5;

QVariantMap request(const char *nr, const QVariant &consol)
{
    return {{"NRSOLICMP", nr}, {"NRSEQUCONSOL", consol}, {"CDPRODESTO", "E1"},
            {"DTPROGENTR", kEntr}, {"QTSOLIPROD", 5.0}, {"VRFATOCONV", 2.0},
            {"CDPRODUTO", "PR1"}, {"CDARVPROD", "0102030001"}};
}

QVariantMap product(const char *pedido, const char *marca)
{
    return {{"CDFILDEST", "0001"}, {"CDFILLANC", "0009"}, {"NRPEDEXOL", pedido},
            {"CDPRODUTO", "PR1"}, {"CDMARCA", marca}, {"DTPROGEMBARQ", kEmbarq},
            {"QTPROGENPEOL", 10.0}, {"VRFATOCONV", 1.0}};
}

// Counts wait animations that start from nothing on a form.
class AnimationWatcher final : public QObject
{
public:
    int started = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ChildPolished) {
            auto *child = static_cast<QChildEvent *>(event)->child();
            if (child && QByteArray(child->metaObject()->className()) == "WaitOverlay")
                ++started;
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

class tst_Cascade : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void getSoliArguments_data();
    void getSoliArguments();
    void lowerLevelArguments();
    void callsMadeAndNotMade_data();
    void callsMadeAndNotMade();
    void failures_data();
    void failures();
    void gridMoveErrorReachesDisplay();
    void refilterClosesAllLevels_data();
    void refilterClosesAllLevels();
    void serverDownAtCreation();

private:
    void setCriteria(const QString &prodFin);
    void setStandardAnswers();
    void load(const QStringList &branches);

    std::unique_ptr<VexTest::HostFixture> m_host;
    RecordingServer m_server;
    QPointer<TfrmAcomPOL> m_window;
    AnimationWatcher m_watcher;
    QTemporaryDir m_dir;
};

void tst_Cascade::initTestCase()
{
    QVERIFY(m_server.start());
    VexTest::useServerPort(m_server.port());
    m_host = std::make_unique<VexTest::HostFixture>();

    dtmDBGeral().Open(QStringLiteral("sqlite:") + m_dir.filePath("cascade.db"));
    QSqlQuery q(dtmDBGeral().adcGeral());
    QVERIFY(q.exec("CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) PRIMARY KEY, NMFILIAL VARCHAR(30))"));
    QVERIFY(q.exec("INSERT INTO FILIAL VALUES ('0100', 'Operador Campinas')"));

    m_window = TApplication::instance()->CreateForm<TfrmAcomPOL>();
    QVERIFY(m_window);
    QVERIFY(m_window->netAcomPOL->Connected());
    QCOMPARE(m_window->netAcomPOL->ServerName(), QStringLiteral("VEX00300.rdmAcomPOL"));
    QVERIFY(!m_window->netAcomPOL->ThrowException());
    m_window->installEventFilter(&m_watcher);
}

void tst_Cascade::cleanupTestCase()
{
    delete m_window.data();
    m_host.reset();
}

void tst_Cascade::init()
{
    for (TClientDataSet *ds : {m_window->cdsProdOL, m_window->cdsProd, m_window->cdsSoli,
                               m_window->cdsFilial})
        ds->Close();
    m_server.clearAnswers();
    setStandardAnswers();
    setCriteria(QStringLiteral("ABC"));
    m_server.clearCalls();
    m_host->errors.clear();
    m_watcher.started = 0;
}

void tst_Cascade::setCriteria(const QString &prodFin)
{
    m_window->Var_filtro("0001,0003", "", "0100", "", "T", "A1", prodFin, "", "C1,C3", "",
                         "T", "S", "T", "D", 45000.0, 45200.5, 44900.0, 45150.0);
}

void tst_Cascade::setStandardAnswers()
{
    using VexTest::packetJson;
    m_server.setResult("GetSoli|0001",
                       packetJson(soliFields(), {request("R1", "C1"), request("R2", "")}));
    m_server.setResult("GetSoli|0002", packetJson(soliFields(), {}));
    m_server.setResult("GetSoli|0003", packetJson(soliFields(), {request("R3", "C3")}));
    m_server.setResult("GetSoli|0004", packetJson(soliFields(), {request("R4", "   ")}));
    m_server.setResult("GetProd|0001", packetJson(prodFields(), {product("PED1", "M1"),
                                                                  product("PED2", "M2")}));
    m_server.setResult("GetProd|0003", packetJson(prodFields(), {}));
    m_server.setResult("GetProdOL", packetJson(prodOLFields(),
                                               {{{"PRODARVOL", "0102"}, {"QUANT_ESTOQUE", 7.0}}}));
}

void tst_Cascade::load(const QStringList &branches)
{
    m_window->cdsFilial->LoadFromPacket(VexTest::branchPacket(branches));
}

void tst_Cascade::getSoliArguments_data()
{
    QTest::addColumn<QString>("prodFin");
    QTest::addColumn<QString>("sent");
    QTest::newRow("short code") << "ABC" << "ABC" + QString(17, u'Z');
    QTest::newRow("empty") << "" << QString(20, u'Z');
    QTest::newRow("full width") << "01234567890123456789" << "01234567890123456789";
    QTest::newRow("longer than 20") << "0123456789012345678901" << "0123456789012345678901";
}

void tst_Cascade::getSoliArguments()
{
    QFETCH(QString, prodFin);
    QFETCH(QString, sent);
    setCriteria(prodFin);
    load({"0002"});
    const QList<RecordingServer::Call> calls = m_server.calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].method, QStringLiteral("VEX00300.rdmAcomPOL.GetSoli"));
    const QJsonArray expected{"0002", "0100", 45000.0, 45200.5, "", 44900.0, 45150.0, "T",
                              "A1", sent, "", "Entrega direta", "C1,C3", "", "T", "S", "T",
                              "D"};
    QCOMPARE(calls[0].params, expected);
    QCOMPARE(Cli_vex00300::stProdFin, prodFin); // the stored bound is not padded
}

void tst_Cascade::lowerLevelArguments()
{
    load({"0001"});
    QCOMPARE(m_server.methods(), (QStringList{"GetSoli", "GetProd", "GetProdOL"}));
    const QList<RecordingServer::Call> calls = m_server.calls();
    QCOMPARE(calls[1].params, (QJsonArray{"0001", "0100", kEntr, "E1", "D", "C1"}));
    QCOMPARE(calls[2].params,
             (QJsonArray{"0001", "0009", "PED1", kEntr, "PR1", "M1", "0100", kEmbarq}));
    QCOMPARE(m_window->cdsSoli->RecordCount(), 2);
    QCOMPARE(m_window->cdsProd->RecordCount(), 2);
    QCOMPARE(m_window->cdsProdOL->RecordCount(), 1);
    QCOMPARE(WaitAnimation::depth(), 0);

    // The next product row fetches its own stock.
    m_server.clearCalls();
    m_window->cdsProd->MoveTo(1);
    QCOMPARE(m_server.methods(), QStringList{"GetProdOL"});
    QCOMPARE(m_server.calls()[0].params[2].toString(), QStringLiteral("PED2"));
    QCOMPARE(m_server.calls()[0].params[5].toString(), QStringLiteral("M2"));
}

void tst_Cascade::callsMadeAndNotMade_data()
{
    QTest::addColumn<QStringList>("branches");
    QTest::addColumn<QStringList>("moves");   // "filial:N" / "soli:N", after the load
    QTest::addColumn<QStringList>("calls");   // with moves: the calls of the moves only
    QTest::addColumn<int>("soliRows");        // -1: closed
    QTest::addColumn<int>("prodRows");
    QTest::addColumn<int>("prodOLRows");
    QTest::addColumn<int>("animations");      // -1: not checked

    const QStringList none;
    QTest::newRow("empty branch list") << QStringList{} << none << none << -1 << -1 << -1 << 0;
    QTest::newRow("branch without requests")
        << QStringList{"0002"} << none << QStringList{"GetSoli"} << 0 << -1 << -1 << 1;
    QTest::newRow("branch without requests after a full one")
        << QStringList{"0001", "0002"} << QStringList{"filial:1"} << QStringList{"GetSoli"}
        << 0 << -1 << -1 << 1;
    QTest::newRow("order without products")
        << QStringList{"0003"} << none << QStringList{"GetSoli", "GetProd"} << 1 << 0 << -1
        << 1;
    QTest::newRow("next branch row")
        << QStringList{"0003", "0001"} << QStringList{"filial:1"}
        << QStringList{"GetSoli", "GetProd", "GetProdOL"} << 2 << 2 << 1 << 1;
    QTest::newRow("request not consolidated")
        << QStringList{"0001"} << QStringList{"soli:1"} << none << 2 << -1 << -1 << 0;
    QTest::newRow("blank consolidation")
        << QStringList{"0004"} << none << QStringList{"GetSoli"} << 1 << -1 << -1 << 1;
    QTest::newRow("back to a consolidated request")
        << QStringList{"0001"} << QStringList{"soli:1", "soli:0"}
        << QStringList{"GetProd", "GetProdOL"} << 2 << 2 << 1 << 1;
}

void tst_Cascade::callsMadeAndNotMade()
{
    QFETCH(QStringList, branches);
    QFETCH(QStringList, moves);
    QFETCH(QStringList, calls);
    QFETCH(int, soliRows);
    QFETCH(int, prodRows);
    QFETCH(int, prodOLRows);
    QFETCH(int, animations);

    load(branches);
    if (!moves.isEmpty()) {
        m_server.clearCalls();
        m_watcher.started = 0;
    }
    for (const QString &move : moves) {
        TClientDataSet *ds = move.startsWith(u"filial") ? m_window->cdsFilial : m_window->cdsSoli;
        ds->MoveTo(move.section(u':', 1).toInt());
    }
    QCOMPARE(m_server.methods(), calls);
    auto rows = [](TClientDataSet *ds) { return ds->Active() ? ds->RecordCount() : -1; };
    QCOMPARE(rows(m_window->cdsSoli), soliRows);
    QCOMPARE(rows(m_window->cdsProd), prodRows);
    QCOMPARE(rows(m_window->cdsProdOL), prodOLRows);
    QCOMPARE(WaitAnimation::depth(), 0);
    if (animations >= 0)
        QCOMPARE(m_watcher.started, animations);
}

void tst_Cascade::failures_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<int>("soliRows");
    QTest::addColumn<int>("prodRows");
    QTest::addColumn<int>("prodOLRows");
    QTest::newRow("level 2") << "GetSoli" << -1 << -1 << -1;
    QTest::newRow("level 3") << "GetProd" << 2 << -1 << -1;
    QTest::newRow("level 4") << "GetProdOL" << 2 << 2 << -1;
}

void tst_Cascade::failures()
{
    QFETCH(QString, method);
    QFETCH(int, soliRows);
    QFETCH(int, prodRows);
    QFETCH(int, prodOLRows);

    m_server.clearAnswers();
    setStandardAnswers();
    const QString message = QStringLiteral("Falha simulada em ") + method;
    m_server.setError(method + "|0001", -32000, message);
    m_server.setError(method, -32000, message);
    // The grid's row moves reach the handlers through SafeCall, as here.
    QVERIFY(!SafeCall([this] { load({"0001"}); }));
    QCOMPARE(m_host->errors, QStringList{message});
    QCOMPARE(WaitAnimation::depth(), 0);
    QVERIFY(!WaitAnimation::visible());
    auto rows = [](TClientDataSet *ds) { return ds->Active() ? ds->RecordCount() : -1; };
    QCOMPARE(rows(m_window->cdsSoli), soliRows);
    QCOMPARE(rows(m_window->cdsProd), prodRows);
    QCOMPARE(rows(m_window->cdsProdOL), prodOLRows);

    // Still usable once the server answers again.
    m_server.clearAnswers();
    setStandardAnswers();
    m_server.clearCalls();
    QVERIFY(SafeCall([this] { load({"0001"}); }));
    QCOMPARE(m_server.methods(), (QStringList{"GetSoli", "GetProd", "GetProdOL"}));
    QCOMPARE(rows(m_window->cdsProdOL), 1);
}

void tst_Cascade::gridMoveErrorReachesDisplay()
{
    load({"0001", "0003"});
    m_server.setError("GetSoli|0003", -32000, QStringLiteral("Filial recusada"));
    TDBGrid *grid = m_window->dbgPadrao;
    grid->setCurrentIndex(grid->model()->index(1, 0));
    QCOMPARE(m_host->errors, QStringList{"Filial recusada"});
    QCOMPARE(WaitAnimation::depth(), 0);
    QCOMPARE(m_window->cdsFilial->CurrentRow(), 1);
}

void tst_Cascade::refilterClosesAllLevels_data()
{
    QTest::addColumn<QString>("via");
    QTest::newRow("button") << "button";
    QTest::newRow("menu") << "menu";
    QTest::newRow("short-cut Ctrl+L") << "shortcut";
}

void tst_Cascade::refilterClosesAllLevels()
{
    QFETCH(QString, via);
    load({"0001"});
    QVERIFY(m_window->cdsProdOL->Active());
    const QString branchName = m_window->dbtOL->text();
    QCOMPARE(branchName, QStringLiteral("Operador Campinas"));
    m_server.clearCalls();

    VexTest::ModalCloser closer;
    if (via == u"menu") {
        m_window->mnuOrdenar->trigger();
    } else if (via == u"button") {
        m_window->sbtFiltro->click();
    } else {
        Cli_vex00300::boPrimVez = false; // the first activation's dialog is not tested here
        TApplication::instance()->ShowForm(m_window);
        QWidget *top = m_window->window();
        top->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(top));
        QTest::keyClick(m_window->dbgPadrao, Qt::Key_L, Qt::ControlModifier);
    }
    QCOMPARE(closer.closed(), 1);
    for (TClientDataSet *ds : {m_window->cdsFilial, m_window->cdsSoli, m_window->cdsProd,
                               m_window->cdsProdOL})
        QVERIFY2(!ds->Active(), qPrintable(ds->objectName()));
    QCOMPARE(m_window->dbtOL->text(), branchName);
    QCOMPARE(Cli_vex00300::stFilOL, QStringLiteral("0100"));
    m_window->cdsFilial->MoveTo(0);
    m_window->cdsSoli->Next();
    QVERIFY(m_server.calls().isEmpty());
    QVERIFY(!m_window->mnuVerificar->isEnabled());
}

void tst_Cascade::serverDownAtCreation()
{
    const quint16 port = VexTest::deadPort();
    VexTest::useServerPort(port);
    QPointer<TfrmAcomPOL> window = TApplication::instance()->CreateForm<TfrmAcomPOL>();
    QVERIFY(window);
    QVERIFY(!window->netAcomPOL->Connected());
    int attempts = 0;
    auto original = window->netAcomPOL->BeforeConnect;
    window->netAcomPOL->BeforeConnect = [&](TNetConnection *sender) {
        ++attempts;
        original(sender);
    };

    QString error;
    try {
        window->cdsFilial->LoadFromPacket(VexTest::branchPacket({"0001"}));
    } catch (const ENetError &e) {
        error = e.message();
    }
    QVERIFY2(!error.isEmpty(), "an unreachable server must give a clear error");
    QCOMPARE(WaitAnimation::depth(), 0);
    QCOMPARE(attempts, 1);

    VexTest::releasePort(port);
    RecordingServer back(port);
    QVERIFY(back.start());
    back.setResult("GetSoli", VexTest::packetJson(soliFields(), {request("R9", "")}));
    window->cdsFilial->LoadFromPacket(VexTest::branchPacket({"0001"}));
    QCOMPARE(back.methods(), QStringList{"GetSoli"});
    QCOMPARE(attempts, 2);
    QCOMPARE(window->cdsSoli->RecordCount(), 1);

    // Closing disconnects and frees the window.
    window->Close();
    QTRY_VERIFY(window.isNull());
    VexTest::useServerPort(m_server.port());
}

QTEST_MAIN(tst_Cascade)
#include "tst_cascade.moc"
