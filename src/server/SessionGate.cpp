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
const QString &LogoutMethod = RpcDispatcher::LogoutMethod;

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

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

// Positional strings only: [login, password], [token] or none.
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

SessionGate::SessionGate(std::shared_ptr<const ServerSecurity> security,
                         const PreAuthLimits::Admission &admission, const QString &peer,
                         RpcDispatcher &dispatcher, QObject *parent)
    : QObject(parent)
    , m_security(std::move(security))
    , m_mailbox(std::make_shared<Mailbox>())
    , m_admission(admission)
    , m_peer(peer)
    , m_dispatcher(dispatcher)
    , m_sinceMs(nowMs())
{
    m_mailbox->gate = this;
}

SessionGate::~SessionGate()
{
    abandon();
    if (m_security->preAuthLimits())
        m_security->preAuthLimits()->closed(m_admission.ticket);
}

void SessionGate::abandon()
{
    {
        QMutexLocker lock(&m_mailbox->mutex);
        m_mailbox->gate = nullptr;
    }
    if (Authenticator *auth = m_security->authenticator())
        auth->giveUp(m_waiting);
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

bool SessionGate::overdue(qint64 now) const
{
    if (!needsSignIn())
        return false;
    if (m_admission.evicted && m_admission.evicted->load())
        return true;
    // The server's own time checking a password is not the client's delay.
    return !m_pendingSince.isValid()
        && now - m_sinceMs > m_security->options().signInTimeoutS * 1000LL;
}

bool SessionGate::recheckDue(qint64 now) const
{
    return m_signedIn && m_security->authenticator()
        && (now - m_checkedMs >= m_security->options().sessionRecheckS * 1000LL
            || now / 1000 >= m_session.expiryUnixS);
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
    // Most lines are calls of a signed-in (or open) connection: no second
    // parse, but every few seconds of use its session is checked again.
    if (!needsSignIn() && !line.contains(QByteArrayView("session.")) && !recheckDue(nowMs()))
        return Verdict::Dispatch;
    const JsonRpc::RequestParse parsed = JsonRpc::parseRequest(line);
    if (!parsed.ok) // the dispatcher answers malformed lines, and no notification
        return Verdict::Dispatch;
    const JsonRpc::Request &r = parsed.request;
    m_slot = ServerMetrics::instance().slotOf(r.method);
    if (r.method == LoginMethod || r.method == ResumeMethod || r.method == LogoutMethod)
        return sessionMethod(r, answer);
    if (needsSignIn() && r.method != RpcDispatcher::PingMethod) {
        *answer = errorOutcome(r.id, AuthText::ErrorCode, AuthText::Required,
                               QStringLiteral("chamada sem entrada recusada de %1: %2")
                                   .arg(m_peer, RpcDispatcher::shortened(r.method)));
        return Verdict::Answered;
    }
    if (recheckDue(nowMs()) && !stillValid(r.id, answer))
        return Verdict::Answered;
    return Verdict::Dispatch;
}

SessionGate::Verdict SessionGate::sessionMethod(const JsonRpc::Request &r, RpcOutcome *answer)
{
    const qsizetype count = r.method == LoginMethod ? 2 : r.method == ResumeMethod ? 1 : 0;
    if (!stringParams(r.params, count)) {
        const QString message
            = QStringLiteral("%1: esperados %2 argumentos texto").arg(r.method).arg(count);
        *answer = errorOutcome(r.id, JsonRpc::InvalidParams, message,
                               r.method + QStringLiteral(" falhou: ") + message);
        return Verdict::Answered;
    }
    Authenticator *auth = m_security->authenticator();
    if (!auth || r.method == LogoutMethod) {
        endSession();
        *answer = sessionReply(r.id, AuthReply()); // no session
        return Verdict::Answered;
    }
    if (r.method == LoginMethod)
        return startLogin(r.id, r.params, answer);
    QString error;
    const QSqlDatabase db = m_dispatcher.database(&error);
    AuthReply reply;
    reply.message = QStringLiteral("Falha no banco de dados: ") + error;
    if (db.isOpen())
        reply = auth->resume(r.params.at(0).toString(), m_peer, db);
    if (reply.kind == AuthReply::Kind::Session)
        signIn(reply);
    *answer
        = reply.kind == AuthReply::Kind::Session ? sessionReply(r.id, reply) : refusal(r.id, reply);
    return Verdict::Answered;
}

bool SessionGate::stillValid(const QJsonValue &id, RpcOutcome *answer)
{
    QString error;
    const QSqlDatabase db = m_dispatcher.database(&error);
    AuthReply reply;
    reply.message = QStringLiteral("Falha no banco de dados: ") + error;
    if (db.isOpen())
        reply = m_security->authenticator()->recheck(m_session, m_peer, db);
    if (reply.kind == AuthReply::Kind::Session) {
        m_checkedMs = nowMs();
        return true;
    }
    if (reply.kind == AuthReply::Kind::Refused)
        endSession(); // signing in again is allowed, within the time to sign in
    *answer = refusal(id, reply);
    return false;
}

RpcOutcome SessionGate::refusal(const QJsonValue &id, const AuthReply &reply) const
{
    if (reply.kind == AuthReply::Kind::Refused) // logged by the authenticator
        return errorOutcome(id, AuthText::ErrorCode, reply.message, QString());
    m_dispatcher.databaseFailed();
    return errorOutcome(id, JsonRpc::ServerError, reply.message,
                        QStringLiteral("sessão não verificada: ") + reply.message);
}

RpcOutcome SessionGate::sessionReply(const QJsonValue &id, const AuthReply &session) const
{
    const qint64 expiry = session.expiryUnixS;
    const double expires
        = expiry > 0 ? OleDate::fromDateTime(QDateTime::fromSecsSinceEpoch(expiry)) : 0.0;
    const QJsonObject result { { QStringLiteral("token"), session.token },
                               { QStringLiteral("expires"), expires },
                               { QStringLiteral("login"), session.login } };
    RpcOutcome out;
    out.reply = JsonRpc::encodeResult(id, QJsonDocument(result).toJson(QJsonDocument::Compact));
    return out;
}

SessionGate::Verdict SessionGate::startLogin(const QJsonValue &id, const QJsonArray &params,
                                             RpcOutcome *answer)
{
    const std::shared_ptr<Mailbox> mailbox = m_mailbox;
    const auto done = [mailbox, id](const AuthReply &reply) {
        QMutexLocker lock(&mailbox->mutex);
        if (SessionGate *gate = mailbox->gate) {
            QMetaObject::invokeMethod(
                gate, [gate, id, reply] { gate->finish(id, reply); }, Qt::QueuedConnection);
        }
    };
    m_waiting = std::make_shared<Authenticator::Waiting>();
    switch (m_security->authenticator()->submitLogin(
        params.at(0).toString(), params.at(1).toString(), m_peer, m_waiting, done)) {
    case Authenticator::Queued::Yes:
        m_pendingSince.start();
        return Verdict::Pending;
    case Authenticator::Queued::Busy:
        *answer = errorOutcome(id, JsonRpc::ServerError, AuthText::Busy, QString());
        return Verdict::Answered;
    case Authenticator::Queued::Stopping:
        break;
    }
    *answer = errorOutcome(id, JsonRpc::ServerError, AuthText::Stopping, QString());
    return Verdict::Answered;
}

void SessionGate::finish(const QJsonValue &id, const AuthReply &reply)
{
    ServerMetrics::instance().recordCall(m_slot, reply.kind != AuthReply::Kind::Session,
                                         m_pendingSince.nsecsElapsed());
    m_sinceMs += m_pendingSince.elapsed();
    m_pendingSince.invalidate();
    m_waiting.reset();
    if (reply.kind == AuthReply::Kind::Session) {
        signIn(reply);
        Q_EMIT answered(sessionReply(id, reply));
        return;
    }
    Q_EMIT answered(refusal(id, reply));
}

void SessionGate::signIn(const AuthReply &session)
{
    if (m_security->preAuthLimits())
        m_security->preAuthLimits()->signedIn(m_admission.ticket);
    m_signedIn = true;
    m_session = session;
    m_checkedMs = nowMs();
}

void SessionGate::endSession()
{
    m_signedIn = false;
    m_session = AuthReply();
    m_sinceMs = nowMs();
}
