#include "SessionGate.h"

#include "Metrics.h"
#include "ServerLog.h"
#include "ServerSecurity.h"

#include "JsonRpc.h"
#include "OleDate.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>

namespace {

const QString &LoginMethod = RpcDispatcher::LoginMethod;
const QString &ResumeMethod = RpcDispatcher::ResumeMethod;

RpcOutcome errorOutcome(const QJsonValue &id, int code, const QString &message,
                        const QString &warning)
{
    RpcOutcome out;
    out.reply = JsonRpc::encodeError(id, code, message);
    if (!out.reply.endsWith('\n'))
        out.reply.append('\n');
    out.warning = warning;
    return out;
}

// Positional strings only: [login, password] or [token].
bool stringParams(const QJsonArray &params, qsizetype count)
{
    if (params.size() != count)
        return false;
    for (const QJsonValue &v : params) {
        if (!v.isString())
            return false;
    }
    return true;
}

} // namespace

// The pool thread posts the answer here; the gate's destructor empties it
// first, so an answer for a closed connection is dropped.
struct SessionGate::Mailbox
{
    QMutex mutex;
    SessionGate *gate = nullptr;
};

SessionGate::SessionGate(std::shared_ptr<const ServerSecurity> security, quint64 ticket,
                         const QString &peer, QObject *parent)
    : QObject(parent)
    , m_security(std::move(security))
    , m_mailbox(std::make_shared<Mailbox>())
    , m_ticket(ticket)
    , m_peer(peer)
    , m_sinceMs(QDateTime::currentMSecsSinceEpoch())
{
    m_mailbox->gate = this;
}

SessionGate::~SessionGate()
{
    {
        QMutexLocker lock(&m_mailbox->mutex);
        m_mailbox->gate = nullptr;
    }
    // A closed connection no longer holds a place, so a balancer's health
    // checks (one ping per connection) do not pile up against the limit.
    if (m_security->preAuthLimits())
        m_security->preAuthLimits()->release(m_ticket);
}

bool SessionGate::needsSignIn() const
{
    return m_security->authenticator() && !m_signedIn;
}

qint64 SessionGate::maxRequestBytes(qint64 signedInLimit) const
{
    return needsSignIn() ? std::min(signedInLimit, m_security->options().preAuthMaxRequestBytes)
                         : signedInLimit;
}

bool SessionGate::overdue(qint64 nowMs) const
{
    return needsSignIn() && nowMs - m_sinceMs > m_security->options().signInTimeoutS * 1000LL;
}

SessionGate::Verdict SessionGate::screen(QByteArrayView line, RpcOutcome *answer)
{
    const Verdict verdict = decide(line, answer);
    if (verdict == Verdict::Answered)
        ServerMetrics::instance().recordCall(m_slot, !answer->warning.isEmpty(), 0);
    return verdict;
}

SessionGate::Verdict SessionGate::decide(QByteArrayView line, RpcOutcome *answer)
{
    // Most lines are calls of a signed-in (or open) connection: no second parse.
    if (!needsSignIn() && !QByteArrayView(line).contains(QByteArrayView("session.")))
        return Verdict::Dispatch;
    const JsonRpc::RequestParse parsed = JsonRpc::parseRequest(line);
    if (!parsed.ok) // the dispatcher answers malformed lines, and no notification
        return Verdict::Dispatch;
    const JsonRpc::Request &r = parsed.request;
    m_slot = ServerMetrics::instance().slotOf(r.method);
    const bool login = r.method == LoginMethod;
    if (login || r.method == ResumeMethod) {
        if (!stringParams(r.params, login ? 2 : 1)) {
            const QString message = QStringLiteral("%1: esperados %2 argumentos texto")
                                        .arg(r.method)
                                        .arg(login ? 2 : 1);
            *answer = errorOutcome(r.id, JsonRpc::InvalidParams, message,
                                   r.method + QStringLiteral(" falhou: ") + message);
            return Verdict::Answered;
        }
        if (!m_security->authenticator()) {
            *answer = sessionReply(r.id, QString(), QString(), 0); // no sign-in needed
            return Verdict::Answered;
        }
        m_pendingSince.start();
        start(r.id, r.method, r.params);
        return Verdict::Pending;
    }
    if (needsSignIn() && r.method != RpcDispatcher::PingMethod) {
        *answer = errorOutcome(r.id, AuthText::ErrorCode, AuthText::Required,
                               QStringLiteral("chamada sem entrada recusada de %1: %2")
                                   .arg(m_peer, RpcDispatcher::shortened(r.method)));
        return Verdict::Answered;
    }
    return Verdict::Dispatch;
}

RpcOutcome SessionGate::sessionReply(const QJsonValue &id, const QString &login,
                                     const QString &token, qint64 expiryUnixS) const
{
    const double expires
        = expiryUnixS > 0 ? OleDate::fromDateTime(QDateTime::fromSecsSinceEpoch(expiryUnixS)) : 0.0;
    const QJsonObject result { { QStringLiteral("token"), token },
                               { QStringLiteral("expires"), expires },
                               { QStringLiteral("login"), login } };
    RpcOutcome out;
    out.reply = JsonRpc::encodeResult(id, QJsonDocument(result).toJson(QJsonDocument::Compact));
    return out;
}

void SessionGate::start(const QJsonValue &id, const QString &method, const QJsonArray &params)
{
    Authenticator *auth = m_security->authenticator();
    const std::shared_ptr<Mailbox> mailbox = m_mailbox;
    const bool login = method == LoginMethod;
    const QString first = params.at(0).toString();
    const QString password = login ? params.at(1).toString() : QString();
    const QString peer = m_peer;
    auth->run([auth, mailbox, id, login, first, password, peer] {
        const AuthReply reply
            = login ? auth->login(first, password, peer) : auth->resume(first, peer);
        QMutexLocker lock(&mailbox->mutex);
        if (SessionGate *gate = mailbox->gate) {
            QMetaObject::invokeMethod(
                gate, [gate, id, reply] { gate->finish(id, reply); }, Qt::QueuedConnection);
        }
    });
}

void SessionGate::finish(const QJsonValue &id, const AuthReply &reply)
{
    ServerMetrics::instance().recordCall(m_slot, reply.kind != AuthReply::Kind::Session,
                                         m_pendingSince.nsecsElapsed());
    switch (reply.kind) {
    case AuthReply::Kind::Session:
        if (!m_signedIn && m_security->preAuthLimits())
            m_security->preAuthLimits()->release(m_ticket);
        m_signedIn = true;
        m_login = reply.login;
        Q_EMIT answered(sessionReply(id, reply.login, reply.token, reply.expiryUnixS));
        return;
    case AuthReply::Kind::Refused:
        // Logged by the authenticator, with the address and the login.
        Q_EMIT answered(errorOutcome(id, AuthText::ErrorCode, reply.message, QString()));
        return;
    case AuthReply::Kind::Failed:
        Q_EMIT answered(errorOutcome(id, JsonRpc::ServerError, reply.message,
                                     QStringLiteral("entrada falhou: ") + reply.message));
        return;
    }
}
