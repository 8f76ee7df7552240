#pragma once

#include "TDataPacket.h"
#include "TFieldType.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <initializer_list>

// One column of a method's reply: its packet name, type and size, and the
// SQL expression that fills it.
struct ColumnDef
{
    QString name;
    TFieldType type = TFieldType::ftString;
    int size = 0; // strings only
    QString sql;
};

// The columns of one method, in packet (and SELECT) order: the one place
// the SELECT list, the packet fields and the ORDER BY are built from.
class ColumnTable final
{
public:
    ColumnTable(std::initializer_list<ColumnDef> columns);

    const QList<ColumnDef> &columns() const { return m_columns; }
    const QList<TPacketField> &packetFields() const { return m_fields; }
    qsizetype count() const { return m_columns.size(); }
    // The position of a column; a name that is not in the table is a
    // programming error (qFatal).
    int indexOf(QStringView name) const;
    int size(QStringView name) const { return m_columns.at(indexOf(name)).size; }
    // "expr1, expr2, ..." in column order.
    QString selectList() const;
    // "ORDER BY 6, 1, 2": positions, for a UNION.
    QString orderByPositions(const QStringList &names) const;
    // "ORDER BY o.X, o.Y": the columns' expressions.
    QString orderByExpressions(const QStringList &names) const;

private:
    QList<ColumnDef> m_columns;
    QList<TPacketField> m_fields;
};
