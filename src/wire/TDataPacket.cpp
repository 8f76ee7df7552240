#include "TDataPacket.h"

#include "TDataPacketWriter.h"

#include "VexErrors.h"

#include <QJsonArray>
#include <QSet>

#include <cmath>
#include <limits>

namespace {

struct TypeName
{
    TFieldType type;
    const char *name;
};

constexpr TypeName kTypeNames[] = {
    {TFieldType::ftString, "string"},
    {TFieldType::ftFixedChar, "fixedchar"},
    {TFieldType::ftFloat, "float"},
    {TFieldType::ftDateTime, "datetime"},
    {TFieldType::ftInteger, "integer"},
};

const char *typeName(TFieldType type)
{
    for (const TypeName &t : kTypeNames) {
        if (t.type == type)
            return t.name;
    }
    return "string";
}

bool typeFromName(const QString &name, TFieldType *type)
{
    for (const TypeName &t : kTypeNames) {
        if (name == QLatin1String(t.name)) {
            *type = t.type;
            return true;
        }
    }
    return false;
}

[[noreturn]] void fail(const QString &what)
{
    throw EDataPacketError(QStringLiteral("Pacote de dados inválido: %1").arg(what));
}

TPacketField parseField(const QJsonValue &value, int index)
{
    const QJsonObject object = value.toObject();
    const QJsonValue name = object.value(QLatin1String("name"));
    if (!value.isObject() || !name.isString() || name.toString().isEmpty())
        fail(QStringLiteral("a coluna %1 não tem nome").arg(index + 1));
    TPacketField field;
    field.name = name.toString();
    const QString type = object.value(QLatin1String("type")).toString();
    if (!typeFromName(type, &field.type))
        fail(QStringLiteral("tipo \"%1\" desconhecido na coluna %2").arg(type, field.name));
    // Only string columns have a size (the writer writes no other); one on
    // another type is ignored, so a packet loads back as it is written.
    const QJsonValue size = object.value(QLatin1String("size"));
    if (isStringType(field.type) && !size.isUndefined() && !size.isNull()) {
        const qint64 n = size.toInteger(-1);
        if (n < 0 || n > std::numeric_limits<int>::max())
            fail(QStringLiteral("tamanho inválido na coluna %1").arg(field.name));
        field.size = int(n);
    }
    return field;
}

QVariant parseValue(const QJsonValue &value, const TPacketField &field, int row)
{
    if (value.isNull())
        return {};
    const auto wrong = [&](const char *expected) {
        fail(QStringLiteral("valor da coluna %1 na linha %2 não é %3")
                 .arg(field.name)
                 .arg(row + 1)
                 .arg(QString::fromUtf8(expected)));
    };
    switch (field.type) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
        if (!value.isString())
            wrong("texto");
        return value.toString();
    case TFieldType::ftFloat:
    case TFieldType::ftDateTime:
        if (!value.isDouble() || !std::isfinite(value.toDouble()))
            wrong("um número");
        return value.toDouble();
    case TFieldType::ftInteger: {
        // toInteger() gives its default unless the number is whole and fits.
        const qint64 a = value.toInteger(0);
        if (!value.isDouble() || a != value.toInteger(1))
            wrong("um número inteiro");
        return a;
    }
    }
    return {};
}

[[noreturn]] void failValue(const TPacketField &field, int row)
{
    throw EDataPacketError(QStringLiteral("Valor inválido na coluna %1 da linha %2 do pacote")
                               .arg(field.name)
                               .arg(row + 1));
}

double numberValue(const QVariant &value, const TPacketField &field, int row)
{
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        failValue(field, row);
    return d;
}

qint64 integerValue(const QVariant &value, const TPacketField &field, int row)
{
    bool ok = false;
    const qint64 n = value.toLongLong(&ok);
    if (!ok)
        failValue(field, row);
    return n;
}

void checkWidth(const QVariantList &row, int width, int index)
{
    if (row.size() != width) {
        throw EDataPacketError(QStringLiteral("A linha %1 do pacote tem %2 valores, esperados %3")
                                   .arg(index + 1)
                                   .arg(row.size())
                                   .arg(width));
    }
}

