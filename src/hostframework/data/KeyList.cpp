#include "KeyList.h"

#include "VexErrors.h"

namespace KeyList {

QString refusal(const QString &key, int maxLength)
{
    if (key.isEmpty())
        return QStringLiteral("Código vazio não pode ser selecionado.");
    if (key.contains(QLatin1Char(',')))
        return QStringLiteral("O código \"%1\" contém vírgula e não pode ser selecionado.")
            .arg(key);
    for (const QChar c : key) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128)) {
            return QStringLiteral("O código \"%1\" contém caracteres que não podem ser enviados "
                                  "(somente letras e dígitos).")
                .arg(key);
        }
    }
    if (maxLength > 0 && key.size() > maxLength) {
        return QStringLiteral(
                   "O código \"%1\" tem mais de %2 caracteres e não pode ser selecionado.")
            .arg(key)
            .arg(maxLength);
    }
    return {};
}

QString encode(const QStringList &keys, int maxLength)
{
    if (keys.size() > MaxKeys) {
        throw EVexError(QStringLiteral("Selecione no máximo %1 registros (%2 selecionados).")
                            .arg(MaxKeys)
                            .arg(keys.size()));
    }
    for (const QString &key : keys) {
        const QString reason = refusal(key, maxLength);
        if (!reason.isEmpty())
            throw EVexError(reason);
    }
    return keys.join(QLatin1Char(','));
}

QStringList decode(const QString &list)
{
    QStringList keys;
    const QStringList parts = list.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString key = part.trimmed();
        if (!key.isEmpty())
            keys << key;
    }
    return keys;
}

} // namespace KeyList
