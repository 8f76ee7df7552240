#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <memory>

// The server's counters for Prometheus. One fixed slot per method, built
// once from the dispatcher's method table, so that a call only looks its
// slot up and bumps relaxed atomics: no lock and no insertion on the hot
// path. Calls that name no known method (or are not requests at all) share
// the slot "other".
class ServerMetrics final
{
public:
    // Upper bounds of the duration buckets, in seconds (+Inf follows).
    static constexpr std::array<double, 13> Bounds = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                      0.1,   0.25,   0.5,   1,    2.5,   5,  10};
    static inline const QString OtherMethod = QStringLiteral("other");

    explicit ServerMetrics(const QStringList &methods);
    // The process's counters, over RpcDispatcher::methodNames().
    static ServerMetrics &instance();

    int slotOf(const QString &method) const;
    int otherSlot() const { return m_count - 1; }
    void recordCall(int slot, bool failed, qint64 nanoseconds);
    void recordReconnect() { m_reconnects.fetch_add(1, std::memory_order_relaxed); }
    // Text exposition format 0.0.4.
    QByteArray render(int openConnections) const;

private:
    struct alignas(64) Slot
    {
        QByteArray label; // method="...", escaped
        std::atomic<quint64> calls{0};
        std::atomic<quint64> errors{0};
        std::atomic<quint64> sumNs{0};
        std::array<std::atomic<quint64>, Bounds.size() + 1> buckets{}; // not cumulative
    };

    void renderCounter(QByteArray &out, const char *name, const char *help,
                       std::atomic<quint64> Slot::*field) const;
    void renderHistogram(QByteArray &out) const;

    std::unique_ptr<Slot[]> m_slots;
    int m_count = 0;
    QHash<QString, int> m_index; // read-only once built
    std::atomic<quint64> m_reconnects{0};
};
