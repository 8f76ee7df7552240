#include "TExitCheck.h"

#include "services/SafeCall.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QList>
#include <QTimer>

#include <utility>

namespace {
const char *const kCancelProperty = "vexCancelControl";

// True while a check runs or puts the focus back: the focus moves this
// causes (message box, refocusing) are not the user leaving a control.
bool s_busy = false;

QList<TExitCheck *> &allChecks()
{
    static QList<TExitCheck *> checks;
    return checks;
}

class BusyScope final
{
public:
    BusyScope()
        : m_previous(s_busy)
    {
        s_busy = true;
    }
    ~BusyScope() { s_busy = m_previous; }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    bool m_previous;
};

// Only the user's own moves inside the window leave a control: going to
// another window comes back to the control, and code that moves the focus
// (a failed check's refocusing) must not start the next control's check.
bool isUserMove(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
        || reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
}
} // namespace

TExitCheck::TExitCheck(QWidget *control, std::function<void()> handler)
    : QObject(nullptr)
    , m_control(control)
    , m_handler(std::move(handler))
{
    if (control)
        control->installEventFilter(this);
    allChecks().append(this);
}

TExitCheck::~TExitCheck()
{
    allChecks().removeOne(this);
    if (m_control)
        m_control->removeEventFilter(this);
}

void TExitCheck::SetCancelControl(QWidget *widget, bool cancel)
{
    if (widget)
        widget->setProperty(kCancelProperty, cancel);
}

bool TExitCheck::IsCancelControl(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (w->property(kCancelProperty).toBool())
            return true;
        if (w->isWindow())
            break;
    }
    return false;
}

bool TExitCheck::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_control && event->type() == QEvent::FocusOut) {
        if (isUserMove(static_cast<QFocusEvent *>(event)->reason()))
            departed();
    }
    return QObject::eventFilter(watched, event);
}

void TExitCheck::departed()
{
    if (s_busy || m_pending || IsCancelControl(QApplication::focusWidget()))
        return;
    // Checked once the focus change has settled: a message box opened from
    // inside a focus event would fight the focus move still in progress.
    m_pending = true;
    QTimer::singleShot(0, this, [this] { runPending(); });
}

void TExitCheck::runPending()
{
    // Already run by Settle.
    if (!std::exchange(m_pending, false))
        return;
    if (!m_control || s_busy)
        return;
    QWidget *window = m_control->window();
    QWidget *now = QApplication::focusWidget();
    // A closing window, a cancel, or the user already back in the control.
    if (!window->isVisible() || now == m_control || IsCancelControl(now))
        return;
    Run();
}

bool TExitCheck::Run()
{
    if (!m_handler)
        return true;
    BusyScope busy;
    const bool ok = SafeCall(m_handler);
    if (!ok && m_control && m_control->isEnabled() && m_control->isVisible())
        Refocus(m_control);
    return ok;
}

bool TExitCheck::Settle(const QWidget *window)
{
    if (s_busy || !window)
        return true;
    // The controls just left first, then the one the user is in, once even
    // if it was left and come back to.
    QWidget *focus = QApplication::focusWidget();
    bool focusChecked = false;
    const QList<TExitCheck *> checks = allChecks();
    for (TExitCheck *check : checks) {
        if (!check->m_control || check->m_control->window() != window
            || !std::exchange(check->m_pending, false))
            continue;
        if (!check->Run())
            return false;
        focusChecked = focusChecked || check->m_control == focus;
    }
    for (TExitCheck *check : allChecks()) {
        if (!focusChecked && focus && check->m_control == focus && focus->window() == window)
            return check->Run();
    }
    return true;
}

void TExitCheck::Refocus(QWidget *control)
{
    control->setFocus(Qt::OtherFocusReason);
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->selectAll();
}
