#pragma once

#include "RpcDispatcher.h"

#include <QElapsedTimer>
#include <QObject>

#include <memory>

class ServerSecurity;
struct AuthReply;

// The sign-in state of one connection, in its worker thread: answers
// session.login and session.resume (the checks run in the authenticator's
// pool; the answer comes back with answered()), refuses every other method
// but system.ping until signed in, and holds the limits of a connection
// not signed in yet.
class SessionGate final : public QObject
{
    Q_OBJECT

public:
    enum class Verdict { Dispatch, Answered, Pending };

    SessionGate(std::shared_ptr<const ServerSecurity> security, quint64 ticket, const QString &peer,
                QObject *parent = nullptr);
    ~SessionGate() override;

    // Dispatch: the dispatcher serves the line; Answered: *answer is the
    // reply; Pending: answered() follows.
    Verdict screen(QByteArrayView line, RpcOutcome *answer);
    // The login of the session, empty before sign-in and without sign-in.
    QString login() const { return m_login; }
    qint64 maxRequestBytes(qint64 signedInLimit) const;
    // Not signed in within the limit.
    bool overdue(qint64 nowMs) const;

Q_SIGNALS:
    void answered(const RpcOutcome &outcome);

private:
    struct Mailbox;
    Verdict decide(QByteArrayView line, RpcOutcome *answer);
    bool needsSignIn() const;
    RpcOutcome sessionReply(const QJsonValue &id, const QString &login, const QString &token,
                            qint64 expiryUnixS) const;
    void start(const QJsonValue &id, const QString &method, const QJsonArray &params);
    void finish(const QJsonValue &id, const AuthReply &reply);

    std::shared_ptr<const ServerSecurity> m_security;
    std::shared_ptr<Mailbox> m_mailbox;
    quint64 m_ticket;
    QString m_peer;
    QString m_login;
    qint64 m_sinceMs;
    bool m_signedIn = false;
    int m_slot = 0;                // metrics of the method answered here
    QElapsedTimer m_pendingSince;  // a sign-in's check, for its duration
};
