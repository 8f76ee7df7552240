#include "UserStore.h"

#include "PasswordHash.h"
#include "SignInFailures.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace VexDb {

namespace {

const QString kColumns = QStringLiteral(
    "CDLOGIN, DSHASHSENHA, DSSALSENHA, NRITERACOES, IDATIVO, NRFALHAS, DTULTFALHA, NRGERACAO");

QString timeText(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODateWithMs);
}

UserRecord readRecord(const QSqlQuery &q)
{
    UserRecord u;
    u.login = q.value(0).toString();
    u.hash = QByteArray::fromHex(q.value(1).toString().toLatin1());
    u.salt = QByteArray::fromHex(q.value(2).toString().toLatin1());
    u.iterations = q.value(3).toInt();
    u.active = q.value(4).toString() == QLatin1String("S");
    u.failures = q.value(5).toInt();
    const QString last = q.value(6).toString();
    if (!last.isEmpty())
        u.lastFailure = QDateTime::fromString(last, Qt::ISODateWithMs);
    u.generation = q.value(7).toInt();
    return u;
}

QString oneLine(const QSqlError &e)
{
    return e.text().simplified();
}

} // namespace

bool UserStore::validLogin(QStringView login)
{
    if (login.isEmpty() || login.size() > MaxLoginLength)
        return false;
    for (QChar c : login) {
        const bool ascii = c.unicode() < 128
            && (c.isLetterOrNumber() || c == u'.' || c == u'_' || c == u'@' || c == u'-');
        if (!ascii)
            return false;
    }
    return true;
}

bool UserStore::ready() const
{
    const QStringList tables = m_db.tables();
    return tables.contains(QStringLiteral("USUARIO"), Qt::CaseInsensitive)
        && tables.contains(QStringLiteral("FALHAENTRADA"), Qt::CaseInsensitive);
}

UserStore::Result UserStore::exec(const QString &sql, const QVariantList &values, QString *error,
                                  int *rowsAffected)
{
    QSqlQuery q(m_db);
    if (!q.prepare(sql)) {
        *error = oneLine(q.lastError());
        return Result::Failed;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        *error = oneLine(q.lastError());
        return Result::Failed;
    }
    if (rowsAffected)
        *rowsAffected = q.numRowsAffected();
    return Result::Ok;
}

UserStore::Result UserStore::add(const QString &login, const QString &password, int iterations,
                                 QString *error)
{
    UserRecord existing;
    const Result found = find(login, &existing, error);
    if (found == Result::Ok)
        return Result::Exists;
    if (found == Result::Failed)
        return found;
    const QByteArray salt = Password::randomSalt();
    const QByteArray hash = Password::derive(password, salt, iterations);
    const Result r
        = exec(QStringLiteral("INSERT INTO USUARIO (") + kColumns
                   + QStringLiteral(") VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
               { login, QString::fromLatin1(hash.toHex()), QString::fromLatin1(salt.toHex()),
                 iterations, QStringLiteral("S"), 0, QVariant(QMetaType::fromType<QString>()), 0 },
               error);
    // Another writer between the look-up and the insert.
    if (r == Result::Failed && find(login, &existing, error) == Result::Ok)
        return Result::Exists;
    return r;
}

UserStore::Result UserStore::setPassword(const QString &login, const QString &password,
                                         int iterations, QString *error)
{
    const QByteArray salt = Password::randomSalt();
    const QByteArray hash = Password::derive(password, salt, iterations);
    const Result r = update(
        QStringLiteral("UPDATE USUARIO SET DSHASHSENHA = ?, DSSALSENHA = ?,"
                       " NRITERACOES = ?, NRFALHAS = 0, DTULTFALHA = NULL,"
                       " NRGERACAO = NRGERACAO + 1 WHERE CDLOGIN = ?"),
        { QString::fromLatin1(hash.toHex()), QString::fromLatin1(salt.toHex()), iterations, login },
        error);
    return r == Result::Ok ? clearFailures(login, error) : r;
}

UserStore::Result UserStore::disable(const QString &login, QString *error)
{
    return update(QStringLiteral("UPDATE USUARIO SET IDATIVO = ?, NRGERACAO = NRGERACAO + 1"
                                 " WHERE CDLOGIN = ?"),
                  { QStringLiteral("N"), login }, error);
}

UserStore::Result UserStore::enable(const QString &login, QString *error)
{
    const Result r = update(QStringLiteral("UPDATE USUARIO SET IDATIVO = ?, NRFALHAS = 0,"
                                           " DTULTFALHA = NULL WHERE CDLOGIN = ?"),
                            { QStringLiteral("S"), login }, error);
    return r == Result::Ok ? clearFailures(login, error) : r;
}

// Unknown when no row has the login.
UserStore::Result UserStore::update(const QString &sql, const QVariantList &values, QString *error)
{
    int rows = 0;
    const Result r = exec(sql, values, error, &rows);
    return r == Result::Ok && rows == 0 ? Result::Unknown : r;
}

UserStore::Result UserStore::clearFailures(const QString &login, QString *error)
{
    return SignInFailures(m_db, {}).clear(login, error) == SignInFailures::Result::Ok
        ? Result::Ok
        : Result::Failed;
}

bool UserStore::list(QList<UserRecord> *users, QString *error)
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT ") + kColumns
                + QStringLiteral(" FROM USUARIO ORDER BY CDLOGIN"))) {
        *error = oneLine(q.lastError());
        return false;
    }
    while (q.next())
        users->append(readRecord(q));
    return true;
}

UserStore::Result UserStore::find(const QString &login, UserRecord *user, QString *error)
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT ") + kColumns
                   + QStringLiteral(" FROM USUARIO WHERE CDLOGIN = ?"))) {
        *error = oneLine(q.lastError());
        return Result::Failed;
    }
    q.addBindValue(login);
    if (!q.exec()) {
        *error = oneLine(q.lastError());
        return Result::Failed;
    }
    if (!q.next())
        return Result::Unknown;
    *user = readRecord(q);
    return Result::Ok;
}

UserStore::Result UserStore::recordFailure(const QString &login, const QDateTime &when,
                                           QString *error)
{
    return update(QStringLiteral("UPDATE USUARIO SET NRFALHAS = NRFALHAS + 1,"
                                 " DTULTFALHA = ? WHERE CDLOGIN = ?"),
                  { timeText(when), login }, error);
}

UserStore::Result UserStore::recordSuccess(const QString &login, QString *error)
{
    return exec(QStringLiteral("UPDATE USUARIO SET NRFALHAS = 0, DTULTFALHA = NULL"
                               " WHERE CDLOGIN = ? AND NRFALHAS <> 0"),
                { login }, error);
}

bool UserStore::verify(const UserRecord &user, const QString &password)
{
    if (user.iterations <= 0 || user.salt.isEmpty() || user.hash.isEmpty())
        return false;
    return Password::equalTime(Password::derive(password, user.salt, user.iterations), user.hash);
}

} // namespace VexDb
