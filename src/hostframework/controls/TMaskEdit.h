#pragma once

#include "data/TEditMask.h"

#include <QLineEdit>

#include <functional>
#include <memory>

class TExitCheck;

// Masked edit taking the classic edit mask (">aaaa;0; ", "99.99.9999;0;_").
class TMaskEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget *parent = nullptr);
    ~TMaskEdit() override;

    void SetEditMask(const QString &mask); // classic syntax; "" for none
    QString EditMask() const { return m_mask.mask(); }

    // The text as the user sees it, literals included, unfilled positions
    // dropped ("01/12/2026", "01.02" for a half-typed product code).
    QString Text() const;
    void SetText(const QString &text);
    // The stored value: without literals when the mask does not keep them.
    QString Value() const;
    bool IsBlank() const; // Consiste::EmptyString of the text

    int MaxLength() const { return maxLength(); }
    void SetMaxLength(int length);

    // Every text change, by the user or by code (SafeCall).
    std::function<void(TMaskEdit *sender)> OnChange;
    // Focus leaving for another control of the window; a failure puts the
    // focus back (see TExitCheck).
    std::function<void(TMaskEdit *sender)> OnExit;

    TExitCheck *ExitCheck() const { return m_exitCheck.get(); }

protected:
    // The exit check: runs OnExit. Throws to keep the focus.
    virtual void DoExit();
    void focusInEvent(QFocusEvent *event) override;

private:
    TEditMask m_mask;
    std::unique_ptr<TExitCheck> m_exitCheck;
};
