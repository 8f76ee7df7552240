#include "TMessages.h"

#include <QHash>

QString TMessages::Msg(const QString &key) const
{
    for (const QString &line : Lines) {
        const qsizetype bar = line.indexOf(u'|');
        if (bar >= 0 && QStringView(line).left(bar) == key)
            return line.mid(bar + 1);
    }
    return frameworkMsg(key);
}

// Captions any window may ask for without listing them in its own table.
QString TMessages::frameworkMsg(const QString &key)
{
    static const QHash<QString, QString> table{
        {QStringLiteral("Get_Data"), QStringLiteral("Buscando dados...")},
        {QStringLiteral("Aguarde"), QStringLiteral("Aguarde...")},
        {QStringLiteral("Processando"), QStringLiteral("Processando...")},
        {QStringLiteral("Carregando"), QStringLiteral("Carregando...")},
        {QStringLiteral("Pesquisando"), QStringLiteral("Pesquisando...")},
        {QStringLiteral("Salvando"), QStringLiteral("Salvando dados...")},
        {QStringLiteral("Conectando"), QStringLiteral("Conectando ao servidor...")},
    };
    return table.value(key);
}
