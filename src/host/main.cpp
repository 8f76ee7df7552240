#include "HostCommandLine.h"
#include "HostMainWindow.h"

#include "data/TdtmDBGeral.h"
#include "services/Exceptions.h"
#include "services/HostConfig.h"
#include "services/HostDisplays.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vex"));
    QApplication::setOrganizationName(QStringLiteral("vex"));

    HostCommandLine options;
    QString error;
    if (!HostCommandLine::parse(app.arguments().mid(1), &options, &error)) {
        std::fprintf(stderr, "vex-host: %s\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(HostCommandLine::usage()), stdout);
        return 0;
    }
    if (!options.configFile.isEmpty()) {
        if (!QFileInfo(options.configFile).isFile()) {
            std::fprintf(stderr, "vex-host: arquivo de configuração não encontrado: %s\n",
                         qPrintable(options.configFile));
            return 2;
        }
        try {
            HostConfig::setCurrent(HostConfig::fromFile(options.configFile));
        } catch (const EVexError &e) {
            std::fprintf(stderr, "vex-host: %s\n", qPrintable(e.message()));
            return 2;
        }
    }

    HostMainWindow window;
    HostMainWindow::installDialogDisplays();
    // Without a window manager (Xvfb) maximizing does nothing: size it too.
    window.setGeometry(window.screen()->availableGeometry());
    window.showMaximized();
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
