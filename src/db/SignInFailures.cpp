#include "SignInFailures.h"

#include "UserStore.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace VexDb {

namespace {

const QString kPairRow = QStringLiteral(
    "SELECT NRFALHAS, DTULTFALHA FROM FALHAENTRADA WHERE CDLOGIN = ? AND DSENDERECO = ?");
const QString kLoginRows
    = QStringLiteral("SELECT SUM(NRFALHAS), MAX(DTULTFALHA) FROM FALHAENTRADA WHERE CDLOGIN = ?");
const QString kAddressRows
    = QStringLiteral("SELECT SUM(NRFALHAS), MAX(DTULTFALHA) FROM "
                     "FALHAENTRADA WHERE DSENDERECO = ? AND DTULTFALHA >= ?");

QString shortAddress(const QString &address)
{
    return address.left(SignInFailures::MaxAddressLength);
}

qint64 msOf(const QString &text)
{
    const QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
    return t.isValid() ? t.toMSecsSinceEpoch() : 0;
}

bool execPrepared(QSqlQuery &q, const QString &sql, const QVariantList &values, QString *error)
{
    if (q.prepare(sql)) {
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (q.exec())
            return true;
    }
    *error = q.lastError().text().simplified();
    return false;
}

} // namespace

qint64 FailureLimits::waitMs(qint64 failures, int limit, qint64 lastMs, qint64 nowMs) const
{
    if (failures < limit)
        return 0;
    const int doublings = int(std::min<qint64>(failures - limit, 20));
    const qint64 delay = std::min(baseMs << doublings, maxMs);
    return std::max<qint64>(0, lastMs + delay - nowMs);
}

QString SignInFailures::key(const QString &login)
{
    if (UserStore::validLogin(login))
        return login;
    const QByteArray digest = QCryptographicHash::hash(login.toUtf8(), QCryptographicHash::Sha256);
    return u'#' + QString::fromLatin1(digest.toHex().left(32));
}

// ISO UTC with milliseconds: fixed width, so that text order is time order.
QString SignInFailures::timeText(qint64 msSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch, Qt::UTC).toString(Qt::ISODateWithMs);
}

bool SignInFailures::exec(const QString &sql, const QVariantList &values, QString *error, int *rows)
{
    QSqlQuery q(m_db);
    if (!execPrepared(q, sql, values, error))
        return false;
    if (rows)
        *rows = q.numRowsAffected();
    return true;
}

bool SignInFailures::count(const QString &sql, const QVariantList &values, Count *out,
                           QString *error)
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!execPrepared(q, sql, values, error))
        return false;
    *out = {};
    if (q.next()) {
        out->failures = q.value(0).toLongLong();
        out->lastMs = msOf(q.value(1).toString());
    }
    return true;
}

// Statements that take no values, sent as they are (PostgreSQL cannot
// prepare BEGIN).
bool SignInFailures::run(const QString &sql, QString *error)
{
    QSqlQuery q(m_db);
    if (q.exec(sql))
        return true;
    *error = q.lastError().text().simplified();
    return false;
}

// SQLite takes its write lock at BEGIN IMMEDIATE; PostgreSQL needs the table
// locked against other reservations (plain reads still pass).
bool SignInFailures::begin(QString *error)
{
    if (m_db.driverName() == QLatin1String("QSQLITE"))
        return run(QStringLiteral("BEGIN IMMEDIATE"), error);
    if (!run(QStringLiteral("BEGIN"), error))
        return false;
    if (run(QStringLiteral("LOCK TABLE FALHAENTRADA IN SHARE ROW EXCLUSIVE MODE"), error))
        return true;
    QString ignored;
    run(QStringLiteral("ROLLBACK"), &ignored);
    return false;
}

qint64 SignInFailures::waitFor(const QString &login, const QString &address, qint64 nowMs,
                               bool *known, QString *error)
{
    Count pair, byLogin, byAddress;
    if (!count(kPairRow, { login, address }, &pair, error)
        || !count(kLoginRows, { login }, &byLogin, error)
        || !count(kAddressRows, { address, timeText(nowMs - m_limits.addressWindowMs) }, &byAddress,
                  error))
        return -1;
    *known = pair.lastMs > 0;
    const FailureLimits &l = m_limits;
    return std::max({ l.waitMs(pair.failures, l.perLoginAndAddress, pair.lastMs, nowMs),
                      l.waitMs(byLogin.failures, l.perLogin, byLogin.lastMs, nowMs),
                      l.waitMs(byAddress.failures, l.perAddress, byAddress.lastMs, nowMs) });
}

SignInFailures::Result SignInFailures::reserve(const QString &loginText, const QString &peer,
                                               qint64 nowMs, qint64 *waitMs, QString *error)
{
    const QString login = key(loginText);
    const QString address = shortAddress(peer);
    if (!begin(error))
        return Result::Failed;
    bool known = false;
    *waitMs = waitFor(login, address, nowMs, &known, error);
    bool ok = *waitMs == 0;
    if (ok) {
        const QString now = timeText(nowMs);
        ok = known ? exec(QStringLiteral("UPDATE FALHAENTRADA SET NRFALHAS = NRFALHAS + 1,"
                                         " DTULTFALHA = ? WHERE CDLOGIN = ? AND DSENDERECO = ?"),
                          { now, login, address }, error)
                   : exec(QStringLiteral("INSERT INTO FALHAENTRADA (CDLOGIN, DSENDERECO, "
                                         "NRFALHAS, DTULTFALHA) VALUES (?, ?, 1, ?)"),
                          { login, address, now }, error);
    }
    QString ignored;
    if (!ok || !run(QStringLiteral("COMMIT"), error)) {
        run(QStringLiteral("ROLLBACK"), &ignored);
        return *waitMs > 0 ? Result::Wait : Result::Failed;
    }
    return Result::Ok;
}

SignInFailures::Result SignInFailures::succeeded(const QString &login, const QString &address,
                                                 QString *error)
{
    return exec(QStringLiteral("DELETE FROM FALHAENTRADA WHERE CDLOGIN = ? AND DSENDERECO = ?"),
                { key(login), shortAddress(address) }, error)
        ? Result::Ok
        : Result::Failed;
}

SignInFailures::Result SignInFailures::failed(const QString &login, const QString &address,
                                              qint64 nowMs, QString *error)
{
    const bool ok = exec(QStringLiteral("UPDATE FALHAENTRADA SET DTULTFALHA = ?"
                                        " WHERE CDLOGIN = ? AND DSENDERECO = ?"),
                         { timeText(nowMs), key(login), shortAddress(address) }, error)
        && exec(QStringLiteral("DELETE FROM FALHAENTRADA WHERE DTULTFALHA < ?"),
                { timeText(nowMs - m_limits.keepMs) }, error);
    return ok ? Result::Ok : Result::Failed;
}

SignInFailures::Result SignInFailures::clear(const QString &login, QString *error)
{
    return exec(QStringLiteral("DELETE FROM FALHAENTRADA WHERE CDLOGIN = ?"), { key(login) }, error)
        ? Result::Ok
        : Result::Failed;
}

} // namespace VexDb
