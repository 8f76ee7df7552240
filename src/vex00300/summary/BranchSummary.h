#pragma once

#include "TDataPacket.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// The counts of one branch's matching items by situation, as
// GetResumoFiliais answers them.
struct BranchCounts
{
    enum Count {
        Items, Consolidated, Ordered, Above, Below, Equal,
        OverdueWithoutOrder, OverdueShipping, NegativeStock,
        CountKinds
    };
    std::array<qint64, CountKinds> values{};

    qint64 operator[](Count count) const { return values[size_t(count)]; }
    qint64 withoutOrder() const { return qMax<qint64>(0, values[Items] - values[Ordered]); }
    BranchCounts &operator+=(const BranchCounts &other);
};

// One count column: its packet column, its title, and whether a number
// above zero is something a clerk must act on.
struct CountColumn
{
    BranchCounts::Count count;
    const char *name;
    const char *title;
    bool alert;
};

// The count columns, in the order the branch grid shows them.
const std::array<CountColumn, BranchCounts::CountKinds> &countColumns();

// One part of a branch's bar: equal, greater, smaller, without an order.
struct BarSegment
{
    enum Kind { Equal, Above, Below, WithoutOrder };
    Kind kind;
    qint64 count;
    double share; // of the branch's items, 0..1
};

// The counts of every branch of one answer, found by branch code.
class BranchSummary
{
public:
    // Throws EDataPacketError when a column is missing or a count is not a
    // whole number from 0 up.
    static BranchSummary fromPacket(const TDataPacket &packet);

    bool isEmpty() const { return m_codes.isEmpty(); }
    QStringList codes() const { return m_codes; } // in the answer's order
    QString name(const QString &code) const { return m_names.value(code); }
    const BranchCounts *find(const QString &code) const; // null when not answered
    BranchCounts total() const;

    static QList<BarSegment> segments(const BranchCounts &counts);
    // Each number and its share of the items, one line each.
    static QString hint(const BranchCounts &counts);

private:
    QStringList m_codes;
    QHash<QString, QString> m_names;
    QHash<QString, BranchCounts> m_counts;
};
