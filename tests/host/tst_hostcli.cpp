#include "HostCommandLine.h"
#include "HostMainWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class tst_HostCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("error");
        QTest::newRow("nothing") << QStringList{} << true << "" << "" << "";
        QTest::newRow("open") << QStringList{"--open", "VEX00300"} << true << "VEX00300" << ""
                              << "";
        QTest::newRow("open=") << QStringList{"--open=VEX00300"} << true << "VEX00300" << ""
                               << "";
        QTest::newRow("both") << QStringList{"--config", "/x/vex.ini", "--open", "A"} << true
                              << "A" << "/x/vex.ini" << "";
        QTest::newRow("open without code") << QStringList{"--open"} << false << "" << ""
                                           << "--open precisa de um valor";
        QTest::newRow("open followed by option")
            << QStringList{"--open", "--config", "f"} << false << "" << ""
            << "--open precisa de um valor";
        QTest::newRow("empty config") << QStringList{"--config="} << false << "" << ""
                                      << "--config precisa de um valor";
        QTest::newRow("unknown") << QStringList{"--abrir", "X"} << false << "" << ""
                                 << "argumento desconhecido: --abrir";
        QTest::newRow("stray word") << QStringList{"VEX00300"} << false << "" << ""
                                    << "argumento desconhecido: VEX00300";
    }
    void parse()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, ok);
        QFETCH(QString, open);
        QFETCH(QString, config);
        QFETCH(QString, error);
        HostCommandLine line;
        QString why;
        QCOMPARE(HostCommandLine::parse(args, &line, &why), ok);
        QCOMPARE(why, error);
        if (ok) {
            QCOMPARE(line.openCode, open);
            QCOMPARE(line.configFile, config);
        }
    }

    // Arguments are read before the GUI exists (a display that is not there
    // must not matter); vex.ini is read once, before the main window.
    void executableRefusesBadArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("platform");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        const QString noDisplay = QStringLiteral("xcb");
        QTest::newRow("help") << QStringList{"--help"} << "" << noDisplay << 0 << "Uso: vex-host";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "" << noDisplay << 2
                                        << "argumento desconhecido: --bogus";
        QTest::newRow("missing value")
            << QStringList{"--open"} << "" << noDisplay << 2 << "--open precisa";
        QTest::newRow("missing config file") << QStringList{"--config", "/nonexistent/vex.ini"}
                                             << "" << "offscreen" << 2 << "/nonexistent/vex.ini";
        QTest::newRow("VEX_CONFIG missing")
            << QStringList{} << "/nonexistent/vex.ini" << "offscreen" << 2
            << "/nonexistent/vex.ini";
        QTest::newRow("VEX_CONFIG malformed")
            << QStringList{} << "[Server]\nPort=muitos\n" << "offscreen" << 2 << "Port";
    }
    void executableRefusesBadArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, config);
        QFETCH(QString, platform);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        QTemporaryDir dir;
        if (config.startsWith(u'[')) {
            QFile file(dir.filePath(QStringLiteral("vex.ini")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(config.toUtf8());
            config = file.fileName();
        }
        if (!config.isEmpty())
            env.insert(QStringLiteral("VEX_CONFIG"), config);
        QProcess host;
        host.setProcessEnvironment(env);
        host.start(QStringLiteral(VEX_BIN_DIR "/vex-host"), args);
        QVERIFY2(host.waitForFinished(20000), "vex-host did not stop");
        QCOMPARE(host.exitStatus(), QProcess::NormalExit);
        const QString text = QString::fromUtf8(exitCode == 0 ? host.readAllStandardOutput()
                                                             : host.readAllStandardError());
        QVERIFY2(host.exitCode() == exitCode, qPrintable(text));
        QVERIFY2(text.contains(output), qPrintable(text));
        if (exitCode != 0) { // one line of its own (Qt may add warnings of its own)
            const QStringList own = text.split('\n').filter(QRegularExpression("^vex-host: "));
            QCOMPARE(own.size(), 1);
            QVERIFY(own.first().contains(output));
        }
    }

    // On a screen, a person sees why the host does not start, not only a
    // line on a terminal nobody looks at.
    void startFailureShownOnScreen()
    {
        QString shown;
        QTimer::singleShot(0, [&shown] {
            QTRY_VERIFY(QApplication::activeModalWidget());
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            shown = box ? box->text() : QStringLiteral("(no message box)");
            qobject_cast<QDialog *>(QApplication::activeModalWidget())->reject();
        });
        HostMainWindow::reportStartFailure(QStringLiteral("vex.ini: [Server] Port inválida"), true);
        QVERIFY2(shown.contains("vex.ini: [Server] Port inválida"), qPrintable(shown));
    }
};

QTEST_MAIN(tst_HostCli)
#include "tst_hostcli.moc"
