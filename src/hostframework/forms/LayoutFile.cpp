#include "LayoutFile.h"

#include "OptionsFile.h"
#include "services/Exceptions.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcLayout, "vex.forms.layout", QtInfoMsg)

namespace LayoutFile {

QString pathFor(const QString &screenCode)
{
    // The options file's rules for a screen code, in a folder of its own.
    const QFileInfo options(OptionsFile::pathFor(screenCode));
    return options.dir().filePath(QStringLiteral("layout/%1.ini").arg(screenCode));
}

QStringList read(const QString &screenCode)
{
    try {
        const QString path = pathFor(screenCode);
        if (!QFileInfo::exists(path))
            return {};
        return OptionsFile::read(path);
    } catch (const EVexError &e) {
        qCWarning(lcLayout).noquote() << "layout ignored:" << e.message();
        return {};
    }
}

void write(const QString &screenCode, const QStringList &lines)
{
    const QString path = pathFor(screenCode);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw EVexError(QStringLiteral("Não foi possível criar a pasta de %1.").arg(path));
    OptionsFile::write(path, lines);
}

} // namespace LayoutFile
