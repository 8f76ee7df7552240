#include "HostMainWindow.h"
#include "PackageLoader.h"

#include "services/HostDisplays.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

class tst_PackageLoader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tempDir;
    QString logPath;
    QStringList shownErrors;

    QStringList logLines() const
    {
        QFile log(logPath);
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    QAction *screenAction(HostMainWindow &window, const QString &code)
    {
        for (QAction *action : window.screensMenu()->actions()) {
            if (action->text().startsWith(code + " - "))
                return action;
        }
        return nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(tempDir.isValid());
        logPath = tempDir.filePath("calls.log");
        qputenv("VEX_TESTPKG_LOG", logPath.toLocal8Bit());
    }
    void init()
    {
        QFile::remove(logPath);
        shownErrors.clear();
        HostDisplays::setErrorHandler([this](const QString &t) { shownErrors << t; });
        HostDisplays::setMessageHandler([this](const QString &t) { shownErrors << t; });
    }
    void cleanup()
    {
        HostDisplays::setErrorHandler({});
        HostDisplays::setMessageHandler({});
    }

    void goodPackageLifecycle()
    {
        HostMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.loadPackages(TEST_MODULES_DIR);
        shownErrors.clear(); // the broken packages beside these: see below

        QStringList codes;
        for (const auto &package : window.loader().packages())
            codes << package->screenCode;
        QCOMPARE(codes, (QStringList{"TST00001", "TST00002"}));
        QCOMPARE(logLines(), (QStringList{"TST00001:Initialize", "TST00001:unit-init",
                                          "TST00002:Initialize", "TST00002:unit-init"}));

        QAction *open = screenAction(window, "TST00001");
        QVERIFY(open);
        QCOMPARE(open->text(), QString("TST00001 - Tela de Teste Ação"));
        QVERIFY(screenAction(window, "TST00002"));

        open->trigger();
        QCOMPARE(logLines().count("TST00001:IniProc"), 1);
        QCOMPARE(window.mdiArea()->subWindowList().size(), 1);
        QVERIFY(window.mdiArea()->activeSubWindow());
        open->trigger(); // the package keeps one window and brings it to the front
        QCOMPARE(logLines().count("TST00001:IniProc"), 2);
        QCOMPARE(window.mdiArea()->subWindowList().size(), 1);
        QVERIFY(shownErrors.isEmpty());

        QFile::remove(logPath);
        window.shutdown();
        // Windows first, then Finalize newest first, each exactly once.
        QCOMPARE(logLines(), (QStringList{"TST00001:FormClose", "TST00002:unit-final",
                                          "TST00002:Finalize", "TST00001:unit-final",
                                          "TST00001:Finalize"}));
        QVERIFY(window.loader().packages().empty());
        QVERIFY(window.mdiArea()->subWindowList().isEmpty());
        window.shutdown(); // twice is harmless
        QCOMPARE(logLines().size(), 5);
    }

    void brokenPackagesAreReportedAndSkipped_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no IniProc") << "libTestPkgNoIniProc.so" << "exportação IniProc não existe";
        QTest::newRow("no info table") << "libTestPkgNoInfo.so"
                                       << "exportação GetPackageInfoTable não existe";
        QTest::newRow("not a library") << "libTestPkgNotALibrary.so" << "libTestPkgNotALibrary.so";
        QTest::newRow("screen already loaded") << "libTestPkgRepeated.so"
                                               << "tela TST00001 já foi carregada";
    }
    void brokenPackagesAreReportedAndSkipped()
    {
        QFETCH(QString, file);
        QFETCH(QString, reason);
        HostMainWindow window;
        window.loadPackages(TEST_MODULES_DIR);
        QCOMPARE(window.loader().packages().size(), size_t(2)); // the good ones still load

        QStringList matching;
        for (const QString &error : window.loader().errors()) {
            if (error.startsWith("Pacote " + file + " não carregado: "))
                matching << error;
        }
        QCOMPARE(matching.size(), 1);
        QVERIFY2(matching.first().contains(reason), qPrintable(matching.first()));
        QVERIFY(shownErrors.contains(matching.first()));
        QCOMPARE(window.loader().errors().size(), 4);
        // Refused packages are not initialized.
        for (const QString &line : logLines())
            QVERIFY2(line.startsWith("TST00001:") || line.startsWith("TST00002:"),
                     qPrintable(line));
        QCOMPARE(logLines().count("TST00001:Initialize"), 1);
    }

    void failingIniProcGoesToTheErrorDisplay()
    {
        HostMainWindow window;
        window.loadPackages(TEST_MODULES_DIR);
        shownErrors.clear();
        QVERIFY(!window.openScreen("TST00002"));
        QCOMPARE(shownErrors, QStringList{"Falha ao abrir a tela de teste."});
        QVERIFY(window.openScreen("TST00001")); // the host goes on
        QCOMPARE(window.mdiArea()->subWindowList().size(), 1);
    }

    void unknownScreenCode()
    {
        HostMainWindow window;
        window.loadPackages(TEST_MODULES_DIR);
        shownErrors.clear();
        QVERIFY(!window.openScreen("VEX99999"));
        QCOMPARE(shownErrors.size(), 1);
        QVERIFY(shownErrors.first().contains("VEX99999"));
    }

    void missingModulesFolder()
    {
        PackageLoader loader;
        QCOMPARE(loader.loadAll(tempDir.filePath("nada")), 0);
        QCOMPARE(loader.errors().size(), 1);
        QVERIFY(loader.errors().first().contains("pasta de módulos"));
        QVERIFY(loader.errors().first().contains(tempDir.filePath("nada")));
    }

    void statusBarNamesServerDatabaseAndUser()
    {
        HostMainWindow window;
        const QString text = window.statusText();
        QVERIFY2(text.contains("Servidor: ") && text.contains("Banco: ")
                     && text.contains("Usuário: "),
                 qPrintable(text));
    }
};

QTEST_MAIN(tst_PackageLoader)
#include "tst_packageloader.moc"
