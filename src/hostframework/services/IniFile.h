#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A plain INI reader that keeps values exactly: edit masks hold ';' and
// meaningful spaces, which general settings readers mangle.
//
//   [Section]             key=value, values trimmed
//   ; comment, # comment  whole-line comments
//   key=value ; note      an unquoted value ends where " ;" starts a comment
//   key=">aaaa;0; "       a quoted value keeps its spaces and ';'
class IniFile final
{
public:
    struct Entry
    {
        QString section;
        QString key;
        QString value;
        int line = 0;
    };

    QString fileName;
    QList<Entry> entries;

    // Throw EVexError naming the file and line of the first bad line.
    static IniFile parse(const QByteArray &text, const QString &fileName);
    static IniFile read(const QString &path);
};
