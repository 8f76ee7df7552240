// The package as the host sees it: exports, unit table, single window,
// unit initialization and finalization.
#include "Cli_vex00300.h"
#include "Cli_vex00301.h"
#include "TestSupport.h"

#include "app/PackageInfo.h"
#include "app/Screen.h"
#include "app/TApplication.h"
#include "services/Exceptions.h"

#include <QDialog>
#include <QLibrary>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>

#include <memory>

class tst_PackageLifecycle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void exportsResolve_data();
    void exportsResolve();
    void infoTable();
    void initializeRunsOncePerLoad();
    void iniProcTwiceGivesOneWindow();
    void closedWindowIsRecreated();
    void cursorRestoredWhenCreationFails();
    void filterDialogIsReused();
    void finalizeClearsCriteria();

private:
    int acomPOLWindows() const;

    std::unique_ptr<VexTest::HostFixture> m_host;
    QLibrary m_library;
};

void tst_PackageLifecycle::initTestCase()
{
    VexTest::useServerPort(VexTest::deadPort());
    m_host = std::make_unique<VexTest::HostFixture>();
    m_library.setFileName(QStringLiteral(VEX_MODULES_DIR "/libPkg_vex00300.so"));
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
}

void tst_PackageLifecycle::cleanupTestCase()
{
    m_host.reset();
}

int tst_PackageLifecycle::acomPOLWindows() const
{
    int count = 0;
    for (QMdiSubWindow *window : m_host->mdiArea->subWindowList())
        count += qobject_cast<TfrmAcomPOL *>(window->widget()) != nullptr;
    return count;
}

void tst_PackageLifecycle::exportsResolve_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("IniProc") << QString::fromLatin1(kIniProcExport);
    QTest::newRow("Initialize") << QString::fromLatin1(kInitializeExport);
    QTest::newRow("Finalize") << QString::fromLatin1(kFinalizeExport);
    QTest::newRow("GetPackageInfoTable") << QString::fromLatin1(kPackageInfoExport);
}

void tst_PackageLifecycle::exportsResolve()
{
    QFETCH(QString, name);
    QVERIFY2(m_library.resolve(name.toLatin1().constData()), qPrintable(name));
}

void tst_PackageLifecycle::infoTable()
{
    auto info = reinterpret_cast<GetPackageInfoTableProc>(m_library.resolve(kPackageInfoExport));
    QVERIFY(info);
    const PackageInfoTable *table = info();
    QVERIFY(table);
    QCOMPARE(table->unitCount, 2);
    QCOMPARE(QByteArray(table->units[0].name), QByteArray("Cli_vex00301"));
    QCOMPARE(QByteArray(table->units[1].name), QByteArray("Cli_vex00300"));
    for (int i = 0; i < table->unitCount; ++i) {
        QVERIFY(table->units[i].initialization);
        QVERIFY(table->units[i].finalization);
    }
    QCOMPARE(QByteArray(table->screenCode), QByteArray("VEX00300"));
    QCOMPARE(QString::fromUtf8(table->screenCaption),
             QStringLiteral("Acompanhamento de Pedidos OL"));
}

void tst_PackageLifecycle::initializeRunsOncePerLoad()
{
    auto initialize = reinterpret_cast<PackageProc>(m_library.resolve(kInitializeExport));
    QVERIFY(initialize);
    Cli_vex00301::boFiltroCriado = true;
    initialize();
    QVERIFY(!Cli_vex00301::boFiltroCriado); // the dialog unit's initialization ran

    // Asked again, through the export and through the unit table: no effect.
    Cli_vex00301::boFiltroCriado = true;
    initialize();
    auto info = reinterpret_cast<GetPackageInfoTableProc>(m_library.resolve(kPackageInfoExport));
    info()->units[0].initialization();
    QVERIFY(Cli_vex00301::boFiltroCriado);
    Cli_vex00301::boFiltroCriado = false;
}

void tst_PackageLifecycle::iniProcTwiceGivesOneWindow()
{
    auto iniProc = reinterpret_cast<PackageProc>(m_library.resolve(kIniProcExport));
    QVERIFY(iniProc);
    VexTest::ModalCloser closer;
    iniProc();
    QTRY_COMPARE(closer.closed(), 1);
    QPointer<TfrmAcomPOL> first = Cli_vex00300::frmAcomPOL;
    QVERIFY(first);
    QVERIFY(Cli_vex00300::boStCriado);
    QCOMPARE(closer.titles().value(0), QStringLiteral("Filtro de Acompanhameto de Pedidos OL"));

    iniProc();
    QTest::qWait(150); // room for a second dialog that must not come
    QCOMPARE(Cli_vex00300::frmAcomPOL.data(), first.data());
    QCOMPARE(acomPOLWindows(), 1);
    QCOMPARE(closer.closed(), 1);
    QVERIFY(!Cli_vex00300::boPrimVez);
    QCOMPARE(m_host->mdiArea->activeSubWindow()->widget(), first.data());
    QCOMPARE(Screen::Cursor(), int(Screen::crDefault));
}

