#include "CallWait.h"

#include "services/Exceptions.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>

namespace {
constexpr int kPollMs = 50;
const char kAllowedProperty[] = "vexAllowedDuringCall";

CallWait *&current()
{
    static CallWait *wait = nullptr;
    return wait;
}

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Close: // closing a window would free what the call's caller uses
        return true;
    default:
        return false;
    }
}

bool allowed(const QObject *object)
{
    for (; object; object = object->parent()) {
        if (object->property(kAllowedProperty).toBool())
            return true;
    }
    return false;
}
} // namespace

CallWait::CallWait()
{
    if (current()) {
        throw ENetError(QStringLiteral(
            "Outra chamada ao servidor de aplicação está em andamento; aguarde o seu fim."));
    }
    current() = this;
    m_elapsed.start();
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

CallWait::~CallWait()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
    current() = nullptr;
    // Posted, so the work runs once control is back in the loop that was
    // interrupted; should another wait have begun by then, it waits again.
    for (auto &[context, work] : m_after) {
        if (!context)
            continue;
        QObject *target = context.data();
        QTimer::singleShot(0, target, [target, work = std::move(work)] {
            afterWait(target, work);
        });
    }
}

void CallWait::afterWait(QObject *context, std::function<void()> work)
{
    if (CallWait *wait = current())
        wait->m_after.append({QPointer<QObject>(context), std::move(work)});
    else
        work();
}

CallWait::Outcome CallWait::waitUntil(const std::function<bool()> &done, QDeadlineTimer deadline)
{
    QEventLoop loop;
    m_loop = &loop;
    QTimer poll;
    poll.setInterval(kPollMs);
    connect(&poll, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start();
    Outcome outcome = Outcome::Done;
    while (!done()) {
        if (m_cancelled) {
            outcome = Outcome::Cancelled;
            break;
        }
        if (deadline.hasExpired()) {
            outcome = Outcome::TimedOut;
            break;
        }
        loop.exec();
    }
    m_loop = nullptr;
    return outcome;
}

void CallWait::wake()
{
    if (m_loop)
        m_loop->quit();
}

bool CallWait::active()
{
    return current() != nullptr;
}

qint64 CallWait::elapsedMs()
{
    return current() ? current()->m_elapsed.elapsed() : 0;
}

void CallWait::cancel()
{
    if (CallWait *wait = current()) {
        wait->m_cancelled = true;
        wait->wake();
    }
}

void CallWait::allowDuringCall(QObject *widget)
{
    widget->setProperty(kAllowedProperty, true);
}

bool CallWait::eventFilter(QObject *watched, QEvent *event)
{
    const bool escape = (event->type() == QEvent::KeyPress
                         || event->type() == QEvent::ShortcutOverride)
                        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape;
    // A shortcut would run a command, maybe another call, inside this one.
    if (event->type() == QEvent::Shortcut || event->type() == QEvent::ShortcutOverride) {
        if (escape)
            cancel();
        return true;
    }
    // Windows hand input on to their widgets, which are filtered below.
    if (!watched->isWidgetType() || !isUserInput(event->type()))
        return false;
    if (allowed(watched))
        return false;
    if (escape)
        cancel();
    return true;
}
