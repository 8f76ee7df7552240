#include "TClientDataSet.h"

#include "TDataSource.h"
#include "services/Exceptions.h"

#include <QLocale>
#include <QLoggingCategory>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

Q_LOGGING_CATEGORY(lcDataSet, "vex.data.dataset", QtInfoMsg)

namespace {

bool isNumber(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return true;
    default: return false;
    }
}

bool isWholeNumberType(const QVariant &value)
{
    return isNumber(value) && value.metaType().id() != QMetaType::Double
           && value.metaType().id() != QMetaType::Float;
}

// Shortest text that reads back as the same number.
QString numberText(const QVariant &value)
{
    if (isWholeNumberType(value))
        return value.toString();
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value.toDouble());
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

bool toDouble(const QVariant &value, double *out)
{
    bool ok = false;
    if (isNumber(value))
        *out = value.toDouble(&ok);
    else if (value.metaType().id() == QMetaType::QString)
        *out = QLocale::c().toDouble(value.toString().trimmed(), &ok);
    return ok && std::isfinite(*out);
}

bool toInteger(const QVariant &value, qint64 *out)
{
    bool ok = false;
    if (isWholeNumberType(value)) {
        *out = value.toLongLong(&ok);
        return ok && (value.metaType().id() != QMetaType::ULongLong || *out >= 0);
    }
    double d = 0;
    if (value.metaType().id() == QMetaType::QString) {
        *out = value.toString().trimmed().toLongLong(&ok);
        if (ok)
            return true;
    }
    // 2^63 is the first double past the range.
    if (!toDouble(value, &d) || d != std::trunc(d) || d < -9223372036854775808.0
        || d >= 9223372036854775808.0)
        return false;
    *out = qint64(d);
    return true;
}

// A value of the packet in the form the field keeps; false when it cannot
// be one.
enum class Conversion { Ok, Invalid, TooLong };

// A text longer than its field is refused rather than cut: a cut code would
// be sent back to the server as another, wrong, code.
Conversion convert(const QVariant &value, const TField *field, QVariant *out)
{
    if (value.isNull()) {
        *out = QVariant();
        return Conversion::Ok;
    }
    if (isStringType(field->DataType())) {
        QString text;
        if (value.metaType().id() == QMetaType::QString)
            text = value.toString();
        else if (isNumber(value))
            text = numberText(value);
        else
            return Conversion::Invalid;
        if (field->Size() > 0 && text.size() > field->Size())
            return Conversion::TooLong;
        *out = text;
        return Conversion::Ok;
    }
    if (field->DataType() == TFieldType::ftInteger) {
        qint64 n = 0;
        if (!toInteger(value, &n))
            return Conversion::Invalid;
        *out = n;
        return Conversion::Ok;
    }
    double d = 0;
    if (!toDouble(value, &d))
        return Conversion::Invalid;
    *out = d;
    return Conversion::Ok;
}

} // namespace

TClientDataSet::TClientDataSet(const QString &name, QObject *parent)
    : QObject(parent)
{
    setObjectName(name);
}

TClientDataSet::~TClientDataSet() = default;

TField *TClientDataSet::AddField(const QString &fieldName, TFieldType type, int size)
{
    if (m_state != TDataSetState::dsInactive) {
        throw EVexError(QStringLiteral("Não é possível incluir o campo %1 com %2 aberto")
                            .arg(fieldName, objectName()));
    }
    if (FindField(fieldName)) {
        throw EVexError(
            QStringLiteral("Campo %1 duplicado em %2").arg(fieldName, objectName()));
    }
    m_fields.push_back(std::make_unique<TField>(this, fieldName, type, size));
    Q_EMIT fieldsChanged();
    return m_fields.back().get();
}

QList<TField *> TClientDataSet::Fields() const
{
    QList<TField *> fields;
    fields.reserve(qsizetype(m_fields.size()));
    for (const auto &field : m_fields)
        fields.append(field.get());
    return fields;
}

TField *TClientDataSet::FindField(const QString &fieldName) const
{
    for (const auto &field : m_fields) {
        if (field->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return field.get();
    }
    return nullptr;
}

TField *TClientDataSet::FieldByName(const QString &fieldName) const
{
    TField *field = FindField(fieldName);
    if (!field) {
        throw EVexError(
            QStringLiteral("Campo %1 não encontrado em %2").arg(fieldName, objectName()));
    }
    return field;
}

int TClientDataSet::indexOfField(const TField *field) const
{
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].get() == field)
            return int(i);
    }
    return -1;
}

