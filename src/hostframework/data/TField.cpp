#include "TField.h"

#include "DisplayFormat.h"
#include "OleDate.h"
#include "TClientDataSet.h"
#include "services/Exceptions.h"

#include <QLocale>
#include <QLoggingCategory>

#include <exception>

Q_LOGGING_CATEGORY(lcField, "vex.data.field", QtInfoMsg)

namespace {

} // namespace

TField::TField(TClientDataSet *dataSet, const QString &fieldName, TFieldType type, int size)
    : m_dataSet(dataSet)
    , m_fieldName(fieldName)
    , m_type(type)
    , m_size(size)
{
}

int TField::Index() const
{
    return m_dataSet->indexOfField(this);
}

QString TField::DisplayLabel() const
{
    return m_displayLabel.isEmpty() ? m_fieldName : m_displayLabel;
}

void TField::SetDisplayLabel(const QString &label)
{
    m_displayLabel = label;
    m_dataSet->notifyFieldChanged();
}

void TField::SetDisplayFormat(const QString &format)
{
    m_displayFormat = format;
    m_dataSet->notifyFieldChanged();
}

void TField::SetEditMask(const QString &mask)
{
    m_editMask = TEditMask(mask);
    m_dataSet->notifyFieldChanged();
}

int TField::DisplayWidth() const
{
    if (m_displayWidth > 0)
        return m_displayWidth;
    switch (m_type) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar: return m_size > 0 ? m_size : 20;
    case TFieldType::ftFloat: return 10;
    case TFieldType::ftDateTime: return 18;
    case TFieldType::ftInteger: return 15;
    }
    return 10;
}

QVariant TField::Value() const
{
    return m_dataSet->RawValue(m_dataSet->ActiveRecord(), Index());
}

bool TField::IsNull() const
{
    return Value().isNull();
}

QString TField::AsString() const
{
    const QVariant value = Value();
    if (value.isNull())
        return {};
    switch (m_type) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar: return value.toString();
    case TFieldType::ftFloat: return DisplayFormat::formatGeneral(value.toDouble());
    case TFieldType::ftDateTime: return OleDate::toDisplayText(value.toDouble());
    case TFieldType::ftInteger: return QString::number(value.toLongLong());
    }
    return value.toString();
}

double TField::AsFloat() const
{
    const QVariant value = Value();
    if (value.isNull())
        return 0.0;
    if (!isStringType(m_type))
        return value.toDouble();
    // A string field read as a number: the user's notation first.
    const QString text = value.toString().trimmed();
    bool ok = false;
    double d = QLocale(QLocale::Portuguese, QLocale::Brazil).toDouble(text, &ok);
    if (!ok)
        d = QLocale::c().toDouble(text, &ok);
    if (!ok) {
        throw EVexError(QStringLiteral("'%1' não é um valor numérico válido para o campo %2")
                            .arg(text, m_fieldName));
    }
    return d;
}

double TField::AsDateTime() const
{
    return AsFloat();
}

QString TField::DisplayText() const
{
    if (OnGetText) {
        QString text;
        OnGetText(const_cast<TField *>(this), text, true);
        return text;
    }
    return formattedText(true);
}

QString TField::ViewText() const noexcept
{
    try {
        return DisplayText();
    } catch (const std::exception &e) {
        qCWarning(lcField) << m_fieldName << "get-text handler failed:" << e.what();
    } catch (...) {
        qCWarning(lcField) << m_fieldName << "get-text handler failed";
    }
    return {};
}

QString TField::EditText() const
{
    if (OnGetText) {
        QString text;
        OnGetText(const_cast<TField *>(this), text, false);
        return text;
    }
    return formattedText(false);
}

// Edit text and display text differ only by an edit format, which these
// fields do not have: floats use their display format for both.
QString TField::formattedText(bool displayText) const
{
    Q_UNUSED(displayText);
    const QVariant value = Value();
    if (value.isNull())
        return {};
    switch (m_type) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
        return m_editMask.isEmpty() ? value.toString() : m_editMask.format(value.toString());
    case TFieldType::ftFloat:
        return m_displayFormat.isEmpty()
                   ? DisplayFormat::formatGeneral(value.toDouble())
                   : DisplayFormat::formatFloat(m_displayFormat, value.toDouble());
    case TFieldType::ftDateTime:
        return OleDate::toDisplayText(value.toDouble());
    case TFieldType::ftInteger:
        return m_displayFormat.isEmpty()
                   ? QString::number(value.toLongLong())
                   : DisplayFormat::formatFloat(m_displayFormat, value.toDouble());
    }
    return value.toString();
}
