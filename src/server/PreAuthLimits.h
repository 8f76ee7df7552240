#pragma once

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>

#include <atomic>
#include <map>
#include <memory>

// Connections not signed in yet. Per client address, at most `perWindow`
// opened in a sliding window, open still or closed since: a client that
// connects, tries and closes counts every time; one that signs in stops
// counting. Over every address, at most `maxOpen` open at once: one more
// evicts the oldest, so that a crowd of idle connections cannot keep a real
// client from signing in, and places are left for signed-in sessions.
// Shared by the workers.
class PreAuthLimits final
{
public:
    struct Admission
    {
        quint64 ticket = 0; // 0: refused
        // Set when a newer connection took this one's place: close it.
        std::shared_ptr<std::atomic<bool>> evicted;
    };

    PreAuthLimits(int perWindow, int windowS, int maxOpen)
        : m_perWindow(perWindow)
        , m_windowMs(windowS * 1000LL)
        , m_maxOpen(maxOpen)
    { }

    // `balancer`: the balancer's own connection (a health check), which
    // does not count against its address.
    Admission admit(const QString &address, qint64 nowMs, bool balancer = false);
    void signedIn(quint64 ticket);
    void closed(quint64 ticket);

private:
    struct Opened
    {
        quint64 ticket;
        qint64 sinceMs;
    };
    struct Open
    {
        QString address;
        std::shared_ptr<std::atomic<bool>> evicted;
    };
    void prune(qint64 nowMs);
    void evictOldest(qint64 nowMs);
    void logRefusal(const QString &text, qint64 nowMs);

    const int m_perWindow;
    const qint64 m_windowMs;
    const int m_maxOpen;
    QMutex m_mutex;
    QHash<QString, QList<Opened>> m_byAddress; // opened within the window
    std::map<quint64, Open> m_open; // not signed in and open; oldest first
    quint64 m_nextTicket = 0;
    qint64 m_lastPruneMs = 0;
    int m_logged = 0;
    int m_suppressed = 0;
    qint64 m_summaryMs = 0;
};
