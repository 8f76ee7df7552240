#include "TMaskEdit.h"

#include "TExitCheck.h"
#include "services/Consiste.h"
#include "services/SafeCall.h"

#include <QFocusEvent>
#include <QTimer>

TMaskEdit::TMaskEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_exitCheck(std::make_unique<TExitCheck>(this, [this] { DoExit(); }))
{
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (OnChange)
            SafeCall([this] { OnChange(this); });
    });
}

TMaskEdit::~TMaskEdit() = default;

void TMaskEdit::SetEditMask(const QString &mask)
{
    // The stored value survives a new mask: it is laid into the new picture.
    const QString value = Value();
    m_mask = TEditMask(mask);
    setInputMask(m_mask.toInputMask());
    if (!value.isEmpty())
        SetText(m_mask.isEmpty() ? value : m_mask.format(value));
}

QString TMaskEdit::Text() const
{
    return text();
}

void TMaskEdit::SetText(const QString &text)
{
    setText(text);
}

QString TMaskEdit::Value() const
{
    if (m_mask.isEmpty())
        return text();
    return m_mask.strip(displayText()).trimmed();
}

bool TMaskEdit::IsBlank() const
{
    return Consiste::EmptyString(displayText());
}

void TMaskEdit::SetMaxLength(int length)
{
    setMaxLength(length);
}

void TMaskEdit::DoExit()
{
    if (OnExit)
        OnExit(this);
}

void TMaskEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    // An untouched mask is typed from its first position, wherever the
    // click landed.
    if (!m_mask.isEmpty() && IsBlank() && event->reason() == Qt::MouseFocusReason)
        QTimer::singleShot(0, this, [this] { setCursorPosition(0); });
}
