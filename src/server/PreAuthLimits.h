#pragma once

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>

// Connections not signed in yet, per client address: at most `perWindow`
// opened in a sliding window and still open; those that sign in or close
// stop counting. Shared by the accepting thread and the workers.
class PreAuthLimits final
{
public:
    PreAuthLimits(int perWindow, int windowS)
        : m_perWindow(perWindow)
        , m_windowMs(windowS * 1000LL)
    { }

    // A ticket for a new connection from `address`, or 0 when it is one too many.
    quint64 admit(const QString &address, qint64 nowMs);
    // The connection of `ticket` signed in or closed (a second call does nothing).
    void release(quint64 ticket);

private:
    struct Entry
    {
        quint64 ticket;
        qint64 sinceMs;
    };
    void prune(qint64 nowMs);
    void logRefusal(const QString &address, qint64 nowMs);

    const int m_perWindow;
    const qint64 m_windowMs;
    QMutex m_mutex;
    QHash<QString, QList<Entry>> m_byAddress;
    QHash<quint64, QString> m_addressOf;
    quint64 m_nextTicket = 0;
    qint64 m_lastPruneMs = 0;
    int m_logged = 0;
    int m_suppressed = 0;
    qint64 m_summaryMs = 0;
};
