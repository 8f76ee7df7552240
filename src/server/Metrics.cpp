#include "Metrics.h"

#include "RpcDispatcher.h"

#include <charconv>

namespace {

const char *const BucketLabels[] = {"0.001", "0.0025", "0.005", "0.01", "0.025",
                                    "0.05",  "0.1",    "0.25",  "0.5",  "1",
                                    "2.5",   "5",      "10",    "+Inf"};
static_assert(std::size(BucketLabels) == ServerMetrics::Bounds.size() + 1);

// A label value as the exposition format wants it: backslash, quote and
// line feed escaped.
QByteArray labelValue(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

QByteArray number(double value)
{
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QByteArray(buffer, r.ptr - buffer);
}

void header(QByteArray &out, const char *name, const char *type, const char *help)
{
    out += QByteArray("# HELP ") + name + ' ' + help + '\n';
    out += QByteArray("# TYPE ") + name + ' ' + type + '\n';
}

} // namespace

ServerMetrics::ServerMetrics(const QStringList &methods)
    : m_slots(std::make_unique<Slot[]>(methods.size() + 1)), m_count(int(methods.size()) + 1)
{
    for (int i = 0; i < m_count; ++i) {
        const QString &name = i < methods.size() ? methods.at(i) : OtherMethod;
        m_slots[i].label = "method=\"" + labelValue(name) + '"';
        if (i < methods.size())
            m_index.insert(name, i);
    }
}

ServerMetrics &ServerMetrics::instance()
{
    static ServerMetrics metrics(RpcDispatcher::methodNames());
    return metrics;
}

int ServerMetrics::slotOf(const QString &method) const
{
    return m_index.value(method, otherSlot());
}

void ServerMetrics::recordCall(int slot, bool failed, qint64 nanoseconds)
{
    if (slot < 0 || slot >= m_count)
        return;
    Slot &s = m_slots[slot];
    const double seconds = double(nanoseconds) / 1e9;
    size_t bucket = 0;
    while (bucket < Bounds.size() && seconds > Bounds[bucket])
        ++bucket;
    s.buckets[bucket].fetch_add(1, std::memory_order_relaxed);
    s.sumNs.fetch_add(quint64(std::max<qint64>(0, nanoseconds)), std::memory_order_relaxed);
    s.calls.fetch_add(1, std::memory_order_relaxed);
    if (failed)
        s.errors.fetch_add(1, std::memory_order_relaxed);
}

void ServerMetrics::renderCounter(QByteArray &out, const char *name, const char *help,
                                  std::atomic<quint64> Slot::*field) const
{
    header(out, name, "counter", help);
    for (int i = 0; i < m_count; ++i) {
        const Slot &s = m_slots[i];
        out += QByteArray(name) + '{' + s.label + "} "
            + QByteArray::number((s.*field).load(std::memory_order_relaxed)) + '\n';
    }
}

// Buckets are read once each and summed as they are written out, so that
// every line of one method agrees with its _count even while calls go on.
void ServerMetrics::renderHistogram(QByteArray &out) const
{
    const char *const name = "vex_call_duration_seconds";
    header(out, name, "histogram", "Time to answer a call, by method.");
    for (int i = 0; i < m_count; ++i) {
        const Slot &s = m_slots[i];
        quint64 cumulative = 0;
        for (size_t b = 0; b < s.buckets.size(); ++b) {
            cumulative += s.buckets[b].load(std::memory_order_relaxed);
            out += QByteArray(name) + "_bucket{" + s.label + ",le=\"" + BucketLabels[b] + "\"} "
                + QByteArray::number(cumulative) + '\n';
        }
        out += QByteArray(name) + "_sum{" + s.label + "} "
            + number(double(s.sumNs.load(std::memory_order_relaxed)) / 1e9) + '\n';
        out += QByteArray(name) + "_count{" + s.label + "} " + QByteArray::number(cumulative)
            + '\n';
    }
}

QByteArray ServerMetrics::render(int openConnections) const
{
    QByteArray out;
    out.reserve(4096 + m_count * 1024);
    renderCounter(out, "vex_calls_total", "Calls answered, by method.", &Slot::calls);
    renderCounter(out, "vex_call_errors_total", "Calls answered with an error, by method.",
                  &Slot::errors);
    renderHistogram(out);
    header(out, "vex_open_connections", "gauge", "Client connections open now.");
    out += "vex_open_connections " + QByteArray::number(openConnections) + '\n';
    header(out, "vex_db_reconnects_total", "counter",
           "Database connections opened again after one was lost.");
    out += "vex_db_reconnects_total "
        + QByteArray::number(m_reconnects.load(std::memory_order_relaxed)) + '\n';
    return out;
}