void tst_PackageLifecycle::closedWindowIsRecreated()
{
    QPointer<TfrmAcomPOL> old = Cli_vex00300::frmAcomPOL;
    QVERIFY(old);
    old->Close();
    QTRY_VERIFY(old.isNull());
    QVERIFY(Cli_vex00300::frmAcomPOL.isNull());
    QCOMPARE(acomPOLWindows(), 0);

    VexTest::ModalCloser closer;
    // A window system re-activates the window as the dialog goes away,
    // before the dialog's call has returned: that must not reopen it.
    closer.onFound = [](QWidget *modal) {
        auto *dialog = qobject_cast<QDialog *>(modal);
        QObject::connect(dialog, &QDialog::finished, dialog, [] {
            if (Cli_vex00300::frmAcomPOL)
                Cli_vex00300::frmAcomPOL->DoActivate();
        }, Qt::SingleShotConnection);
    };
    Cli_vex00300::IniProc();
    QVERIFY(Cli_vex00300::frmAcomPOL);
    QCOMPARE(acomPOLWindows(), 1);
    // A fresh window: its first activation opens the filter again, once.
    QTRY_COMPARE(closer.closed(), 1);
    QTest::qWait(100);
    QCOMPARE(closer.closed(), 1);
    QVERIFY(!Cli_vex00301::boFiltroCriado);
    QVERIFY(!Cli_vex00300::boPrimVez);
}

void tst_PackageLifecycle::cursorRestoredWhenCreationFails()
{
    // Without an MDI area the host cannot take the window: creation throws.
    Cli_vex00300::frmAcomPOL->Close();
    QTRY_VERIFY(Cli_vex00300::frmAcomPOL.isNull());
    delete m_host->application;
    auto *noArea = new TApplication(nullptr);
    bool threw = false;
    try {
        Cli_vex00300::IniProc();
    } catch (const EVexError &) {
        threw = true;
    }
    delete noArea;
    m_host->application = new TApplication(m_host->mdiArea);
    QVERIFY(threw);
    QCOMPARE(Screen::Cursor(), int(Screen::crDefault));
    QVERIFY(Cli_vex00300::frmAcomPOL.isNull());
}

void tst_PackageLifecycle::filterDialogIsReused()
{
    VexTest::ModalCloser closer;
    Cli_vex00300::IniProc();
    QTRY_COMPARE(closer.closed(), 1);
    QPointer<TfrmFiltroAcomPOL> dialog = Cli_vex00301::frmFiltroAcomPOL;
    QVERIFY(dialog);
    QVERIFY(!Cli_vex00301::boFiltroCriado); // cleared by the dialog's close

    Cli_vex00300::frmAcomPOL->sbtFiltroClick(nullptr);
    QCOMPARE(closer.closed(), 2);
    QCOMPARE(Cli_vex00301::frmFiltroAcomPOL.data(), dialog.data());
    QVERIFY(!Cli_vex00301::boFiltroCriado);
}

void tst_PackageLifecycle::finalizeClearsCriteria()
{
    using namespace Cli_vex00300;
    QString *window[] = {&stLFilSoli, &stTFilSoli, &stFilOL, &stDtEntr, &stDtSoli,
                         &stProdIni, &stProdFin, &stProd, &stListaConsol, &stTodasConsol,
                         &stStatus, &stItemConsol, &stPedGerado, &stQtdePedido};
    QString *dialog[] = {&Cli_vex00301::stTFilSoli, &Cli_vex00301::stLFilSoli,
                         &Cli_vex00301::stFilOL, &Cli_vex00301::stDtEntr,
                         &Cli_vex00301::stDtSoli, &Cli_vex00301::stProd,
                         &Cli_vex00301::stListaConsol, &Cli_vex00301::stTodasConsol};
    auto fill = [&] {
        for (QString *s : window)
            *s = QStringLiteral("x");
        for (QString *s : dialog)
            *s = QStringLiteral("y");
    };
    fill();
    DtEntrIni = 45000.5;
    boPrimVez = true;

    auto finalize = reinterpret_cast<PackageProc>(m_library.resolve(kFinalizeExport));
    QVERIFY(finalize);
    finalize();
    for (QString *s : window)
        QVERIFY(s->isEmpty());
    for (QString *s : dialog)
        QVERIFY(s->isEmpty());
    QCOMPARE(DtEntrIni, 45000.5); // dates and flags untouched
    QVERIFY(boPrimVez);
    QVERIFY(boStCriado);

    const QStringList windowOrder{"stQtdePedido", "stPedGerado", "stItemConsol", "stStatus",
                                  "stTodasConsol", "stListaConsol", "stProd", "stProdFin",
                                  "stProdIni", "stDtSoli", "stDtEntr", "stFilOL",
                                  "stTFilSoli", "stLFilSoli"};
    QCOMPARE(Cli_vex00300::FinalizationOrder(), windowOrder);
    const QStringList dialogOrder{"stTodasConsol", "stListaConsol", "stProd", "stDtSoli",
                                  "stDtEntr", "stFilOL", "stLFilSoli", "stTFilSoli"};
    QCOMPARE(Cli_vex00301::FinalizationOrder(), dialogOrder);

    // Asked again in the same load: nothing runs.
    fill();
    finalize();
    QCOMPARE(stFilOL, QStringLiteral("x"));
    QCOMPARE(Cli_vex00301::stFilOL, QStringLiteral("y"));
}

QTEST_MAIN(tst_PackageLifecycle)
#include "tst_package_lifecycle.moc"
