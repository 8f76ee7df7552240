#include "BenchKit.h"

#include "data/TdtmDBGeral.h"
#include "services/HostConfig.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace BenchKit {

void fail(const QString &reason)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(reason));
    std::exit(1);
}

Options parse(const QStringList &arguments, const QString &description, int defaultSamples)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    parser.addOption({"scales", "Demo scales, comma separated (default 1,20).", "list"});
    parser.addOption({"database", "Use this database instead of a fresh demo.", "url"});
    parser.addOption({"samples", QStringLiteral("Samples per figure (default %1).")
                                     .arg(defaultSamples), "n"});
    parser.addOption({"days", "Delivery-date window around today (default 30).", "n"});
    parser.process(arguments);
    Options options;
    options.samples = defaultSamples;
    if (parser.isSet("scales")) {
        options.scales.clear();
        for (const QString &s : parser.value("scales").split(u',')) {
            bool ok = false;
            options.scales << s.toDouble(&ok);
            if (!ok || options.scales.last() <= 0)
                fail(QStringLiteral("bad scale: ") + s);
        }
    }
    options.database = parser.value("database");
    if (!options.database.isEmpty())
        options.scales = {options.scales.value(0, 1)};
    bool ok = true;
    if (parser.isSet("samples"))
        options.samples = parser.value("samples").toInt(&ok);
    if (!ok || options.samples < 1)
        fail(QStringLiteral("bad --samples"));
    if (parser.isSet("days"))
        options.days = parser.value("days").toInt(&ok);
    if (!ok || options.days < 1)
        fail(QStringLiteral("bad --days"));
    return options;
}

QString binPath(const QString &name)
{
    return QCoreApplication::applicationDirPath() + u'/' + name;
}

bool makeDemo(const QString &url, double scale)
{
    QProcess db;
    db.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    db.start(binPath("vex-db"), {"demo", "--database", url, "--scale", QString::number(scale)});
    return db.waitForFinished(-1) && db.exitStatus() == QProcess::NormalExit
           && db.exitCode() == 0;
}

quint16 startServer(QProcess &server, const QString &url, const QStringList &extra)
{
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(binPath("vex-appserver"),
                 QStringList{"--database", url, "--listen", "127.0.0.1:0"} + extra);
    if (!server.waitForStarted())
        return 0;
    const QRegularExpression pattern(QStringLiteral("127\\.0\\.0\\.1:(\\d+)"));
    QByteArray output;
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && server.state() == QProcess::Running) {
        server.waitForReadyRead(200);
        output += server.readAll();
        const auto match = pattern.match(QString::fromUtf8(output));
        if (match.hasMatch())
            return quint16(match.captured(1).toUInt());
    }
    return 0;
}

QString firstOperator()
{
    QSqlQuery q(dtmDBGeral().adcGeral());
    q.exec(QStringLiteral("SELECT CDFILIAL FROM FILIAL WHERE IDOPELOG = 'S' ORDER BY CDFILIAL"));
    return q.next() ? q.value(0).toString() : QString();
}

Percentiles percentiles(std::vector<double> values)
{
    Percentiles p;
    p.count = int(values.size());
    if (values.empty())
        return p;
    std::sort(values.begin(), values.end());
    auto at = [&](double q) {
        return values[std::min(values.size() - 1, size_t(q * double(values.size() - 1) + 0.5))];
    };
    p.p50 = at(0.50);
    p.p99 = at(0.99);
    return p;
}

QString openDemo(double scale, const Options &options, const QTemporaryDir &dir,
                 QProcess &server)
{
    QString url = options.database;
    if (url.isEmpty()) {
        url = QStringLiteral("sqlite:") + dir.filePath("demo.db");
        std::printf("scale %g: writing the demo database...\n", scale);
        std::fflush(stdout);
        if (!makeDemo(url, scale))
            fail(QStringLiteral("vex-db demo failed"));
    }
    const quint16 port = startServer(server, url);
    if (!port)
        fail(QStringLiteral("vex-appserver did not start"));
    HostConfig config = HostConfig::current();
    config.serverHost = QStringLiteral("127.0.0.1");
    config.serverPort = port;
    HostConfig::setCurrent(config);
    dtmDBGeral().Open(url);
    return url;
}

} // namespace BenchKit
