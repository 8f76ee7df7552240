#pragma once

#include <QByteArray>
#include <QString>

// Stateless session tokens:
// "v2.<base64url(login)>.<expiry, Unix s>.<generation>.<base64url(HMAC)>", the
// HMAC-SHA256 over everything before the last dot, with a key shared by
// every server instance, so that any of them accepts a token another issued.
// The user's generation (USUARIO) at issue time ends the token once a
// password change or a disable raises it. A "v1." token, from before
// generations, is read as generation 0.
namespace SessionToken {

QString issue(const QByteArray &key, const QString &login, qint64 expiryUnixS, int generation);

struct Claims
{
    QString login;
    qint64 expiryUnixS = 0;
    int generation = 0;
};

// False for a malformed, tampered or foreign token, and for one expired at
// nowUnixS or expiring later than maxValidityS from now.
bool check(const QByteArray &key, const QString &token, qint64 nowUnixS, qint64 maxValidityS,
           Claims *claims);

} // namespace SessionToken
