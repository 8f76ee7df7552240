#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

// The exit check of an entry control: runs a handler (through SafeCall)
// when the focus moves from the control to another control of its window,
// and puts the focus back when the handler fails (throws, EAbort
// included). The check runs once per departure, after the focus change has
// settled, and never while another check is running or putting focus back.
// Focus that goes to another window (a message box, a pick list, the
// calendar), a window that is closing and a move to a cancel control do not
// run it, so cancelling is always possible and the typed text stays.
class TExitCheck final : public QObject
{
    Q_OBJECT
public:
    TExitCheck(QWidget *control, std::function<void()> handler);
    ~TExitCheck() override;

    // Focus moving to widget (and its children) skips every exit check: the
    // dialogs' cancel buttons.
    static void SetCancelControl(QWidget *widget, bool cancel = true);
    static bool IsCancelControl(const QWidget *widget);

    // Runs the check now, as leaving would; false when the handler failed.
    bool Run();
    bool Pending() const { return m_pending; }

    // Before a keyboard command acts on window: the checks of controls just
    // left and of the control with the focus run now, as leaving it would.
    // False when one failed (its control has the focus again).
    static bool Settle(const QWidget *window);
    // The focus back on a control after a refusal, its text selected so
    // that typing replaces it.
    static void Refocus(QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void departed();
    void runPending();

    QPointer<QWidget> m_control;
    std::function<void()> m_handler;
    bool m_pending = false;
};
