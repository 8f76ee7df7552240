#pragma once

#include "TDataPacket.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QStringView>

// Writes the compact JSON text of a data packet straight into a buffer, row
// by row, with no intermediate rows: the one writer of the packet's text
// form, used by TDataPacket::toJsonText and by the server's row path.
//
//   TDataPacketWriter w(out);
//   w.begin(fields);
//   while (...) { w.beginRow(); w.string(...); w.number(...); w.endRow(); }
//   w.end();
//
// Values go in column order. Throws EDataPacketError for a non-finite
// number or a row of the wrong width, naming the column and the row.
class TDataPacketWriter final
{
public:
    explicit TDataPacketWriter(QByteArray &out) : m_out(out) {}

    void begin(const QList<TPacketField> &fields);
    void beginRow();
    void endRow();
    void end();

    void null();
    void string(QStringView text);
    void utf8(QByteArrayView text); // already UTF-8
    void number(double value);      // float and datetime columns
    void integer(qint64 value);
    void day(const QDate &date);    // OLE day count; null when invalid

    int rowCount() const { return m_rows; }
    // Bytes in the buffer so far (what came before the packet included).
    qsizetype size() const { return m_out.size(); }
    const QList<TPacketField> &fields() const { return m_fields; }

    // JSON string literal of UTF-8 text, escaped.
    static void appendString(QByteArray &out, QByteArrayView utf8);

private:
    void separate();

    QByteArray &m_out;
    QList<TPacketField> m_fields;
    int m_rows = 0;
    int m_column = 0;
};
