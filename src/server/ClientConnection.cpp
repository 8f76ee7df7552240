#include "ClientConnection.h"

#include "ClientStream.h"
#include "RpcDispatcher.h"
#include "ServerLog.h"
#include "SessionGate.h"

#include "JsonRpc.h"

#include <QDateTime>

namespace {
// A connection being closed whose reader takes nothing for this long is
// dropped.
constexpr qint64 CloseGraceMs = 10000;

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

void WarningLimiter::warn(const QString &text, qint64 now)
{
    if (m_lastSummaryMs < 0)
        m_lastSummaryMs = now;
    if (m_logged < Burst) {
        ++m_logged;
        qCWarning(lcCall).noquote() << text;
        return;
    }
    ++m_suppressed;
    flush(now);
}

void WarningLimiter::flush(qint64 now, bool force)
{
    if (m_suppressed == 0 || (!force && now - m_lastSummaryMs < IntervalMs))
        return;
    qCWarning(lcCall).noquote() << QStringLiteral("mais %1 avisos desta conexão omitidos")
                                       .arg(m_suppressed);
    m_suppressed = 0;
    m_lastSummaryMs = now;
}

ClientConnection::ClientConnection(ClientStream *stream, RpcDispatcher &dispatcher,
                                   const ConnectionLimits &limits, QObject *parent)
    : QObject(parent)
    , m_socket(stream)
    , m_dispatcher(dispatcher)
    , m_limits(limits)
    , m_lastRequestMs(nowMs())
    , m_lastWriteMs(m_lastRequestMs)
{
    m_socket->setParent(this);
    connect(m_socket, &ClientStream::readyRead, this, &ClientConnection::pump);
    connect(m_socket, &ClientStream::bytesWritten, this, [this] {
        m_lastWriteMs = nowMs();
        if (!outputOverLimit())
            pump();
        maybeFinishDrain();
    });
    connect(m_socket, &ClientStream::disconnected, this, &ClientConnection::finishClose);
}

ClientConnection::~ClientConnection()
{
    m_warnings.flush(nowMs(), true);
}

bool ClientConnection::outputOverLimit() const
{
    return m_socket->bytesToWrite() > m_limits.maxOutputBytes;
}

// Bytes received and not yet answered: in the stream's buffer or still in
// the kernel's.
bool ClientConnection::inputPending() const
{
    return m_socket->inputPending();
}

qsizetype ClientConnection::nextLine()
{
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n', m_scanned);
        if (end < 0) {
            m_scanned = m_buffer.size();
            if (m_buffer.size() - m_start > lineLimit()) {
                refuse(JsonRpc::InvalidRequest,
                       QStringLiteral("Requisição maior que o limite de %1 bytes")
                           .arg(lineLimit()),
                       true);
                return -1;
            }
            if (m_start == m_buffer.size()) {
                m_buffer.clear();
                m_start = m_scanned = 0;
                m_partialSinceMs = -1;
            } else if (m_partialSinceMs < 0) {
                m_partialSinceMs = nowMs();
            }
            return -1;
        }
        if (end - m_start > lineLimit()) {
            refuse(JsonRpc::InvalidRequest,
                   QStringLiteral("Requisição maior que o limite de %1 bytes")
                       .arg(lineLimit()),
                   true);
            return -1;
        }
        const QByteArrayView line(m_buffer.constData() + m_start, end - m_start);
        if (!line.trimmed().isEmpty())
            return end;
        m_start = m_scanned = end + 1; // a blank line: nothing to answer
    }
}

void ClientConnection::pump()
{
    if (m_socket->inputEnded() && !m_inputEnded)
        noteInputEnd();
    while (!m_closing && !m_queued && !m_awaiting && !outputOverLimit()) {
        if (nextLine() >= 0) {
            m_queued = true;
            Q_EMIT readyToServe(this);
            return;
        }
        if (m_closing)
            break;
        if (m_socket->bytesAvailable() == 0) {
            // At the end of input a last line without its '\n' is complete.
            if (!m_inputEnded || m_start == m_buffer.size())
                break;
            m_buffer.append('\n');
            continue;
        }
        if (m_start > 0) { // keep only the unconsumed part
            m_buffer.remove(0, m_start);
            m_scanned -= m_start;
            m_start = 0;
        }
        m_buffer += m_socket->read(ClientStream::ReadChunk);
    }
    maybeFinishDrain();
}

void ClientConnection::noteInputEnd()
{
    m_inputEnded = true;
    m_draining = true;
    if (m_awaiting)
        dropPendingSignIn();
}

// A sign-in still waiting for its check when the client has stopped
// sending is dropped with what came after it: nobody may be left to read
// the answer (a client that connects, tries and closes looks the same),
// and its check would only delay the others'.
void ClientConnection::dropPendingSignIn()
{
    m_gate->abandon();
    m_awaiting = false;
    m_socket->read(m_socket->bytesAvailable());
    m_buffer.clear();
    m_start = m_scanned = 0;
}

