#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

namespace VexDb {

// When failed sign-ins make the next attempt wait: from `limit` failures on,
// `baseMs`, doubling with each further failure up to `maxMs`, counted from
// the last failure.
struct FailureLimits
{
    int perLoginAndAddress = 5;
    int perLogin = 50; // one login from every address: distributed guessing
    int perAddress = 20; // one address against every login, recent failures only
    qint64 addressWindowMs = 15 * 60 * 1000;
    qint64 baseMs = 2000;
    qint64 maxMs = 300 * 1000;
    qint64 keepMs = 24 * 3600 * 1000; // a row is forgotten this long after its last failure

    qint64 waitMs(qint64 failures, int limit, qint64 lastMs, qint64 nowMs) const;
};

// Failed sign-ins per login, known or not, and client address, in
// FALHAENTRADA, where every instance over the database sees them. An attempt
// is counted before its password is checked, in a transaction that holds
// every other reservation back, so that parallel guesses cannot slip past a
// limit while their checks run.
class SignInFailures final
{
public:
    enum class Result { Ok, Wait, Failed };
    static constexpr qsizetype MaxAddressLength = 64;

    SignInFailures(const QSqlDatabase &db, const FailureLimits &limits)
        : m_db(db)
        , m_limits(limits)
    { }

    // Ok: the attempt is counted as a failure until succeeded() says
    // otherwise. Wait: nothing counted; *waitMs before the next attempt.
    Result reserve(const QString &login, const QString &address, qint64 nowMs, qint64 *waitMs,
                   QString *error);
    Result succeeded(const QString &login, const QString &address, QString *error);
    // The wait runs from the refusal, not from the start of the slow check.
    Result failed(const QString &login, const QString &address, qint64 nowMs, QString *error);
    // Every failure of `login`: a new password, or the user enabled again.
    Result clear(const QString &login, QString *error);

    // What a login is counted under: a valid one as it is, any other text
    // hashed, so that whatever a client sends fits the column and binds.
    static QString key(const QString &login);
    static QString timeText(qint64 msSinceEpoch);

private:
    struct Count
    {
        qint64 failures = 0;
        qint64 lastMs = 0;
    };
    bool count(const QString &sql, const QVariantList &values, Count *out, QString *error);
    bool exec(const QString &sql, const QVariantList &values, QString *error, int *rows = nullptr);
    bool run(const QString &sql, QString *error);
    bool begin(QString *error);
    qint64 waitFor(const QString &login, const QString &address, qint64 nowMs, bool *known,
                   QString *error);

    QSqlDatabase m_db;
    FailureLimits m_limits;
};

} // namespace VexDb
