#pragma once

#include "Authenticator.h"
#include "PreAuthLimits.h"
#include "RpcDispatcher.h"

#include "JsonRpc.h"

#include <QElapsedTimer>
#include <QObject>

#include <memory>

class ServerSecurity;

// The sign-in state of one connection, in its worker thread: answers
// session.login (its check runs in the authenticator's pool; the answer
// comes back with answered()), session.resume and session.logout, refuses
// every other method but system.ping until signed in, checks a session
// again while it is used, and holds the limits of a connection not signed
// in yet.
class SessionGate final : public QObject
{
    Q_OBJECT

public:
    enum class Verdict { Dispatch, Answered, Pending };

    // `dispatcher`: its database connection serves the session checks.
    SessionGate(std::shared_ptr<const ServerSecurity> security,
                const PreAuthLimits::Admission &admission, const QString &peer,
                RpcDispatcher &dispatcher, QObject *parent = nullptr);
    ~SessionGate() override;

    // Dispatch: the dispatcher serves the line; Answered: *answer is the
    // reply; Pending: answered() follows.
    Verdict screen(QByteArrayView line, RpcOutcome *answer);
    // The login of the session, empty before sign-in and without sign-in.
    QString login() const { return m_session.login; }
    qint64 maxRequestBytes(qint64 signedInLimit) const;
    // Not signed in within the limit (the time its checks took aside), or
    // its place taken by a newer connection.
    bool overdue(qint64 nowMs) const;
    // The client will not read the answer of the pending sign-in: its
    // check is dropped and answered() does not follow.
    void abandon();

Q_SIGNALS:
    void answered(const RpcOutcome &outcome);

private:
    struct Mailbox;
    Verdict decide(QByteArrayView line, RpcOutcome *answer);
    Verdict sessionMethod(const JsonRpc::Request &r, RpcOutcome *answer);
    bool needsSignIn() const;
    bool recheckDue(qint64 nowMs) const;
    // False with *answer when the session no longer holds.
    bool stillValid(const QJsonValue &id, RpcOutcome *answer);
    RpcOutcome sessionReply(const QJsonValue &id, const AuthReply &session) const;
    RpcOutcome refusal(const QJsonValue &id, const AuthReply &reply) const;
    Verdict startLogin(const QJsonValue &id, const QJsonArray &params, RpcOutcome *answer);
    void finish(const QJsonValue &id, const AuthReply &reply);
    void signIn(const AuthReply &session);
    void endSession();

    std::shared_ptr<const ServerSecurity> m_security;
    std::shared_ptr<Mailbox> m_mailbox;
    PreAuthLimits::Admission m_admission;
    QString m_peer;
    RpcDispatcher &m_dispatcher;
    AuthReply m_session; // Kind::Session once signed in
    qint64 m_sinceMs; // start of the time to sign in
    qint64 m_checkedMs = 0; // the session's last check against USUARIO
    bool m_signedIn = false;
    int m_slot = 0; // metrics of the method answered here
    QElapsedTimer m_pendingSince; // a sign-in's check, for its duration
    std::shared_ptr<Authenticator::Waiting> m_waiting; // the check in the queue
};
