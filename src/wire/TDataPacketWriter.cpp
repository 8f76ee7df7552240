#include "TDataPacketWriter.h"

#include "OleDate.h"
#include "VexErrors.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cmath>

namespace {

const char *typeName(TFieldType type)
{
    switch (type) {
    case TFieldType::ftString: return "string";
    case TFieldType::ftFixedChar: return "fixedchar";
    case TFieldType::ftFloat: return "float";
    case TFieldType::ftDateTime: return "datetime";
    case TFieldType::ftInteger: return "integer";
    }
    return "string";
}

void appendInteger(QByteArray &out, qint64 value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

// A quote, a backslash or a control character inside a JSON string.
void appendEscaped(QByteArray &out, unsigned char c)
{
    static const char hex[] = "0123456789abcdef";
    switch (c) {
    case '"': out += "\\\""; break;
    case '\\': out += "\\\\"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    case '\b': out += "\\b"; break;
    case '\f': out += "\\f"; break;
    default:
        out += "\\u00";
        out += hex[c >> 4];
        out += hex[c & 0xf];
    }
}

// Room for `count` more bytes at the end of `out`, uninitialised.
char *grow(QByteArray &out, qsizetype count)
{
    const qsizetype at = out.size();
    if (out.capacity() < at + count)
        out.reserve(std::max(2 * out.capacity(), at + count));
    out.resize(at + count);
    return out.data() + at;
}

} // namespace

void TDataPacketWriter::appendString(QByteArray &out, QByteArrayView utf8)
{
    const char *run = utf8.data();
    const char *end = run + utf8.size();
    const char *p = run;
    while (p != end) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == '"' || c == '\\')
            break;
        ++p;
    }
    if (p == end) { // nothing to escape: the common case, one copy
        char *d = grow(out, utf8.size() + 2);
        d[0] = '"';
        memcpy(d + 1, run, size_t(utf8.size()));
        d[utf8.size() + 1] = '"';
        return;
    }
    out += '"';
    for (; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(run, p - run);
        run = p + 1;
        appendEscaped(out, c);
    }
    out.append(run, end - run);
    out += '"';
}

void TDataPacketWriter::begin(const QList<TPacketField> &fields)
{
    m_fields = fields;
    m_rows = 0;
    m_out += "{\"fields\":[";
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const TPacketField &field = fields.at(i);
        m_out += i ? ",{\"name\":" : "{\"name\":";
        appendString(m_out, field.name.toUtf8());
        m_out += ",\"type\":\"";
        m_out += typeName(field.type);
        m_out += '"';
        if (isStringType(field.type)) {
            m_out += ",\"size\":";
            appendInteger(m_out, field.size);
        }
        m_out += '}';
    }
    m_out += "],\"rows\":[";
}

void TDataPacketWriter::beginRow()
{
    if (m_rows) {
        char *d = grow(m_out, 2);
        d[0] = ',';
        d[1] = '[';
    } else {
        *grow(m_out, 1) = '[';
    }
    m_column = 0;
}

void TDataPacketWriter::endRow()
{
    if (m_column != m_fields.size()) {
        throw EDataPacketError(QStringLiteral("A linha %1 do pacote tem %2 valores, esperados %3")
                                   .arg(m_rows + 1)
                                   .arg(m_column)
                                   .arg(m_fields.size()));
    }
    *grow(m_out, 1) = ']';
    ++m_rows;
}

void TDataPacketWriter::end()
{
    m_out += "]}";
}

void TDataPacketWriter::separate()
{
    if (m_column >= m_fields.size()) {
        throw EDataPacketError(QStringLiteral("A linha %1 do pacote tem mais de %2 valores")
                                   .arg(m_rows + 1)
                                   .arg(m_fields.size()));
    }
    if (m_column++)
        *grow(m_out, 1) = ',';
}

void TDataPacketWriter::null()
{
    separate();
    m_out += "null";
}

void TDataPacketWriter::string(QStringView text)
{
    separate();
    // Codes and most names are ASCII: those skip the UTF-8 conversion.
    const qsizetype size = text.size();
    qsizetype ascii = 0;
    while (ascii < size && text[ascii].unicode() < 0x80)
        ++ascii;
    if (ascii == size) {
        m_out += '"';
        for (QChar ch : text) {
            const char c = char(ch.unicode());
            if (c >= 0x20 && c != '"' && c != '\\')
                m_out += c;
            else
                appendEscaped(m_out, static_cast<unsigned char>(c));
        }
        m_out += '"';
        return;
    }
    appendString(m_out, text.toUtf8());
}

void TDataPacketWriter::utf8(QByteArrayView text)
{
    separate();
    appendString(m_out, text);
}

void TDataPacketWriter::number(double value)
{
    const int column = m_column;
    separate();
    if (!std::isfinite(value)) {
        throw EDataPacketError(QStringLiteral("Valor inválido na coluna %1 da linha %2 do pacote")
                                   .arg(m_fields.at(column).name)
                                   .arg(m_rows + 1));
    }
    char *d = grow(m_out, 32);
    const auto result = std::to_chars(d, d + 32, value);
    m_out.truncate(result.ptr - m_out.constData());
}

void TDataPacketWriter::integer(qint64 value)
{
    separate();
    appendInteger(m_out, value);
}

void TDataPacketWriter::day(const QDate &date)
{
    if (!date.isValid()) {
        null();
        return;
    }
    separate();
    appendInteger(m_out, qint64(OleDate::fromDate(date)));
}
