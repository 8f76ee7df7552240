#pragma once

#include "app/PackageInfo.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLibrary;

// One loaded screen package and the exports the host calls.
struct LoadedPackage
{
    QString filePath;
    QString screenCode;
    QString screenCaption;
    PackageProc iniProc = nullptr;
    PackageProc initialize = nullptr;
    PackageProc finalize = nullptr;
    std::unique_ptr<QLibrary> library;

    QString menuText() const; // "VEX00300 - Acompanhamento de Pedidos OL"
};

// Loads the screen packages (lib*.so) of a modules folder, initializes them,
// opens their screens and finalizes and unloads them at the end. A package
// that cannot be used is reported and skipped; the others stay usable.
class PackageLoader : public QObject
{
    Q_OBJECT
public:
    explicit PackageLoader(QObject *parent = nullptr);
    ~PackageLoader() override; // unloads what is still loaded

    // The configured modules folder, else "modules" beside the executable.
    static QString defaultModulesDir();

    // Loads every lib*.so of dir in name order; returns how many loaded.
    int loadAll(const QString &dir);
    // Loads one file; false (and loadFailed) with the reason when unusable.
    bool load(const QString &filePath);

    const std::vector<std::unique_ptr<LoadedPackage>> &packages() const { return m_packages; }
    LoadedPackage *findScreen(const QString &screenCode) const;
    QStringList errors() const { return m_errors; }

    // Runs the screen's IniProc; throws EVexError for an unknown code and
    // lets the package's exception through.
    void openScreen(const QString &screenCode);

    // Finalize of every package, newest first, then unload. The caller
    // closes the packages' windows before.
    void unloadAll();

Q_SIGNALS:
    void loadFailed(const QString &message);

private:
    bool refuse(const QString &filePath, const QString &reason);

    std::vector<std::unique_ptr<LoadedPackage>> m_packages;
    QStringList m_errors;
};
