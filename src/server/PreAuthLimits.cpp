#include "PreAuthLimits.h"

#include "ServerLog.h"

#include <QMutexLocker>

namespace {
constexpr int LogBurst = 5;
constexpr qint64 LogIntervalMs = 10000;
} // namespace

PreAuthLimits::Admission PreAuthLimits::admit(const QString &address, qint64 nowMs, bool balancer)
{
    QMutexLocker lock(&m_mutex);
    prune(nowMs);
    const quint64 ticket = ++m_nextTicket;
    if (!balancer) {
        QList<Opened> &opened = m_byAddress[address];
        opened.removeIf([&](const Opened &o) { return nowMs - o.sinceMs >= m_windowMs; });
        if (opened.size() >= m_perWindow) {
            logRefusal(QStringLiteral("conexão de %1 recusada: mais de %2 conexões sem entrada "
                                      "abertas em %3 s")
                           .arg(address)
                           .arg(m_perWindow)
                           .arg(m_windowMs / 1000),
                       nowMs);
            return {};
        }
        opened.append({ ticket, nowMs });
    }
    if (qsizetype(m_open.size()) >= m_maxOpen)
        evictOldest(nowMs);
    Admission admission { ticket, std::make_shared<std::atomic<bool>>(false) };
    m_open.emplace(ticket, Open { address, admission.evicted });
    return admission;
}

void PreAuthLimits::evictOldest(qint64 nowMs)
{
    const auto oldest = m_open.begin();
    oldest->second.evicted->store(true);
    logRefusal(QStringLiteral("conexão sem entrada de %1 encerrada: %2 conexões sem entrada "
                              "abertas, a mais antiga dá lugar à nova")
                   .arg(oldest->second.address)
                   .arg(m_maxOpen),
               nowMs);
    m_open.erase(oldest);
}

void PreAuthLimits::signedIn(quint64 ticket)
{
    QMutexLocker lock(&m_mutex);
    const auto open = m_open.find(ticket);
    if (open == m_open.end())
        return;
    const auto opened = m_byAddress.find(open->second.address);
    if (opened != m_byAddress.end()) {
        opened->removeIf([ticket](const Opened &o) { return o.ticket == ticket; });
        if (opened->isEmpty())
            m_byAddress.erase(opened);
    }
    m_open.erase(open);
}

void PreAuthLimits::closed(quint64 ticket)
{
    QMutexLocker lock(&m_mutex);
    m_open.erase(ticket);
}

// Addresses that stopped connecting are forgotten, so the table stays as
// small as the recent traffic.
void PreAuthLimits::prune(qint64 nowMs)
{
    if (nowMs - m_lastPruneMs < m_windowMs)
        return;
    m_lastPruneMs = nowMs;
    for (auto it = m_byAddress.begin(); it != m_byAddress.end();) {
        it->removeIf([&](const Opened &o) { return nowMs - o.sinceMs >= m_windowMs; });
        it = it->isEmpty() ? m_byAddress.erase(it) : std::next(it);
    }
}

void PreAuthLimits::logRefusal(const QString &text, qint64 nowMs)
{
    if (m_logged < LogBurst) {
        ++m_logged;
        m_summaryMs = nowMs;
        qCWarning(lcServer).noquote() << text;
        return;
    }
    ++m_suppressed;
    if (nowMs - m_summaryMs >= LogIntervalMs) {
        qCWarning(lcServer) << "mais" << m_suppressed
                            << "conexões recusadas ou encerradas pelos limites de conexões sem "
                               "entrada";
        m_suppressed = 0;
        m_summaryMs = nowMs;
    }
}