std::vector<QVariantList> TClientDataSet::convertRows(const TDataPacket &packet) const
{
    std::vector<int> columns;
    columns.reserve(m_fields.size());
    for (const auto &field : m_fields) {
        const int column = packet.columnIndex(field->FieldName());
        if (column < 0) {
            throw EDataPacketError(QStringLiteral("Coluna %1 ausente no pacote de dados de %2")
                                       .arg(field->FieldName(), objectName()));
        }
        columns.push_back(column);
    }
    std::vector<QVariantList> rows;
    rows.reserve(size_t(packet.rows.size()));
    for (int r = 0; r < packet.rows.size(); ++r) {
        const QVariantList &source = packet.rows.at(r);
        QVariantList row;
        row.reserve(qsizetype(m_fields.size()));
        for (size_t f = 0; f < m_fields.size(); ++f) {
            const TField *field = m_fields[f].get();
            const QVariant raw = columns[f] < source.size() ? source.at(columns[f]) : QVariant();
            QVariant value;
            const Conversion result = columns[f] < source.size()
                ? convert(raw, field, &value) : Conversion::Invalid;
            if (result == Conversion::TooLong) {
                throw EDataPacketError(
                    QStringLiteral("Valor longo demais para o campo %1 de %2 na linha %3 "
                                   "(até %4 caracteres): %5")
                        .arg(field->FieldName(), objectName())
                        .arg(r + 1)
                        .arg(field->Size())
                        .arg(raw.toString().left(40)));
            }
            if (result == Conversion::Invalid) {
                throw EDataPacketError(
                    QStringLiteral("Valor inválido para o campo %1 de %2 na linha %3: %4")
                        .arg(field->FieldName(), objectName())
                        .arg(r + 1)
                        .arg(raw.toString().left(40)));
            }
            row.append(value);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void TClientDataSet::LoadFromPacket(const TDataPacket &packet)
{
    Close();
    std::vector<QVariantList> rows = convertRows(packet);
    m_rows = std::move(rows);
    m_loadOrder.resize(m_rows.size());
    std::iota(m_loadOrder.begin(), m_loadOrder.end(), 0);
    if (!m_sortField.isEmpty() && !m_sortKey && !FindField(m_sortField))
        m_sortField.clear();
    reorder(sortedPositions()); // still closed: the first row is the first in order
    m_hiddenRows.clear();
    m_hiddenLoadOrder.clear();
    hideRefused();
    m_current = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
    setState(TDataSetState::dsBrowse);
    Q_EMIT dataReset();
    Q_EMIT currentRowChanged(m_current);
    if (m_current >= 0 && AfterScroll)
        AfterScroll(this);
}

void TClientDataSet::Close()
{
    if (m_state == TDataSetState::dsInactive)
        return;
    m_rows.clear();
    m_loadOrder.clear();
    m_hiddenRows.clear();
    m_hiddenLoadOrder.clear();
    m_current = -1;
    m_bof = m_eof = true;
    setState(TDataSetState::dsInactive);
    Q_EMIT dataReset();
    Q_EMIT currentRowChanged(-1);
}

namespace {
// -1, 0, 1; nulls first, then by the field's kind.
int compareValues(const TField *field, const QVariant &a, const QVariant &b,
                  const QString &textA, const QString &textB)
{
    if (a.isNull() || b.isNull())
        return int(!a.isNull()) - int(!b.isNull());
    if (field->OnGetText || field->DataType() == TFieldType::ftString
        || field->DataType() == TFieldType::ftFixedChar) {
        const int c = QString::compare(textA, textB);
        return (c > 0) - (c < 0);
    }
    const double x = a.toDouble();
    const double y = b.toDouble();
    return (x > y) - (x < y);
}
} // namespace

void TClientDataSet::SortBy(const QString &fieldName, Qt::SortOrder order)
{
    m_sortField = FieldByName(fieldName)->FieldName();
    m_sortKey = nullptr;
    m_sortOrder = order;
    reorder(sortedPositions());
}

void TClientDataSet::ClearSort()
{
    m_sortField.clear();
    m_sortKey = nullptr;
    m_sortOrder = Qt::AscendingOrder;
    reorder(sortedPositions());
}

void TClientDataSet::SortByKey(const QString &name, Qt::SortOrder order, TSortKey key)
{
    m_sortField = name;
    m_sortKey = std::move(key);
    m_sortOrder = order;
    reorder(sortedPositions());
}

void TClientDataSet::Resort()
{
    reorder(sortedPositions());
}

std::vector<int> TClientDataSet::positionsByKey() const
{
    const int n = RecordCount();
    std::vector<QVariant> keys(static_cast<size_t>(n));
    for (int row = 0; row < n; ++row)
        keys[size_t(row)] = m_sortKey(this, row);
    std::vector<int> positions(static_cast<size_t>(n));
    std::iota(positions.begin(), positions.end(), 0);
    const auto compare = [](const QVariant &a, const QVariant &b) {
        if (a.isNull() || b.isNull())
            return int(!a.isNull()) - int(!b.isNull());
        if (a.canConvert<double>() && b.canConvert<double>()
            && a.typeId() != QMetaType::QString) {
            return (a.toDouble() > b.toDouble()) - (a.toDouble() < b.toDouble());
        }
        const int c = QString::compare(a.toString(), b.toString());
        return (c > 0) - (c < 0);
    };
    const bool ascending = m_sortOrder == Qt::AscendingOrder;
    std::stable_sort(positions.begin(), positions.end(), [&](int a, int b) {
        const int c = compare(keys[size_t(a)], keys[size_t(b)]);
        if (c != 0)
            return ascending ? c < 0 : c > 0;
        return m_loadOrder[size_t(a)] < m_loadOrder[size_t(b)];
    });
    return positions;
}

// The rows' positions in the order asked for; the load order breaks ties.
std::vector<int> TClientDataSet::sortedPositions() const
{
    if (m_sortKey)
        return positionsByKey();
    const int n = RecordCount();
    std::vector<int> positions(static_cast<size_t>(n));
    std::iota(positions.begin(), positions.end(), 0);
    const TField *field = m_sortField.isEmpty() ? nullptr : FindField(m_sortField);
    const auto byLoad = [this](int a, int b) {
        return m_loadOrder[size_t(a)] < m_loadOrder[size_t(b)];
    };
    if (!field) {
        std::sort(positions.begin(), positions.end(), byLoad);
        return positions;
    }
    const int column = indexOfField(field);
    // Words and texts are worked out once, not at every comparison.
    std::vector<QString> texts(static_cast<size_t>(n));
    const bool byText = field->OnGetText || field->DataType() == TFieldType::ftString
                        || field->DataType() == TFieldType::ftFixedChar;
    if (byText) {
        auto *self = const_cast<TClientDataSet *>(this);
        for (int row = 0; row < n; ++row) {
            TRecordScope scope(self, row);
            texts[size_t(row)] = field->OnGetText ? field->ViewText() : field->AsString();
        }
    }
    const bool ascending = m_sortOrder == Qt::AscendingOrder;
    std::stable_sort(positions.begin(), positions.end(), [&](int a, int b) {
        const int c = compareValues(field, m_rows[size_t(a)].value(column),
                                    m_rows[size_t(b)].value(column), texts[size_t(a)],
                                    texts[size_t(b)]);
        if (c != 0)
            return ascending ? c < 0 : c > 0;
        return byLoad(a, b);
    });
    return positions;
}

void TClientDataSet::reorder(const std::vector<int> &positions)
{
    if (positions.empty())
        return;
    permute(positions);
    if (!Active())
        return;
    Q_EMIT dataReset();
    Q_EMIT currentRowChanged(m_current);
}

void TClientDataSet::permute(const std::vector<int> &positions)
{
    std::vector<QVariantList> rows;
    std::vector<int> loadOrder;
    rows.reserve(positions.size());
    loadOrder.reserve(positions.size());
    int current = -1;
    for (size_t i = 0; i < positions.size(); ++i) {
        rows.push_back(std::move(m_rows[size_t(positions[i])]));
        loadOrder.push_back(m_loadOrder[size_t(positions[i])]);
        if (positions[i] == m_current)
            current = int(i);
    }
    m_rows = std::move(rows);
    m_loadOrder = std::move(loadOrder);
    if (Active())
        m_current = current;
}

void TClientDataSet::SetFilter(TFilterRecordEvent accept)
{
    m_filter = std::move(accept);
    Refilter();
}

void TClientDataSet::Refilter()
{
    if (!Active())
        return; // the next load applies it
    const int currentId = m_current >= 0 ? m_loadOrder[size_t(m_current)] : -1;
    showHidden();
    hideRefused();
    const auto found = std::find(m_loadOrder.begin(), m_loadOrder.end(), currentId);
    const bool same = currentId >= 0 && found != m_loadOrder.end();
    m_current = same ? int(found - m_loadOrder.begin()) : (m_rows.empty() ? -1 : 0);
    m_bof = m_current <= 0;
    m_eof = m_rows.empty();
    Q_EMIT dataReset();
    Q_EMIT currentRowChanged(m_current);
    if (!same && m_current >= 0 && AfterScroll)
        AfterScroll(this);
}

// Every row back, in the order in force.
void TClientDataSet::showHidden()
{
    if (m_hiddenRows.empty())
        return;
    for (size_t i = 0; i < m_hiddenRows.size(); ++i) {
        m_rows.push_back(std::move(m_hiddenRows[i]));
        m_loadOrder.push_back(m_hiddenLoadOrder[i]);
    }
    m_hiddenRows.clear();
    m_hiddenLoadOrder.clear();
    m_current = -1;
    permute(sortedPositions());
}

void TClientDataSet::hideRefused()
{
    if (!m_filter)
        return;
    std::vector<QVariantList> rows;
    std::vector<int> loadOrder;
    for (size_t row = 0; row < m_rows.size(); ++row) {
        const bool pass = accepts(int(row));
        (pass ? rows : m_hiddenRows).push_back(std::move(m_rows[row]));
        (pass ? loadOrder : m_hiddenLoadOrder).push_back(m_loadOrder[row]);
    }
    m_rows = std::move(rows);
    m_loadOrder = std::move(loadOrder);
}

// A filter that fails keeps its row on show: better seen than lost.
bool TClientDataSet::accepts(int row)
{
    TRecordScope scope(this, row);
    try {
        return m_filter(this);
    } catch (const std::exception &e) {
        qCWarning(lcDataSet) << objectName() << "filter failed:" << e.what();
    } catch (...) {
        qCWarning(lcDataSet) << objectName() << "filter failed";
    }
    return true;
}

void TClientDataSet::setState(TDataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    const QList<QPointer<TDataSource>> sources = m_sources;
    for (const QPointer<TDataSource> &source : sources) {
        if (source)
            source->dataSetStateChanged(state);
    }
    Q_EMIT stateChanged(state);
}

void TClientDataSet::notifyFieldChanged()
{
    Q_EMIT fieldsChanged();
}

void TClientDataSet::moveCursor(int row, bool bof, bool eof)
{
    if (!Active() || m_rows.empty())
        return;
    row = std::clamp(row, 0, RecordCount() - 1);
    m_bof = bof;
    m_eof = eof;
    if (row == m_current)
        return;
    m_current = row;
    Q_EMIT currentRowChanged(row);
    if (AfterScroll)
        AfterScroll(this);
}

void TClientDataSet::MoveTo(int row)
{
    moveCursor(row, row < 0, row >= RecordCount());
}

void TClientDataSet::First()
{
    moveCursor(0, true, false);
}

void TClientDataSet::Last()
{
    moveCursor(RecordCount() - 1, false, true);
}

void TClientDataSet::Next()
{
    moveCursor(m_current + 1, false, m_current + 1 >= RecordCount());
}

void TClientDataSet::Prior()
{
    moveCursor(m_current - 1, m_current - 1 < 0, false);
}

bool TClientDataSet::Eof() const
{
    return !Active() || m_rows.empty() || m_eof;
}

bool TClientDataSet::Bof() const
{
    return !Active() || m_rows.empty() || m_bof;
}

int TClientDataSet::ActiveRecord() const
{
    return m_scopeDepth > 0 ? m_scopeRow : m_current;
}

QVariant TClientDataSet::RawValue(int row, int fieldIndex) const
{
    if (row < 0 || size_t(row) >= m_rows.size() || fieldIndex < 0)
        return {};
    const QVariantList &values = m_rows[size_t(row)];
    return fieldIndex < values.size() ? values.at(fieldIndex) : QVariant();
}

void TClientDataSet::SetRawValue(int row, int fieldIndex, const QVariant &value)
{
    if (row < 0 || size_t(row) >= m_rows.size() || fieldIndex < 0
        || fieldIndex >= m_rows[size_t(row)].size()) {
        throw EVexError(QStringLiteral("%1: linha %2, campo %3 fora dos limites")
                            .arg(objectName())
                            .arg(row)
                            .arg(fieldIndex));
    }
    m_rows[size_t(row)][fieldIndex] = value;
    Q_EMIT fieldsChanged();
}

TRecordScope::TRecordScope(TClientDataSet *dataSet, int row)
    : m_dataSet(dataSet)
    , m_previous(dataSet->m_scopeRow)
{
    m_dataSet->m_scopeRow = row;
    ++m_dataSet->m_scopeDepth;
}

TRecordScope::~TRecordScope()
{
    m_dataSet->m_scopeRow = m_previous;
    --m_dataSet->m_scopeDepth;
}
