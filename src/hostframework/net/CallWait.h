#pragma once

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QEventLoop;

// The one server call the user interface is waiting for. While it waits the
// event loop keeps turning, so the host repaints and the wait animation
// moves, but user input is dropped (not queued for later), except on
// widgets marked with allowDuringCall(); Esc cancels the call. Only one wait
// at a time: starting another inside it is refused, never re-entered.
class CallWait final : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Done, TimedOut, Cancelled };

    // Throws ENetError when another wait is already running.
    CallWait();
    ~CallWait() override;
    CallWait(const CallWait &) = delete;
    CallWait &operator=(const CallWait &) = delete;

    // Runs the event loop until done() holds, the deadline passes or the
    // user cancels. done() is checked whenever wake() was called or a short
    // poll interval passed.
    Outcome waitUntil(const std::function<bool()> &done, QDeadlineTimer deadline);
    void wake();

    static bool active();
    static qint64 elapsedMs(); // 0 when no call waits
    static void cancel();      // the waiting call ends as cancelled
    static void allowDuringCall(QObject *widget);
    // Runs work now, or, while a call waits, once the event loop is back
    // from the wait: handlers such as a window's activation must not run in
    // the middle of another handler's call. Dropped if context dies first.
    static void afterWait(QObject *context, std::function<void()> work);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QElapsedTimer m_elapsed;
    QEventLoop *m_loop = nullptr;
    bool m_cancelled = false;
    QList<std::pair<QPointer<QObject>, std::function<void()>>> m_after;
};
