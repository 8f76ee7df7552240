#pragma once

#include "ServerOptions.h"
#include "SignInFailures.h"
#include "UserStore.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QSqlDatabase>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcAuth) // sign-in refusals and lockouts, with address and login

// What session.login, session.resume and a session's check answer.
struct AuthReply
{
    enum class Kind { Session, Refused, Failed };
    Kind kind = Kind::Failed;
    QString login;
    QString token;
    qint64 expiryUnixS = 0;
    int generation = 0;
    QString message; // Refused: the -32001 text; Failed: the -32000 text
};

namespace AuthText {
inline constexpr int ErrorCode = -32001;
inline const QString Required = QStringLiteral("Autenticação necessária");
inline const QString BadCredentials = QStringLiteral("Usuário ou senha inválidos.");
inline const QString LockedOut
    = QStringLiteral("Muitas tentativas de acesso. Tente novamente em %1 s.");
inline const QString BadSession = QStringLiteral("Sessão expirada ou inválida. Entre novamente.");
inline const QString Busy
    = QStringLiteral("Servidor ocupado: muitas entradas em verificação. Tente novamente.");
inline const QString Stopping
    = QStringLiteral("Servidor em encerramento. Tente novamente em instantes.");
} // namespace AuthText

// Checks passwords against USUARIO and issues and checks session tokens.
// Shared by every worker. A password check is slow on purpose (PBKDF2), so
// it runs in a pool of its own behind a bounded queue; a token's check is a
// look-up on the caller's connection.
class Authenticator final
{
public:
    Authenticator(const ServerOptions &options, const QByteArray &key);
    ~Authenticator(); // waits for the checks in progress

    // At start: the database is reachable and has the sign-in tables.
    bool checkDatabase(QString *error);

    // A password check in the queue, until it starts or its client gives
    // it up (gone, or no longer reading): then it frees its place at once.
    struct Waiting
    {
        std::atomic<bool> settled { false };
    };
    enum class Queued { Yes, Busy, Stopping };
    // `done` gets the answer, in a pool thread, unless given up before.
    Queued submitLogin(const QString &login, const QString &password, const QString &address,
                       const std::shared_ptr<Waiting> &waiting,
                       std::function<void(const AuthReply &)> done);
    void giveUp(const std::shared_ptr<Waiting> &waiting);
    // SIGTERM: checks not started yet are answered at once.
    void stop() { m_stopping = true; }

    AuthReply resume(const QString &token, const QString &peer, const QSqlDatabase &db) const;
    // A signed-in session still holds: token not expired, user active, no
    // password change or disable since the token.
    AuthReply recheck(const AuthReply &session, const QString &peer, const QSqlDatabase &db) const;

private:
    AuthReply login(const QString &login, const QString &password, const QString &address);
    AuthReply checkPassword(const QSqlDatabase &db, const QString &login, const QString &password,
                            const QString &address);
    AuthReply session(const VexDb::UserRecord &user, const QString &token, qint64 expiry) const;
    QString connectionName();
    void logBusy();

    const ServerOptions m_options;
    const QByteArray m_key;
    const VexDb::FailureLimits m_limits;
    VexDb::UserRecord m_decoy; // verified for unknown logins, so they take as long
    QThreadPool m_pool;
    std::atomic<int> m_waiting { 0 };
    std::atomic<bool> m_stopping { false };
    std::atomic<quint64> m_connections { 0 };
    QMutex m_logMutex;
    int m_busyLogged = 0;
    qint64 m_busySummaryMs = 0;
    int m_busySuppressed = 0;
};
