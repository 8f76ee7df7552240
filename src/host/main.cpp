#include "HostCommandLine.h"
#include "HostMainWindow.h"
#include "HostSignIn.h"

#include "data/TdtmDBGeral.h"
#include "forms/SignInDialog.h"
#include "services/Exceptions.h"
#include "services/HostConfig.h"
#include "services/HostDisplays.h"
#include "services/HostLocale.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>

namespace {
int fail(const QString &reason, int code = 2)
{
    std::fprintf(stderr, "vex-host: %s\n", qPrintable(reason));
    return code;
}

// The arguments as the application would see them, read before it exists so
// that --help and a bad argument need no display.
QStringList arguments(int argc, char *argv[])
{
    QStringList list;
    for (int i = 1; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

// Reads vex.ini once, here, where a missing or malformed file can still be
// reported in one line instead of failing later inside the event loop.
bool loadConfig(const QString &configFile, QString *error)
{
    const QString path = configFile.isEmpty() ? HostConfig::locate() : configFile;
    if (path.isEmpty()) {
        HostConfig::setCurrent(HostConfig());
        return true;
    }
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("arquivo de configuração não encontrado: %1").arg(path);
        return false;
    }
    try {
        HostConfig::setCurrent(HostConfig::fromFile(path));
    } catch (const EVexError &e) {
        *error = e.message();
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    HostCommandLine options;
    QString error;
    if (!HostCommandLine::parse(arguments(argc, argv), &options, &error))
        return fail(error);
    if (options.help) {
        std::fputs(qPrintable(HostCommandLine::usage()), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vex"));
    QApplication::setOrganizationName(QStringLiteral("vex"));
    HostLocale::install(&app);
    // After the application exists: locating vex.ini looks beside the executable.
    if (!loadConfig(options.configFile, &error)) {
        HostMainWindow::reportStartFailure(error, HostMainWindow::hasScreen());
        return 2;
    }

    HostMainWindow window;
    HostMainWindow::installDialogDisplays();
    // Without a window manager (Xvfb) maximizing does nothing: size it too.
    window.setGeometry(window.screen()->availableGeometry());
    window.showMaximized();

    // Before any package runs: nothing of theirs may reach the server unsigned.
    const SignInAttempts::Ask ask = SignInDialog::asker(&window);
    const HostSignIn::StartResult signIn = HostSignIn::atStart(ask);
    if (!HostSignIn::startMayGoOn(signIn.outcome)) {
        if (signIn.outcome == HostSignIn::Start::Refused)
            HostDisplays::showError(signIn.message);
        return fail(signIn.message, 3);
    }
    if (signIn.outcome == HostSignIn::Start::Unreachable)
        window.statusBar()->showMessage(signIn.message);
    HostSignIn::askAgainWhenRefused(ask);
    window.loadPackages(PackageLoader::defaultModulesDir());

    const QString databaseUrl = HostConfig::current().databaseUrl;
    if (!databaseUrl.isEmpty()) {
        try {
            dtmDBGeral().Open(databaseUrl);
        } catch (const EVexError &e) {
            HostDisplays::showError(e.message());
        }
    }
    if (!options.openCode.isEmpty()) {
        QTimer::singleShot(0, &window, [&window, code = options.openCode] {
            window.openScreen(code);
        });
    }
    const int rc = app.exec();
    window.shutdown();
    return rc;
}
