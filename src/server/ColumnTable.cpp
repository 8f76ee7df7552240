#include "ColumnTable.h"

#include <QtGlobal>

ColumnTable::ColumnTable(std::initializer_list<ColumnDef> columns) : m_columns(columns)
{
    m_fields.reserve(m_columns.size());
    for (const ColumnDef &c : std::as_const(m_columns))
        m_fields.append({c.name, c.type, c.size});
}

int ColumnTable::indexOf(QStringView name) const
{
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).name == name)
            return int(i);
    }
    qFatal("ColumnTable: no column %s", qPrintable(name.toString()));
}

QString ColumnTable::selectList() const
{
    QStringList parts;
    parts.reserve(m_columns.size());
    for (const ColumnDef &c : m_columns)
        parts << c.sql;
    return parts.join(QStringLiteral(", "));
}

QString ColumnTable::orderByPositions(const QStringList &names) const
{
    QStringList parts;
    for (const QString &name : names)
        parts << QString::number(indexOf(name) + 1);
    return QStringLiteral(" ORDER BY ") + parts.join(QStringLiteral(", "));
}

QString ColumnTable::orderByExpressions(const QStringList &names) const
{
    QStringList parts;
    for (const QString &name : names)
        parts << m_columns.at(indexOf(name)).sql;
    return QStringLiteral(" ORDER BY ") + parts.join(QStringLiteral(", "));
}
