#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class ClientStream;
class RpcDispatcher;
class SessionGate;
struct RpcOutcome;

struct ConnectionLimits
{
    qint64 maxRequestBytes = 1 << 20;
    int idleTimeoutS = 300;
    int partialTimeoutS = 30;
    // Unsent reply bytes over which the connection is not read (back-pressure).
    qint64 maxOutputBytes = 4 << 20;
    // Consecutive malformed lines after which the connection is closed.
    int maxBadLines = 20;
};

// Warnings of one connection, rate-limited: the first few, then a count of
// those left out every interval.
class WarningLimiter final
{
public:
    static constexpr int Burst = 5;
    static constexpr qint64 IntervalMs = 10000;

    void warn(const QString &text, qint64 nowMs);
    // Logs the count left out when the interval has passed (or `force`).
    void flush(qint64 nowMs, bool force = false);

private:
    int m_logged = 0;
    int m_suppressed = 0;
    qint64 m_lastSummaryMs = -1;
};

// One client socket in a worker thread: splits the byte stream into request
// lines and writes one reply per line, enforcing the size and time limits.
// The worker serves it one request per turn (readyToServe / serveOne), so
// connections share the worker fairly; it is not read while its unsent
// output is over the limit. A client that ends its sending side gets the
// replies to every line it sent, then the end of the connection.
class ClientConnection final : public QObject
{
    Q_OBJECT

public:
    // Takes ownership of the stream.
    ClientConnection(ClientStream *stream, RpcDispatcher &dispatcher,
                     const ConnectionLimits &limits, QObject *parent = nullptr);
    ~ClientConnection() override;

    // Answers the complete line it announced with readyToServe, then reads on.
    void serveOne();
    // Closes a partial line past its age, an idle connection and one whose
    // reader stopped reading.
    void checkTimeouts(qint64 nowMs);
    // Stop: answers the complete lines already received, flushes the
    // replies, then closes.
    void beginDrain();
    // Sends what is pending and closes.
    void closeNow();
    // Drops the connection at once (a reader that never reads).
    void abortNow();
    // Sign-in state and limits; the connection takes ownership.
    void setGate(SessionGate *gate);

Q_SIGNALS:
    // A complete line waits; the worker calls serveOne() in its turn.
    void readyToServe(ClientConnection *connection);
    void closed(ClientConnection *connection);

private:
    void pump();
    // The client sent its last byte: its lines are answered, then it closes.
    void noteInputEnd();
    void dropPendingSignIn();
    // The end of the next complete line (index of its '\n'), skipping blank
    // lines; -1 when there is none (or the connection is being closed for
    // a line over the limit).
    qsizetype nextLine();
    bool outputOverLimit() const;
    bool inputPending() const;
    void maybeFinishDrain();
    void refuse(int code, const QString &message, bool close);
    void finishClose();
    void deliver(const RpcOutcome &outcome);
    qint64 lineLimit() const;

    ClientStream *m_socket;
    RpcDispatcher &m_dispatcher;
    SessionGate *m_gate = nullptr;
    ConnectionLimits m_limits;
    WarningLimiter m_warnings;
    QByteArray m_buffer;
    qsizetype m_start = 0;         // first byte of m_buffer not yet consumed
    qsizetype m_scanned = 0;       // bytes of m_buffer known to hold no '\n'
    qint64 m_lastRequestMs = 0;    // connect or last complete request
    qint64 m_lastWriteMs = 0;      // last reply bytes taken by the kernel
    qint64 m_partialSinceMs = -1;  // -1: no partial line
    qint64 m_closingSinceMs = -1;
    int m_badRun = 0;
    bool m_queued = false;
    bool m_awaiting = false;       // a sign-in check is running for this connection
    bool m_draining = false;
    bool m_inputEnded = false;
    bool m_closing = false;
    bool m_closedEmitted = false;
};
