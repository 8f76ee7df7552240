#pragma once

#include "ServerOptions.h"
#include "UserStore.h"

#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QThreadPool>

#include <atomic>
#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcAuth) // sign-in refusals and lockouts, with address and login

// What session.login and session.resume answer.
struct AuthReply
{
    enum class Kind { Session, Refused, Failed };
    Kind kind = Kind::Failed;
    QString login;
    QString token;
    qint64 expiryUnixS = 0;
    QString message; // Refused: the -32001 text; Failed: the -32000 text
};

namespace AuthText {
inline constexpr int ErrorCode = -32001;
inline const QString Required = QStringLiteral("Autenticação necessária");
inline const QString BadCredentials = QStringLiteral("Usuário ou senha inválidos.");
inline const QString LockedOut
    = QStringLiteral("Muitas tentativas de acesso. Tente novamente em %1 s.");
inline const QString BadSession = QStringLiteral("Sessão expirada ou inválida. Entre novamente.");
} // namespace AuthText

// Checks passwords against USUARIO and issues and checks session tokens.
// Shared by every worker; login() and resume() block (PBKDF2, a database
// look-up), so they run in its own pool through run(), never in a worker.
class Authenticator final
{
public:
    Authenticator(const ServerOptions &options, const QByteArray &key);
    ~Authenticator(); // waits for the checks in progress

    // At start: the database is reachable and has USUARIO.
    bool checkDatabase(QString *error);
    void run(std::function<void()> job);
    AuthReply login(const QString &login, const QString &password, const QString &peer);
    AuthReply resume(const QString &token, const QString &peer);

private:
    struct Failures
    {
        int count = 0;
        qint64 lastMs = 0;
    };
    AuthReply checkPassword(VexDb::UserStore &store, const QString &login, const QString &password,
                            const QString &peer);
    qint64 lockedForMs(const Failures &failures, qint64 nowMs) const;
    Failures unknownFailures(const QString &login);
    void recordUnknownFailure(const QString &login, qint64 nowMs);
    AuthReply session(const QString &login, const QString &token, qint64 expiry) const;
    QString connectionName();

    const ServerOptions m_options;
    const QByteArray m_key;
    VexDb::UserRecord m_decoy; // verified for unknown logins, so they take as long
    QThreadPool m_pool;
    QMutex m_unknownMutex;
    QHash<QString, Failures> m_unknown;
    std::atomic<quint64> m_connections { 0 };
};
