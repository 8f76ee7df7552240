#pragma once

#include "TFieldType.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariant>

// One column of a data packet as it travels on the wire.
struct TPacketField
{
    QString name;
    TFieldType type = TFieldType::ftString;
    int size = 0; // strings only

    friend bool operator==(const TPacketField &, const TPacketField &) = default;
};

// What an application-server method returns: typed columns and rows.
// Row values are QString (strings), double (float, datetime as OLE days),
// qint64 (integer) or a null QVariant.
//
// JSON form: {"fields":[{"name":"CDFILSOLI","type":"string","size":4},...],
//             "rows":[["0001",12.5,46000.0],...]}
// with types "string", "float", "datetime", "integer" ("fixedchar" for a
// fixed-length string column).
class TDataPacket
{
public:
    QList<TPacketField> fields;
    QList<QVariantList> rows;

    int columnIndex(const QString &name) const; // -1 when absent

    // Throws EDataPacketError naming what is wrong (not an object, unknown
    // type, a row of the wrong width, a value of the wrong JSON type, ...).
    static TDataPacket fromJson(const QJsonValue &value);
    QJsonObject toJson() const;
    // Compact JSON text, written directly (the server's hot path).
    QByteArray toJsonText() const;

    // Same columns and the same values (doubles compared exactly).
    friend bool operator==(const TDataPacket &a, const TDataPacket &b);
};
