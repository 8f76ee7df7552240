#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class TNetConnection;

// The sign-in every connection of the process shares, so that the package's
// connection, a reconnect or another server behind the balancer resumes it
// without asking the person again. Holds the server's token, never the
// password. For the GUI thread, like the connections themselves.
class NetSession final : public QObject
{
    Q_OBJECT
public:
    // Asks the person to sign in on sender (TNetConnection::SignIn); reason
    // is the server's refusal text. True when they did.
    using SignInHandler = std::function<bool(TNetConnection *sender, const QString &reason)>;

    static NetSession &shared();

    QString token() const { return m_token; }
    QString login() const { return m_login; }
    QDateTime expires() const { return m_expires; } // invalid when not signed in
    bool signedIn() const { return !m_token.isEmpty(); }
    void signedInAs(const QString &token, const QString &login, const QDateTime &expires);
    void clear();
    // The server asks for a sign-in (so the system's user names nobody).
    bool signInRequired() const { return m_signInRequired; }
    void setSignInRequired(bool required);

    // The connection most recently established: encrypted or not, and how.
    bool connectionKnown() const { return m_connectionKnown; }
    bool encrypted() const { return m_encrypted; }
    QString protocol() const { return m_protocol; } // "TLSv1.3"; empty in clear text
    void connectionMade(bool encrypted, const QString &protocol);

    // Used by connections that have no handler of their own; the host sets it.
    SignInHandler signInHandler;

Q_SIGNALS:
    void changed();

private:
    QString m_token;
    QString m_login;
    QDateTime m_expires;
    bool m_signInRequired = false;
    bool m_connectionKnown = false;
    bool m_encrypted = false;
    QString m_protocol;
};