void appendValue(TDataPacketWriter &writer, const QVariant &value, const TPacketField &field,
                 int row)
{
    if (value.isNull()) {
        writer.null();
        return;
    }
    switch (field.type) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
        writer.string(value.toString());
        break;
    case TFieldType::ftFloat:
    case TFieldType::ftDateTime:
        writer.number(numberValue(value, field, row));
        break;
    case TFieldType::ftInteger:
        writer.integer(integerValue(value, field, row));
        break;
    }
}

QJsonValue jsonValue(const QVariant &value, const TPacketField &field, int row)
{
    if (value.isNull())
        return QJsonValue::Null;
    switch (field.type) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar: return value.toString();
    case TFieldType::ftFloat:
    case TFieldType::ftDateTime: return numberValue(value, field, row);
    case TFieldType::ftInteger: return integerValue(value, field, row);
    }
    return QJsonValue::Null;
}

} // namespace

int TDataPacket::columnIndex(const QString &name) const
{
    for (int i = 0; i < fields.size(); ++i) {
        if (fields.at(i).name == name)
            return i;
    }
    for (int i = 0; i < fields.size(); ++i) {
        if (fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

TDataPacket TDataPacket::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        fail(QStringLiteral("não é um objeto JSON"));
    const QJsonObject object = value.toObject();
    const QJsonValue fieldsValue = object.value(QLatin1String("fields"));
    const QJsonValue rowsValue = object.value(QLatin1String("rows"));
    if (!fieldsValue.isArray())
        fail(QStringLiteral("\"fields\" não é uma lista"));
    if (!rowsValue.isArray())
        fail(QStringLiteral("\"rows\" não é uma lista"));

    TDataPacket packet;
    QSet<QString> names;
    const QJsonArray fieldArray = fieldsValue.toArray();
    for (int i = 0; i < fieldArray.size(); ++i) {
        const TPacketField field = parseField(fieldArray.at(i), i);
        const QString key = field.name.toUpper();
        if (names.contains(key))
            fail(QStringLiteral("coluna %1 repetida").arg(field.name));
        names.insert(key);
        packet.fields.append(field);
    }

    const QJsonArray rowArray = rowsValue.toArray();
    const int width = int(packet.fields.size());
    packet.rows.reserve(rowArray.size());
    for (int r = 0; r < rowArray.size(); ++r) {
        const QJsonValue rowValue = rowArray.at(r);
        if (!rowValue.isArray())
            fail(QStringLiteral("a linha %1 não é uma lista").arg(r + 1));
        const QJsonArray cells = rowValue.toArray();
        if (cells.size() != width) {
            fail(QStringLiteral("a linha %1 tem %2 valores, esperados %3")
                     .arg(r + 1)
                     .arg(cells.size())
                     .arg(width));
        }
        QVariantList row;
        row.reserve(width);
        for (int c = 0; c < width; ++c)
            row.append(parseValue(cells.at(c), packet.fields.at(c), r));
        packet.rows.append(row);
    }
    return packet;
}

QJsonObject TDataPacket::toJson() const
{
    QJsonArray fieldArray;
    for (const TPacketField &field : fields) {
        QJsonObject object{{QLatin1String("name"), field.name},
                           {QLatin1String("type"), QLatin1String(typeName(field.type))}};
        if (isStringType(field.type))
            object.insert(QLatin1String("size"), field.size);
        fieldArray.append(object);
    }
    QJsonArray rowArray;
    for (int r = 0; r < rows.size(); ++r) {
        checkWidth(rows.at(r), int(fields.size()), r);
        QJsonArray cells;
        for (int c = 0; c < fields.size(); ++c)
            cells.append(jsonValue(rows.at(r).at(c), fields.at(c), r));
        rowArray.append(cells);
    }
    return {{QLatin1String("fields"), fieldArray}, {QLatin1String("rows"), rowArray}};
}

QByteArray TDataPacket::toJsonText() const
{
    QByteArray out;
    out.reserve(64 + 32 * fields.size() * (1 + rows.size()));
    TDataPacketWriter writer(out);
    writer.begin(fields);
    const int width = int(fields.size());
    for (int r = 0; r < rows.size(); ++r) {
        const QVariantList &row = rows.at(r);
        checkWidth(row, width, r);
        writer.beginRow();
        for (int c = 0; c < width; ++c)
            appendValue(writer, row.at(c), fields.at(c), r);
        writer.endRow();
    }
    writer.end();
    return out;
}

bool operator==(const TDataPacket &a, const TDataPacket &b)
{
    return a.fields == b.fields && a.rows == b.rows;
}
