#include "MetricsServer.h"
#include "RpcServer.h"
#include "ServerLog.h"
#include "ServerOptions.h"
#include "SignalWatcher.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
// A one-line reason on stderr; 2 for a bad command line, 1 when the server
// cannot run (database, address).
int fail(const QString &reason, int code = 2)
{
    QString line = reason;
    line.replace(u'\n', u' ');
    std::fprintf(stderr, "vex-appserver: %s\n", qPrintable(line.simplified()));
    return code;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vex-appserver"));

    ServerOptions options;
    QString message;
    switch (ServerOptions::parse(app.arguments(), &options, &message)) {
    case ServerOptions::Parse::Help:
        std::fputs(qPrintable(message), stdout);
        return 0;
    case ServerOptions::Parse::Error:
        return fail(message);
    case ServerOptions::Parse::Ok:
        break;
    }

    RpcServer server(options);
    MetricsServer metrics([&server] { return server.openConnections(); });
    if (!server.start(&message))
        return fail(message, 1);
    if (!options.metricsHost.isEmpty()
        && !metrics.start(options.metricsHost, options.metricsPort, &message))
        return fail(message, 1);

    SignalWatcher watcher;
    bool stopping = false;
    QObject::connect(&watcher, &SignalWatcher::stopRequested, &app, [&](int number) {
        if (stopping)
            return; // already draining
        stopping = true;
        qCInfo(lcServer) << "sinal" << number << "recebido; encerrando";
        server.stop();
        QCoreApplication::quit();
    });

    std::printf("vex-appserver: pronto em %s:%u (%s, %d threads; %s)\n",
                qPrintable(server.serverAddress().toString()), unsigned(server.serverPort()),
                qPrintable(options.displayUrl()), options.threads,
                qPrintable(server.securitySummary()));
    if (metrics.isListening())
        std::printf("vex-appserver: métricas em http://%s:%u/metrics\n",
                    qPrintable(metrics.serverAddress().toString()),
                    unsigned(metrics.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
