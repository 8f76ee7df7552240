#include "PreAuthLimits.h"

#include "ServerLog.h"

#include <QMutexLocker>

namespace {
constexpr int LogBurst = 5;
constexpr qint64 LogIntervalMs = 10000;
} // namespace

quint64 PreAuthLimits::admit(const QString &address, qint64 nowMs)
{
    QMutexLocker lock(&m_mutex);
    prune(nowMs);
    QList<Entry> &entries = m_byAddress[address];
    entries.removeIf([&](const Entry &e) {
        if (nowMs - e.sinceMs < m_windowMs)
            return false;
        m_addressOf.remove(e.ticket);
        return true;
    });
    if (entries.size() >= m_perWindow) {
        logRefusal(address, nowMs);
        return 0;
    }
    const quint64 ticket = ++m_nextTicket;
    entries.append({ ticket, nowMs });
    m_addressOf.insert(ticket, address);
    return ticket;
}

void PreAuthLimits::release(quint64 ticket)
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_addressOf.constFind(ticket);
    if (it == m_addressOf.constEnd())
        return;
    const auto list = m_byAddress.find(it.value());
    if (list != m_byAddress.end()) {
        list->removeIf([ticket](const Entry &e) { return e.ticket == ticket; });
        if (list->isEmpty())
            m_byAddress.erase(list);
    }
    m_addressOf.erase(it);
}

// Addresses that stopped connecting are forgotten, so the table stays as
// small as the recent traffic.
void PreAuthLimits::prune(qint64 nowMs)
{
    if (nowMs - m_lastPruneMs < m_windowMs)
        return;
    m_lastPruneMs = nowMs;
    for (auto it = m_byAddress.begin(); it != m_byAddress.end();) {
        it->removeIf([&](const Entry &e) {
            if (nowMs - e.sinceMs < m_windowMs)
                return false;
            m_addressOf.remove(e.ticket);
            return true;
        });
        it = it->isEmpty() ? m_byAddress.erase(it) : std::next(it);
    }
}

void PreAuthLimits::logRefusal(const QString &address, qint64 nowMs)
{
    if (m_logged < LogBurst) {
        ++m_logged;
        m_summaryMs = nowMs;
        qCWarning(lcServer).noquote()
            << QStringLiteral("conexão de %1 recusada: mais de %2 conexões sem entrada em %3 s")
                   .arg(address)
                   .arg(m_perWindow)
                   .arg(m_windowMs / 1000);
        return;
    }
    ++m_suppressed;
    if (nowMs - m_summaryMs >= LogIntervalMs) {
        qCWarning(lcServer) << "mais" << m_suppressed
                            << "conexões recusadas pelo limite de conexões sem entrada";
        m_suppressed = 0;
        m_summaryMs = nowMs;
    }
}
