#include "IniFile.h"

#include "Exceptions.h"

#include <QFile>

namespace {

[[noreturn]] void badLine(const QString &fileName, int line, const QString &detail)
{
    throw EVexError(QStringLiteral("Configuração inválida em %1, linha %2: %3")
                        .arg(fileName)
                        .arg(line)
                        .arg(detail));
}

qsizetype inlineCommentStart(const QString &value)
{
    for (qsizetype i = 1; i < value.size(); ++i) {
        if (value.at(i) == u';' && value.at(i - 1).isSpace())
            return i;
    }
    return -1;
}

QString quotedValue(const QString &raw, const QString &fileName, int line)
{
    const qsizetype close = raw.indexOf(u'"', 1);
    if (close < 0)
        badLine(fileName, line, QStringLiteral("aspas sem fechamento."));
    const QString rest = raw.mid(close + 1).trimmed();
    if (!rest.isEmpty() && !rest.startsWith(u';') && !rest.startsWith(u'#'))
        badLine(fileName, line, QStringLiteral("texto depois das aspas de fechamento."));
    return raw.mid(1, close - 1);
}

QString entryValue(const QString &raw, const QString &fileName, int line)
{
    if (raw.startsWith(u'"'))
        return quotedValue(raw, fileName, line);
    const qsizetype comment = inlineCommentStart(raw);
    return (comment < 0 ? raw : raw.left(comment)).trimmed();
}

} // namespace

IniFile IniFile::parse(const QByteArray &text, const QString &fileName)
{
    IniFile ini;
    ini.fileName = fileName;
    QString section;
    QString content = QString::fromUtf8(text);
    if (content.startsWith(QChar(0xFEFF)))
        content.remove(0, 1);
    const QStringList lines = content.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']') || line.size() < 3)
                badLine(fileName, lineNo, QStringLiteral("seção mal formada \"%1\".").arg(line));
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            badLine(fileName, lineNo,
                    QStringLiteral("esperado chave=valor, encontrado \"%1\".").arg(line));
        if (section.isEmpty())
            badLine(fileName, lineNo, QStringLiteral("chave fora de uma seção."));
        const QString raw = line.mid(eq + 1).trimmed();
        ini.entries.append({section, line.left(eq).trimmed(),
                            entryValue(raw, fileName, lineNo), lineNo});
    }
    return ini;
}

IniFile IniFile::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EVexError(QStringLiteral("Não foi possível ler o arquivo de configuração %1: %2")
                            .arg(path, file.errorString()));
    return parse(file.readAll(), path);
}
