#include "HostConfig.h"

#include "CaCertificates.h"
#include "Exceptions.h"
#include "IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>

#include <limits>
#include <optional>

namespace {

[[noreturn]] void badKey(const IniFile &ini, const IniFile::Entry &entry, const QString &rule)
{
    throw EVexError(QStringLiteral("Configuração inválida em %1, linha %2: a chave \"%3\" "
                                   "da seção [%4] %5 (valor \"%6\").")
                        .arg(ini.fileName)
                        .arg(entry.line)
                        .arg(entry.key, entry.section, rule, entry.value));
}

int intValue(const IniFile &ini, const IniFile::Entry &entry, int min, int max,
             const QString &rule)
{
    bool ok = false;
    const int value = entry.value.toInt(&ok);
    if (!ok || value < min || value > max)
        badKey(ini, entry, rule);
    return value;
}

bool is(const QString &a, const char *b)
{
    return a.compare(QLatin1StringView(b), Qt::CaseInsensitive) == 0;
}

bool boolValue(const IniFile &ini, const IniFile::Entry &entry)
{
    if (is(entry.value, "true") || entry.value == u'1')
        return true;
    if (is(entry.value, "false") || entry.value == u'0')
        return false;
    badKey(ini, entry, QStringLiteral("deve ser true ou false"));
}

// A relative path is taken from where the file is, not from wherever the
// host happened to be started.
QString pathValue(const QString &value, const QDir &base)
{
    return value.isEmpty() ? QString() : QDir::cleanPath(base.absoluteFilePath(value));
}

QString caFileValue(const IniFile &ini, const IniFile::Entry &entry, const QDir &base)
{
    const QString path = pathValue(entry.value, base);
    if (path.isEmpty())
        return path;
    QString reason;
    if (CaCertificates::read(path, &reason).isEmpty())
        badKey(ini, entry, reason);
    return path;
}

void applyServer(HostConfig &config, const IniFile &ini, const IniFile::Entry &entry,
                 const QDir &base)
{
    if (is(entry.key, "Host")) {
        if (entry.value.isEmpty())
            badKey(ini, entry, QStringLiteral("não pode ficar vazia"));
        config.serverHost = entry.value;
    } else if (is(entry.key, "Port")) {
        config.serverPort = intValue(ini, entry, 1, 65535,
                                     QStringLiteral("deve ser um número de 1 a 65535"));
    } else if (is(entry.key, "CallTimeoutMs")) {
        config.callTimeoutMs = intValue(ini, entry, 1, std::numeric_limits<int>::max(),
                                        QStringLiteral("deve ser um número positivo"));
    } else if (is(entry.key, "Tls")) {
        config.serverTls = boolValue(ini, entry);
    } else if (is(entry.key, "CaFile")) {
        config.serverCaFile = caFileValue(ini, entry, base);
    }
}

void applyDatabase(HostConfig &config, const IniFile &ini, const IniFile::Entry &entry)
{
    if (is(entry.key, "Url")) {
        config.databaseUrl = entry.value;
    } else if (is(entry.key, "ConnectTimeoutS")) {
        config.databaseConnectTimeoutS =
            intValue(ini, entry, 1, 3600, QStringLiteral("deve ser um número de 1 a 3600"));
    } else if (is(entry.key, "StatementTimeoutMs")) {
        config.databaseStatementTimeoutMs =
            intValue(ini, entry, 0, std::numeric_limits<int>::max(),
                     QStringLiteral("deve ser um número de 0 em diante"));
    }
}

void applyEntry(HostConfig &config, const IniFile &ini, const IniFile::Entry &entry,
                const QDir &base)
{
    if (is(entry.section, "Server")) {
        applyServer(config, ini, entry, base);
    } else if (is(entry.section, "Database")) {
        applyDatabase(config, ini, entry);
    } else if (is(entry.section, "Host") && is(entry.key, "Modules")) {
        config.modulesDir = pathValue(entry.value, base);
    } else if (is(entry.section, "Pictures")) {
        bool ok = false;
        const int kind = entry.key.toInt(&ok);
        if (!ok)
            badKey(ini, entry, QStringLiteral("deve ser um tipo de máscara numérico"));
        config.pictures.insert(kind, entry.value);
    }
}

struct CurrentConfig
{
    QMutex mutex;
    std::optional<HostConfig> config;
};

CurrentConfig &currentConfig()
{
    static CurrentConfig instance;
    return instance;
}

QString existing(const QString &path)
{
    return QFileInfo(path).isFile() ? path : QString();
}

} // namespace

QString HostConfig::defaultPicture(int kind)
{
    return kind == 0 ? QStringLiteral("99.99.9999;0;_") : QString();
}

QString HostConfig::picture(int kind) const
{
    return pictures.value(kind, defaultPicture(kind));
}

HostConfig HostConfig::fromFile(const QString &path)
{
    const IniFile ini = IniFile::read(path);
    const QDir base = QFileInfo(path).absoluteDir();
    HostConfig config;
    for (const IniFile::Entry &entry : ini.entries)
        applyEntry(config, ini, entry, base);
    // A CA named for a clear-text connection means Tls was forgotten: saying
    // so beats connecting unencrypted while the operator believes otherwise.
    if (!config.serverCaFile.isEmpty() && !config.serverTls) {
        throw EVexError(QStringLiteral("Configuração inválida em %1: a chave \"CaFile\" da "
                                       "seção [Server] exige Tls=true.")
                            .arg(path));
    }
    return config;
}

QString HostConfig::locate()
{
    const QString fromEnv = qEnvironmentVariable("VEX_CONFIG");
    if (!fromEnv.isEmpty())
        return fromEnv; // named on purpose: a missing file must be reported
    QStringList candidates;
    if (QCoreApplication::instance())
        candidates << QCoreApplication::applicationDirPath() + QStringLiteral("/vex.ini");
    const QString app = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (!app.isEmpty())
        candidates << app + QStringLiteral("/vex.ini");
    const QString generic =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!generic.isEmpty())
        candidates << generic + QStringLiteral("/vex/vex.ini");
    for (const QString &candidate : std::as_const(candidates)) {
        if (const QString found = existing(candidate); !found.isEmpty())
            return found;
    }
    return {};
}

const HostConfig &HostConfig::current()
{
    CurrentConfig &state = currentConfig();
    QMutexLocker lock(&state.mutex);
    if (!state.config) {
        const QString path = locate();
        // A bad file throws and is read again on the next use.
        state.config = path.isEmpty() ? HostConfig() : fromFile(path);
    }
    return *state.config;
}

void HostConfig::setCurrent(const HostConfig &config)
{
    CurrentConfig &state = currentConfig();
    QMutexLocker lock(&state.mutex);
    state.config = config;
}
