#include "HostConfig.h"

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

void applyServer(HostConfig &config, const IniFile &ini, const IniFile::Entry &entry)
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
        applyServer(config, ini, entry);
    } else if (is(entry.section, "Database")) {
        applyDatabase(config, ini, entry);
    } else if (is(entry.section, "Host") && is(entry.key, "Modules")) {
        // A relative folder is taken from where the file is, not from
        // wherever the host happened to be started.
        config.modulesDir = entry.value.isEmpty() ? QString()
                                                  : QDir::cleanPath(base.absoluteFilePath(
                                                        entry.value));
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
