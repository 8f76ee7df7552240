#pragma once

#include <QByteArrayView>
#include <QDate>

// The rows of one executed statement, read in place from the database
// driver: no per-value allocation. Valid until the next run of a statement
// on the same connection.
class SqlCursor
{
public:
    virtual ~SqlCursor() = default;

    // Moves to the next row; false after the last one. Throws
    // EDatabaseError when the database fails midway.
    virtual bool next() = 0;
    virtual bool isNull(int column) const = 0;
    virtual QByteArrayView text(int column) const = 0; // UTF-8
    virtual double real(int column) const = 0;
    // Releases the rows (and, on SQLite, the read snapshot) early.
    virtual void finish() = 0;

    // A date column: both databases give "YYYY-MM-DD" text here.
    QDate day(int column) const { return isoDay(text(column)); }
    // "YYYY-MM-DD", possibly followed by a time; invalid otherwise.
    static QDate isoDay(QByteArrayView text);
};

// Calls finish() on scope exit, also when the row loop throws.
class SqlCursorFinisher final
{
public:
    explicit SqlCursorFinisher(SqlCursor &cursor) : m_cursor(cursor) {}
    ~SqlCursorFinisher() { m_cursor.finish(); }
    SqlCursorFinisher(const SqlCursorFinisher &) = delete;
    SqlCursorFinisher &operator=(const SqlCursorFinisher &) = delete;

private:
    SqlCursor &m_cursor;
};
