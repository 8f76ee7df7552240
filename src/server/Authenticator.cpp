#include "Authenticator.h"

#include "PasswordHash.h"
#include "SessionToken.h"

#include "Database.h"

#include <QDateTime>
#include <QMutexLocker>

Q_LOGGING_CATEGORY(lcAuth, "vex.appserver.auth", QtInfoMsg)

namespace {

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

VexDb::FailureLimits limitsOf(const ServerOptions &o)
{
    VexDb::FailureLimits l;
    l.perLoginAndAddress = o.lockoutFailures;
    l.perLogin = o.lockoutLoginFailures;
    l.perAddress = o.lockoutAddressFailures;
    l.baseMs = o.lockoutBaseS * 1000LL;
    l.maxMs = o.lockoutMaxS * 1000LL;
    return l;
}

constexpr qint64 BusyLogIntervalMs = 10000;

} // namespace

Authenticator::Authenticator(const ServerOptions &options, const QByteArray &key)
    : m_options(options)
    , m_key(key)
    , m_limits(limitsOf(options))
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
    m_stopping = true;
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
        *error = QStringLiteral("--auth db: o banco não tem as tabelas de entrada (USUARIO, "
                                "FALHAENTRADA); execute vex-db init");
        return false;
    }
    return true;
}

Authenticator::Queued Authenticator::submitLogin(const QString &login, const QString &password,
                                                 const QString &address,
                                                 const std::shared_ptr<Waiting> &waiting,
                                                 std::function<void(const AuthReply &)> done)
{
    if (m_stopping)
        return Queued::Stopping;
    // A place is taken before the check is queued, so the bound holds
    // against any number of workers at once.
    if (++m_waiting > m_options.signInQueue) {
        --m_waiting;
        logBusy();
        return Queued::Busy;
    }
    m_pool.start([this, login, password, address, waiting, done = std::move(done)] {
        if (waiting->settled.exchange(true)) {
            qCDebug(lcAuth).noquote()
                << QStringLiteral("entrada de %1 descartada: o cliente desistiu").arg(address);
            return;
        }
        --m_waiting;
        AuthReply reply;
        reply.message = AuthText::Stopping;
        if (!m_stopping)
            reply = this->login(login, password, address);
        done(reply);
    });
    return Queued::Yes;
}

void Authenticator::giveUp(const std::shared_ptr<Waiting> &waiting)
{
    if (waiting && !waiting->settled.exchange(true))
        --m_waiting;
}

void Authenticator::logBusy()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QMutexLocker lock(&m_logMutex);
    if (m_busyLogged < 5) {
        ++m_busyLogged;
        m_busySummaryMs = now;
        qCWarning(lcAuth) << "entrada recusada: fila de verificação de senhas cheia ("
                          << m_options.signInQueue << ")";
    } else if (++m_busySuppressed, now - m_busySummaryMs >= BusyLogIntervalMs) {
        qCWarning(lcAuth) << "mais" << m_busySuppressed
                          << "entradas recusadas pela fila de verificação cheia";
        m_busySuppressed = 0;
        m_busySummaryMs = now;
    }
}

AuthReply Authenticator::session(const VexDb::UserRecord &user, const QString &token,
                                 qint64 expiry) const
{
    AuthReply r;
    r.kind = AuthReply::Kind::Session;
    r.login = user.login;
    r.token = token;
    r.expiryUnixS = expiry;
    r.generation = user.generation;
    return r;
}

AuthReply Authenticator::login(const QString &login, const QString &password,
                               const QString &address)
{
    CheckDatabase db(m_options.databaseUrl, connectionName());
    if (!db.isOpen())
        return failed(db.error());
    return checkPassword(db.db(), login, password, address);
}

