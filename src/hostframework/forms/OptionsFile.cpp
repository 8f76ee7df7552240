#include "OptionsFile.h"

#include "services/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

namespace OptionsFile {

namespace {
QString escaped(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

// False for a backslash followed by anything but '\\', 'n' or 'r'.
bool unescaped(const QString &value, QString *out)
{
    out->clear();
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\')) {
            *out += c;
            continue;
        }
        if (++i >= value.size())
            return false;
        const QChar next = value.at(i);
        if (next == QLatin1Char('\\'))
            *out += QLatin1Char('\\');
        else if (next == QLatin1Char('n'))
            *out += QLatin1Char('\n');
        else if (next == QLatin1Char('r'))
            *out += QLatin1Char('\r');
        else
            return false;
    }
    return true;
}

[[noreturn]] void fail(const QString &path, const QString &reason)
{
    throw EVexError(QStringLiteral("Arquivo de opções %1: %2").arg(QDir::toNativeSeparators(path),
                                                                 reason));
}
} // namespace

QString pathFor(const QString &screenCode)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_-]+$"));
    if (!valid.match(screenCode).hasMatch()) {
        throw EVexError(QStringLiteral("Código de tela inválido para gravar opções: \"%1\".")
                            .arg(screenCode));
    }
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return QDir(dir).filePath(screenCode + QStringLiteral(".opc"));
}

QStringList read(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        fail(path, QStringLiteral("não há opções gravadas."));
    if (!file.open(QIODevice::ReadOnly))
        fail(path, QStringLiteral("não pôde ser lido (%1).").arg(file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(path, QStringLiteral("não pôde ser lido (%1).").arg(file.errorString()));
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        fail(path, QStringLiteral("conteúdo inválido (não é texto UTF-8)."));

    QStringList lines;
    const QStringList raw = text.split(QLatin1Char('\n'));
    for (int i = 0; i < raw.size(); ++i) {
        QString line = raw.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        QString value;
        if (eq <= 0 || !unescaped(line.mid(eq + 1), &value))
            fail(path, QStringLiteral("conteúdo inválido na linha %1.").arg(i + 1));
        lines << line.left(eq) + QLatin1Char('=') + value;
    }
    return lines;
}

void write(const QString &path, const QStringList &lines)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        fail(path, QStringLiteral("a pasta não pôde ser criada."));
    QByteArray bytes;
    for (const QString &line : lines) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || line.left(eq).contains(QLatin1Char('\n')))
            fail(path, QStringLiteral("opção sem nome: \"%1\".").arg(line));
        bytes += (line.left(eq + 1) + escaped(line.mid(eq + 1))).toUtf8();
        bytes += '\n';
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fail(path, QStringLiteral("não pôde ser gravado (%1).").arg(file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit())
        fail(path, QStringLiteral("não pôde ser gravado (%1).").arg(file.errorString()));
}

QString value(const QStringList &lines, const QString &name, bool *found)
{
    const QString prefix = name + QLatin1Char('=');
    for (const QString &line : lines) {
        if (line.startsWith(prefix)) {
            if (found)
                *found = true;
            return line.mid(prefix.size());
        }
    }
    if (found)
        *found = false;
    return {};
}

void setValue(QStringList &lines, const QString &name, const QString &value)
{
    const QString prefix = name + QLatin1Char('=');
    for (QString &line : lines) {
        if (line.startsWith(prefix)) {
            line = prefix + value;
            return;
        }
    }
    lines << prefix + value;
}

} // namespace OptionsFile
