#include "PackageLoader.h"

#include "services/Exceptions.h"
#include "services/HostConfig.h"
#include "services/SafeCall.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>

#include <exception>

Q_LOGGING_CATEGORY(lcPackages, "vex.host.packages", QtInfoMsg)

QString LoadedPackage::menuText() const
{
    return screenCode + QStringLiteral(" - ") + screenCaption;
}

PackageLoader::PackageLoader(QObject *parent) : QObject(parent) {}

PackageLoader::~PackageLoader()
{
    unloadAll();
}

QString PackageLoader::defaultModulesDir()
{
    const QString configured = HostConfig::current().modulesDir;
    if (!configured.isEmpty())
        return configured;
    // Beside the executable in the build tree; under the prefix once
    // installed (bin/ is no place for libraries). A missing folder is named
    // as the build tree's, as before.
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString beside = bin.filePath(QStringLiteral("modules"));
    const QString installed =
        QDir::cleanPath(bin.filePath(QStringLiteral(VEX_INSTALLED_MODULES)));
    return !QFileInfo(beside).isDir() && QFileInfo(installed).isDir() ? installed : beside;
}

int PackageLoader::loadAll(const QString &dir)
{
    const QDir folder(dir);
    if (!folder.exists()) {
        const QString message = QStringLiteral("A pasta de módulos %1 não existe; nenhum pacote "
                                               "foi carregado.")
                                    .arg(QDir::toNativeSeparators(dir));
        qCWarning(lcPackages).noquote() << message;
        m_errors << message;
        Q_EMIT loadFailed(message);
        return 0;
    }
    const QFileInfoList files = folder.entryInfoList({QStringLiteral("lib*.so")},
                                                     QDir::Files | QDir::Readable, QDir::Name);
    int loaded = 0;
    for (const QFileInfo &file : files) {
        if (load(file.absoluteFilePath()))
            ++loaded;
    }
    return loaded;
}

bool PackageLoader::refuse(const QString &filePath, const QString &reason)
{
    const QString message = QStringLiteral("Pacote %1 não carregado: %2.")
                                .arg(QFileInfo(filePath).fileName(), reason);
    qCWarning(lcPackages).noquote() << message << "(" << filePath << ")";
    m_errors << message;
    Q_EMIT loadFailed(message);
    return false;
}

bool PackageLoader::load(const QString &filePath)
{
    auto package = std::make_unique<LoadedPackage>();
    package->filePath = filePath;
    package->library = std::make_unique<QLibrary>(filePath);
    QLibrary &library = *package->library;
    if (!library.load())
        return refuse(filePath, library.errorString());

    auto resolve = [&library](const char *name) {
        return reinterpret_cast<void *>(library.resolve(name));
    };
    package->iniProc = reinterpret_cast<PackageProc>(resolve(kIniProcExport));
    package->initialize = reinterpret_cast<PackageProc>(resolve(kInitializeExport));
    package->finalize = reinterpret_cast<PackageProc>(resolve(kFinalizeExport));
    auto infoProc = reinterpret_cast<GetPackageInfoTableProc>(resolve(kPackageInfoExport));
    const char *missing = !package->iniProc      ? kIniProcExport
                          : !package->initialize ? kInitializeExport
                          : !package->finalize   ? kFinalizeExport
                          : !infoProc            ? kPackageInfoExport
                                                 : nullptr;
    if (missing) {
        library.unload();
        return refuse(filePath, QStringLiteral("a exportação %1 não existe")
                                    .arg(QLatin1String(missing)));
    }

    const PackageInfoTable *info = infoProc();
    if (!info || !info->screenCode || !*info->screenCode) {
        library.unload();
        return refuse(filePath, QStringLiteral("a tabela do pacote não informa o código da tela"));
    }
    package->screenCode = QString::fromUtf8(info->screenCode);
    package->screenCaption = info->screenCaption ? QString::fromUtf8(info->screenCaption)
                                                 : package->screenCode;
    if (findScreen(package->screenCode)) {
        library.unload();
        return refuse(filePath, QStringLiteral("a tela %1 já foi carregada de outro pacote")
                                    .arg(package->screenCode));
    }

    QString failure;
    const PackageProc initialize = package->initialize;
    try {
        initialize();
    } catch (const EVexError &e) {
        failure = e.message();
    } catch (const std::exception &e) {
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure = QStringLiteral("erro desconhecido");
    }
    if (!failure.isEmpty()) {
        library.unload();
        return refuse(filePath, QStringLiteral("Initialize falhou (%1)").arg(failure));
    }
    qCInfo(lcPackages).noquote() << "loaded" << package->screenCode << "from" << filePath;
    m_packages.push_back(std::move(package));
    return true;
}

LoadedPackage *PackageLoader::findScreen(const QString &screenCode) const
{
    for (const auto &package : m_packages) {
        if (package->screenCode.compare(screenCode, Qt::CaseInsensitive) == 0)
            return package.get();
    }
    return nullptr;
}

void PackageLoader::openScreen(const QString &screenCode)
{
    LoadedPackage *package = findScreen(screenCode);
    if (!package) {
        throw EVexError(QStringLiteral("A tela %1 não está em nenhum pacote carregado.")
                            .arg(screenCode));
    }
    package->iniProc();
}

void PackageLoader::unloadAll()
{
    while (!m_packages.empty()) {
        std::unique_ptr<LoadedPackage> package = std::move(m_packages.back());
        m_packages.pop_back();
        const PackageProc finalize = package->finalize;
        SafeCall([finalize] { finalize(); });
        if (!package->library->unload()) {
            qCWarning(lcPackages).noquote() << "unload of" << package->filePath
                                            << "failed:" << package->library->errorString();
        }
    }
}