// The attempt is counted before the hash, so that parallel guesses see each
// other; a right password takes it back.
AuthReply Authenticator::checkPassword(const QSqlDatabase &db, const QString &login,
                                       const QString &password, const QString &address)
{
    VexDb::SignInFailures failures(db, m_limits);
    QString error;
    qint64 waitMs = 0;
    switch (
        failures.reserve(login, address, QDateTime::currentMSecsSinceEpoch(), &waitMs, &error)) {
    case VexDb::SignInFailures::Result::Failed:
        return failed(error);
    case VexDb::SignInFailures::Result::Wait: {
        const qint64 seconds = (waitMs + 999) / 1000;
        qCWarning(lcAuth).noquote()
            << QStringLiteral("entrada bloqueada de %1 para %2: espera de %3 s")
                   .arg(address, shown(login))
                   .arg(seconds);
        return refused(AuthText::LockedOut.arg(seconds));
    }
    case VexDb::SignInFailures::Result::Ok:
        break;
    }
    VexDb::UserStore store(db);
    VexDb::UserRecord user;
    const VexDb::UserStore::Result found = VexDb::UserStore::validLogin(login)
        ? store.find(login, &user, &error)
        : VexDb::UserStore::Result::Unknown;
    if (found == VexDb::UserStore::Result::Failed)
        return failed(error);
    const bool known = found == VexDb::UserStore::Result::Ok;
    const bool match = VexDb::UserStore::verify(known ? user : m_decoy, password);
    if (known && match && user.active) {
        if (failures.succeeded(login, address, &error) == VexDb::SignInFailures::Result::Failed
            || store.recordSuccess(user.login, &error) == VexDb::UserStore::Result::Failed)
            return failed(error);
        const qint64 expiry = QDateTime::currentSecsSinceEpoch() + m_options.tokenValidityS;
        qCInfo(lcAuth).noquote()
            << QStringLiteral("entrada de %1 para %2").arg(address, shown(user.login));
        return session(user, SessionToken::issue(m_key, user.login, expiry, user.generation),
                       expiry);
    }
    const qint64 failedMs = QDateTime::currentMSecsSinceEpoch();
    if (failures.failed(login, address, failedMs, &error) == VexDb::SignInFailures::Result::Failed)
        return failed(error);
    if (known
        && store.recordFailure(user.login, QDateTime::fromMSecsSinceEpoch(failedMs, Qt::UTC),
                               &error)
            == VexDb::UserStore::Result::Failed)
        return failed(error);
    const char *why = !known ? "usuário desconhecido"
        : !match             ? "senha errada"
                             : "usuário desativado";
    qCWarning(lcAuth).noquote() << QStringLiteral("entrada recusada de %1 para %2 (%3)")
                                       .arg(address, shown(login), QLatin1String(why));
    return refused(AuthText::BadCredentials);
}

AuthReply Authenticator::resume(const QString &token, const QString &peer,
                                const QSqlDatabase &db) const
{
    // An empty token is how a client asks whether it must sign in: the
    // answer, not an attack.
    if (token.isEmpty()) {
        qCDebug(lcAuth).noquote() << QStringLiteral("%1 pergunta se precisa entrar").arg(peer);
        return refused(AuthText::BadSession);
    }
    SessionToken::Claims claims;
    if (!SessionToken::check(m_key, token, QDateTime::currentSecsSinceEpoch(),
                             m_options.tokenValidityS + m_options.tokenClockSkewS, &claims)) {
        qCWarning(lcAuth).noquote()
            << QStringLiteral("sessão recusada de %1: token inválido ou vencido").arg(peer);
        return refused(AuthText::BadSession);
    }
    AuthReply claimed;
    claimed.kind = AuthReply::Kind::Session;
    claimed.login = claims.login;
    claimed.token = token;
    claimed.expiryUnixS = claims.expiryUnixS;
    claimed.generation = claims.generation;
    return recheck(claimed, peer, db);
}

AuthReply Authenticator::recheck(const AuthReply &claimed, const QString &peer,
                                 const QSqlDatabase &db) const
{
    if (QDateTime::currentSecsSinceEpoch() >= claimed.expiryUnixS) {
        qCInfo(lcAuth).noquote()
            << QStringLiteral("sessão de %1 em %2 vencida").arg(shown(claimed.login), peer);
        return refused(AuthText::BadSession);
    }
    VexDb::UserRecord user;
    QString error;
    switch (VexDb::UserStore(db).find(claimed.login, &user, &error)) {
    case VexDb::UserStore::Result::Failed:
        return failed(error);
    case VexDb::UserStore::Result::Ok:
        if (user.active && user.generation == claimed.generation)
            return claimed;
        break;
    default:
        break;
    }
    qCWarning(lcAuth).noquote()
        << QStringLiteral("sessão recusada de %1 para %2: usuário desconhecido ou desativado, "
                          "ou senha trocada depois do token")
               .arg(peer, shown(claimed.login));
    return refused(AuthText::BadSession);
}
