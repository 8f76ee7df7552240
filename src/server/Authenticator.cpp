#include "Authenticator.h"

#include "PasswordHash.h"
#include "SessionToken.h"

#include "Database.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QSqlDatabase>

Q_LOGGING_CATEGORY(lcAuth, "vex.appserver.auth", QtInfoMsg)

namespace {

// Unknown logins remembered at most; the oldest go first.
constexpr qsizetype MaxUnknownLogins = 10000;

// A client's login for a log line: short, quoted, no control characters.
QString shown(const QString &login)
{
    constexpr qsizetype MaxShown = 40;
    QString text = login.left(MaxShown);
    for (QChar &c : text) {
        if (!c.isPrint())
            c = u'?';
    }
    return u'\'' + text + (login.size() > MaxShown ? QStringLiteral("…'") : QStringLiteral("'"));
}

// What an unknown login is counted under: never more than a valid login's
// length, so that long made-up logins cannot fill the memory.
QString unknownKey(const QString &login)
{
    return login.left(VexDb::UserStore::MaxLoginLength + 1);
}

// One connection per check, closed after it: checks run on any pool thread,
// and a sign-in is rare next to the cost of its hash.
class CheckDatabase final
{
public:
    CheckDatabase(const QString &url, const QString &name)
        : m_name(name)
    {
        m_db = VexDb::open(url, name, &m_error);
    }
    ~CheckDatabase()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    CheckDatabase(const CheckDatabase &) = delete;
    CheckDatabase &operator=(const CheckDatabase &) = delete;
    bool isOpen() const { return m_db.isOpen(); }
    const QSqlDatabase &db() const { return m_db; }
    QString error() const { return m_error; }

private:
    QString m_name;
    QString m_error;
    QSqlDatabase m_db;
};

AuthReply failed(const QString &error)
{
    AuthReply r;
    r.message = QStringLiteral("Falha no banco de dados: ") + error;
    return r;
}

AuthReply refused(const QString &message)
{
    AuthReply r;
    r.kind = AuthReply::Kind::Refused;
    r.message = message;
    return r;
}

} // namespace

Authenticator::Authenticator(const ServerOptions &options, const QByteArray &key)
    : m_options(options)
    , m_key(key)
{
    m_decoy.salt = VexDb::Password::randomSalt();
    m_decoy.hash = VexDb::Password::randomSalt() + VexDb::Password::randomSalt();
    m_decoy.iterations = VexDb::Password::MinIterations;
    // As many hashes at once as there are cores: a flood of sign-ins waits
    // its turn instead of taking the workers' processor time.
    m_pool.setMaxThreadCount(std::max(1, m_options.threads));
}

Authenticator::~Authenticator()
{
    m_pool.waitForDone();
}

QString Authenticator::connectionName()
{
    return QStringLiteral("vex-appserver-auth-%1").arg(++m_connections);
}

bool Authenticator::checkDatabase(QString *error)
{
    CheckDatabase db(m_options.databaseUrl, connectionName());
    if (!db.isOpen()) {
        *error = QStringLiteral("banco de dados inacessível: %1").arg(db.error());
        return false;
    }
    if (!VexDb::UserStore(db.db()).ready()) {
        *error = QStringLiteral("--auth db: o banco não tem a tabela USUARIO; "
                                "execute vex-db init");
        return false;
    }
    return true;
}

void Authenticator::run(std::function<void()> job)
{
    m_pool.start(std::move(job));
}

qint64 Authenticator::lockedForMs(const Failures &f, qint64 nowMs) const
{
    if (f.count < m_options.lockoutFailures)
        return 0;
    const int doublings = std::min(f.count - m_options.lockoutFailures, 20);
    const qint64 delayMs = std::min<qint64>(m_options.lockoutBaseS * 1000LL << doublings,
                                            m_options.lockoutMaxS * 1000LL);
    return std::max<qint64>(0, f.lastMs + delayMs - nowMs);
}

Authenticator::Failures Authenticator::unknownFailures(const QString &login)
{
    QMutexLocker lock(&m_unknownMutex);
    return m_unknown.value(login);
}

void Authenticator::recordUnknownFailure(const QString &login, qint64 nowMs)
{
    QMutexLocker lock(&m_unknownMutex);
    if (!m_unknown.contains(login) && m_unknown.size() >= MaxUnknownLogins) {
        auto oldest = m_unknown.begin();
        for (auto it = m_unknown.begin(); it != m_unknown.end(); ++it) {
            if (it->lastMs < oldest->lastMs)
                oldest = it;
        }
        m_unknown.erase(oldest);
    }
    Failures &f = m_unknown[login];
    ++f.count;
    f.lastMs = nowMs;
}

