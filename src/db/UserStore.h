#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace VexDb {

// One row of USUARIO.
struct UserRecord
{
    QString login;
    QByteArray hash;
    QByteArray salt;
    int iterations = 0;
    bool active = true;
    int failures = 0; // failed sign-ins since the last success
    QDateTime lastFailure; // UTC; null when none
    int generation = 0; // raised by a password change or a disable: older tokens end
};

// The sign-in users of one database connection. Every text is bound.
class UserStore final
{
public:
    enum class Result { Ok, Exists, Unknown, Failed };
    static constexpr int MaxLoginLength = 64;

    explicit UserStore(const QSqlDatabase &db)
        : m_db(db)
    { }

    // Letters, digits and . _ @ -, 1 to MaxLoginLength characters.
    static bool validLogin(QStringView login);
    // True when the database has the sign-in tables (schema version 4 or later).
    bool ready() const;

    Result add(const QString &login, const QString &password, int iterations, QString *error);
    // Also clears the failures: a new password ends a lockout. It and
    // disable() end the tokens issued before.
    Result setPassword(const QString &login, const QString &password, int iterations,
                       QString *error);
    Result disable(const QString &login, QString *error);
    // Active again, failures cleared; tokens from before the disable stay ended.
    Result enable(const QString &login, QString *error);
    bool list(QList<UserRecord> *users, QString *error);
    Result find(const QString &login, UserRecord *user, QString *error);
    // Atomic increment, so that several servers over one database count together.
    Result recordFailure(const QString &login, const QDateTime &when, QString *error);
    Result recordSuccess(const QString &login, QString *error);

    static bool verify(const UserRecord &user, const QString &password);

private:
    Result exec(const QString &sql, const QVariantList &values, QString *error,
                int *rowsAffected = nullptr);
    Result update(const QString &sql, const QVariantList &values, QString *error);
    Result clearFailures(const QString &login, QString *error);

    QSqlDatabase m_db;
};

} // namespace VexDb
