#pragma once

#include <QString>
#include <QStringList>

// A window's message table: lines "KEY|text". A key missing from the table
// falls back to the framework-wide table, then to an empty text.
class TMessages final
{
public:
    TMessages() = default;
    explicit TMessages(const QStringList &lines) : Lines(lines) {}

    QStringList Lines;
    QString Msg(const QString &key) const;

    static QString frameworkMsg(const QString &key); // "" when unknown
};
