#include "OptionPresets.h"

#include "OptionsFile.h"
#include "services/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

namespace OptionPresets {

namespace {
const QLatin1String kSuffix(".opc");
const QLatin1String kDefaultFile("padrao.txt");
constexpr int kMaxName = 60;

QDir folder(const QString &screenCode)
{
    const QFileInfo legacy(OptionsFile::pathFor(screenCode)); // checks the code
    return QDir(legacy.dir().filePath(QStringLiteral("options/") + screenCode));
}

void checkName(const QString &name)
{
    if (name.size() > kMaxName || name.contains(u'/') || name.contains(u'\\')
        || name.contains(u'\n') || name.contains(u'\r') || name.trimmed() != name) {
        throw EVexError(QStringLiteral("Nome de opções inválido: \"%1\" (até %2 caracteres, "
                                       "sem barras nem quebras de linha).")
                            .arg(name.left(kMaxName))
                            .arg(kMaxName));
    }
}
} // namespace

QString pathFor(const QString &screenCode, const QString &name)
{
    if (name.isEmpty())
        return OptionsFile::pathFor(screenCode);
    checkName(name);
    // Percent-encoded, so any name a person types is a safe file name.
    const QString file = QString::fromLatin1(QUrl::toPercentEncoding(name, " "));
    return folder(screenCode).filePath(file + kSuffix);
}

QStringList names(const QString &screenCode)
{
    QStringList list;
    const QDir dir = folder(screenCode);
    const QStringList files = dir.entryList({QStringLiteral("*") + kSuffix}, QDir::Files);
    for (const QString &file : files) {
        const QString encoded = file.chopped(kSuffix.size());
        list << QUrl::fromPercentEncoding(encoded.toLatin1());
    }
    list.sort(Qt::CaseInsensitive);
    return list;
}

void remove(const QString &screenCode, const QString &name)
{
    const bool marked = defaultName(screenCode) == name; // asked while the set exists
    QFile::remove(pathFor(screenCode, name));
    if (marked)
        setDefault(screenCode, QString());
}

QString defaultName(const QString &screenCode)
{
    QFile file(folder(screenCode).filePath(kDefaultFile));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString name = QString::fromUtf8(file.readAll()).trimmed();
    return QFileInfo::exists(pathFor(screenCode, name)) ? name : QString();
}

void setDefault(const QString &screenCode, const QString &name)
{
    const QDir dir = folder(screenCode);
    if (!QDir().mkpath(dir.path()))
        throw EVexError(QStringLiteral("Não foi possível criar a pasta %1.").arg(dir.path()));
    QSaveFile file(dir.filePath(kDefaultFile));
    if (!file.open(QIODevice::WriteOnly) || file.write(name.toUtf8()) < 0 || !file.commit()) {
        throw EVexError(QStringLiteral("Não foi possível gravar %1: %2")
                            .arg(file.fileName(), file.errorString()));
    }
}

} // namespace OptionPresets
