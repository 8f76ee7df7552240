#pragma once

#include "TEditMask.h"
#include "TFieldType.h"

#include <QString>
#include <QVariant>

#include <functional>

class TClientDataSet;

// A persistent, typed field of a TClientDataSet. Reads go to the data set's
// active record: the cursor row, or the row a view is painting (see
// TRecordScope), as the classic data-set layer does.
class TField final
{
public:
    // text: in/out; displayText: true for display text, false for edit text.
    using TFieldGetTextEvent = std::function<void(TField *sender, QString &text, bool displayText)>;

    TField(TClientDataSet *dataSet, const QString &fieldName, TFieldType type, int size);

    TClientDataSet *DataSet() const { return m_dataSet; }
    QString FieldName() const { return m_fieldName; }
    TFieldType DataType() const { return m_type; }
    int Size() const { return m_size; }
    int Index() const;

    QString DisplayLabel() const; // falls back to FieldName
    void SetDisplayLabel(const QString &label);
    QString DisplayFormat() const { return m_displayFormat; }
    void SetDisplayFormat(const QString &format);
    QString EditMask() const { return m_editMask.mask(); }
    void SetEditMask(const QString &mask);
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    bool Required() const { return m_required; }
    void SetRequired(bool required) { m_required = required; }
    int DisplayWidth() const; // characters; defaults from type and size
    void SetDisplayWidth(int width) { m_displayWidth = width; }

    TFieldGetTextEvent OnGetText;

    // Active record values. A closed or empty data set reads as null.
    QVariant Value() const;
    bool IsNull() const;
    QString AsString() const;   // null -> ""
    double AsFloat() const;     // null -> 0
    double AsDateTime() const;  // OLE days; null -> 0

    // Formatted text (format, mask, default date rendering). When OnGetText
    // is set it produces the text alone: it starts from an empty text.
    QString DisplayText() const;
    QString EditText() const;
    // DisplayText for painting views: a failing get-text handler is logged
    // and gives an empty text, since a view that paints must not throw.
    QString ViewText() const noexcept;

private:
    QString formattedText(bool displayText) const;

    TClientDataSet *m_dataSet;
    QString m_fieldName;
    TFieldType m_type;
    int m_size;
    QString m_displayLabel;
    QString m_displayFormat;
    TEditMask m_editMask;
    bool m_visible = true;
    bool m_required = false;
    int m_displayWidth = 0;
};