void ClientConnection::setGate(SessionGate *gate)
{
    m_gate = gate;
    m_gate->setParent(this);
    connect(m_gate, &SessionGate::answered, this, [this](const RpcOutcome &outcome) {
        m_awaiting = false;
        if (!m_closing)
            deliver(outcome);
    });
}

qint64 ClientConnection::lineLimit() const
{
    return m_gate ? m_gate->maxRequestBytes(m_limits.maxRequestBytes) : m_limits.maxRequestBytes;
}

void ClientConnection::serveOne()
{
    m_queued = false;
    if (m_closing)
        return;
    const qsizetype end = nextLine();
    if (end < 0)
        return;
    QByteArrayView line(m_buffer.constData() + m_start, end - m_start);
    if (line.endsWith('\r'))
        line.chop(1);
    RpcOutcome outcome;
    const SessionGate::Verdict verdict
        = m_gate ? m_gate->screen(line, &outcome) : SessionGate::Verdict::Dispatch;
    if (verdict == SessionGate::Verdict::Dispatch) {
        if (m_gate)
            m_dispatcher.setCaller(m_gate->login());
        outcome = m_dispatcher.handle(line);
    }
    m_start = m_scanned = end + 1;
    if (verdict == SessionGate::Verdict::Pending) {
        m_awaiting = true; // the next line waits for this answer
        if (m_inputEnded) {
            dropPendingSignIn();
            maybeFinishDrain();
        }
        return;
    }
    deliver(outcome);
}

void ClientConnection::deliver(const RpcOutcome &outcome)
{
    const qint64 now = nowMs();
    m_lastRequestMs = now;
    m_partialSinceMs = m_start < m_buffer.size() ? now : -1;
    if (!outcome.warning.isEmpty())
        m_warnings.warn(outcome.warning, now);
    if (!outcome.reply.isEmpty()) {
        // Hand the reply to the kernel now rather than on the next turn.
        m_socket->write(outcome.reply);
        m_socket->flush();
    }
    m_badRun = outcome.malformed ? m_badRun + 1 : 0;
    if (m_badRun >= m_limits.maxBadLines) {
        qCWarning(lcCall).noquote()
            << QStringLiteral("conexão fechada após %1 linhas mal formadas seguidas")
                   .arg(m_badRun);
        closeNow();
        return;
    }
    pump();
}

void ClientConnection::refuse(int code, const QString &message, bool close)
{
    m_warnings.warn(QStringLiteral("requisição recusada: ") + message, nowMs());
    m_socket->write(RpcDispatcher::errorReply(code, message));
    if (close)
        closeNow();
}

void ClientConnection::checkTimeouts(qint64 now)
{
    m_warnings.flush(now);
    if (m_closing) {
        // The reader takes nothing of what is left: drop it.
        if (m_closingSinceMs >= 0 && now - std::max(m_closingSinceMs, m_lastWriteMs) > CloseGraceMs)
            abortNow();
        return;
    }
    if (m_gate && m_gate->overdue(now)) {
        m_warnings.warn(QStringLiteral("conexão encerrada: sem entrada no prazo"), now);
        closeNow();
        return;
    }
    const qint64 idleMs = m_limits.idleTimeoutS * 1000LL;
    if (m_partialSinceMs >= 0 && now - m_partialSinceMs > m_limits.partialTimeoutS * 1000LL) {
        // Trickled bytes do not keep a connection: the line had its time.
        refuse(JsonRpc::InvalidRequest,
               QStringLiteral("Requisição incompleta descartada após %1 s; conexão encerrada")
                   .arg(m_limits.partialTimeoutS),
               true);
        return;
    }
    if (m_socket->bytesToWrite() > 0 && now - m_lastWriteMs > idleMs) {
        m_warnings.warn(QStringLiteral("conexão encerrada: o cliente não lê as respostas há %1 s")
                            .arg(m_limits.idleTimeoutS),
                        now);
        abortNow();
        return;
    }
    if (now - std::max(m_lastRequestMs, m_lastWriteMs) > idleMs) {
        qCDebug(lcServer) << "conexão ociosa fechada";
        closeNow();
    }
}

void ClientConnection::beginDrain()
{
    m_draining = true;
    pump();
}

void ClientConnection::maybeFinishDrain()
{
    if (!m_draining || m_closing || m_queued || m_awaiting || nextLine() >= 0 || m_closing)
        return;
    if (m_inputEnded && m_start < m_buffer.size())
        return; // a last line without its '\n', still to answer
    if (inputPending() || m_socket->bytesToWrite() > 0)
        return; // more to read, or replies still going out
    closeNow();
}

void ClientConnection::closeNow()
{
    if (m_closing)
        return;
    m_closing = true;
    m_closingSinceMs = nowMs();
    m_socket->closeWhenSent();
}

void ClientConnection::abortNow()
{
    m_closing = true;
    m_socket->abort();
    finishClose();
}

void ClientConnection::finishClose()
{
    if (m_closedEmitted)
        return;
    m_closing = true;
    m_closedEmitted = true;
    Q_EMIT closed(this);
}