AuthReply Authenticator::session(const QString &login, const QString &token, qint64 expiry) const
{
    AuthReply r;
    r.kind = AuthReply::Kind::Session;
    r.login = login;
    r.token = token;
    r.expiryUnixS = expiry;
    return r;
}

AuthReply Authenticator::login(const QString &login, const QString &password, const QString &peer)
{
    CheckDatabase db(m_options.databaseUrl, connectionName());
    if (!db.isOpen())
        return failed(db.error());
    VexDb::UserStore store(db.db());
    return checkPassword(store, login, password, peer);
}

AuthReply Authenticator::checkPassword(VexDb::UserStore &store, const QString &login,
                                       const QString &password, const QString &peer)
{
    VexDb::UserRecord user;
    QString error;
    const VexDb::UserStore::Result found = VexDb::UserStore::validLogin(login)
        ? store.find(login, &user, &error)
        : VexDb::UserStore::Result::Unknown;
    if (found == VexDb::UserStore::Result::Failed)
        return failed(error);
    const bool known = found == VexDb::UserStore::Result::Ok;
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    const Failures before = known
        ? Failures { user.failures,
                     user.lastFailure.isValid() ? user.lastFailure.toMSecsSinceEpoch() : 0 }
        : unknownFailures(unknownKey(login));
    if (const qint64 waitMs = lockedForMs(before, nowMs); waitMs > 0) {
        const qint64 seconds = (waitMs + 999) / 1000;
        qCWarning(lcAuth).noquote() << QStringLiteral("entrada bloqueada de %1 para %2: %3 falhas,"
                                                      " espera de %4 s")
                                           .arg(peer, shown(login))
                                           .arg(before.count)
                                           .arg(seconds);
        return refused(AuthText::LockedOut.arg(seconds));
    }
    const bool match = VexDb::UserStore::verify(known ? user : m_decoy, password);
    if (known && match && user.active) {
        if (store.recordSuccess(user.login, &error) == VexDb::UserStore::Result::Failed)
            return failed(error);
        const qint64 expiry = nowMs / 1000 + m_options.tokenValidityS;
        qCInfo(lcAuth).noquote()
            << QStringLiteral("entrada de %1 para %2").arg(peer, shown(user.login));
        return session(user.login, SessionToken::issue(m_key, user.login, expiry), expiry);
    }
    // The wait runs from the refusal, not from the start of the slow check.
    const qint64 failedMs = QDateTime::currentMSecsSinceEpoch();
    if (known) {
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(failedMs, Qt::UTC);
        if (store.recordFailure(user.login, when, &error) == VexDb::UserStore::Result::Failed)
            return failed(error);
    } else {
        recordUnknownFailure(unknownKey(login), failedMs);
    }
    const char *why = !known ? "usuário desconhecido"
        : !match             ? "senha errada"
                             : "usuário desativado";
    qCWarning(lcAuth).noquote() << QStringLiteral("entrada recusada de %1 para %2 (%3), falha %4")
                                       .arg(peer, shown(login), QLatin1String(why))
                                       .arg(before.count + 1);
    return refused(AuthText::BadCredentials);
}

AuthReply Authenticator::resume(const QString &token, const QString &peer)
{
    SessionToken::Claims claims;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    // An empty token is how a client asks whether it must sign in: the
    // answer, not an attack.
    if (token.isEmpty()) {
        qCDebug(lcAuth).noquote() << QStringLiteral("%1 pergunta se precisa entrar").arg(peer);
        return refused(AuthText::BadSession);
    }
    if (!SessionToken::check(m_key, token, now,
                             m_options.tokenValidityS + m_options.tokenClockSkewS, &claims)) {
        qCWarning(lcAuth).noquote()
            << QStringLiteral("sessão recusada de %1: token inválido ou vencido").arg(peer);
        return refused(AuthText::BadSession);
    }
    CheckDatabase db(m_options.databaseUrl, connectionName());
    if (!db.isOpen())
        return failed(db.error());
    VexDb::UserRecord user;
    QString error;
    switch (VexDb::UserStore(db.db()).find(claims.login, &user, &error)) {
    case VexDb::UserStore::Result::Failed:
        return failed(error);
    case VexDb::UserStore::Result::Ok:
        if (user.active)
            return session(user.login, token, claims.expiryUnixS);
        break;
    default:
        break;
    }
    qCWarning(lcAuth).noquote() << QStringLiteral("sessão recusada de %1 para %2: usuário "
                                                  "desconhecido ou desativado")
                                       .arg(peer, shown(claims.login));
    return refused(AuthText::BadSession);
}
