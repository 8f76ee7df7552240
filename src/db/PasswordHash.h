#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Password hashing for sign-in: PBKDF2-HMAC-SHA256 with a random salt per
// user; the iteration count is stored with each hash, so it can be raised
// later without invalidating older rows.
namespace VexDb::Password {

inline constexpr int MinIterations = 600000;
inline constexpr int SaltBytes = 16;
inline constexpr int HashBytes = 32;
inline constexpr int MinCharacters = 12;
inline constexpr int MaxBytes = 1024;

// A new password as typed (UTF-8): empty when it may be used, else why not.
QString refusal(QByteArrayView utf8);

QByteArray randomSalt();
QByteArray derive(const QString &password, const QByteArray &salt, int iterations);
// Compares in time that depends only on the lengths, so that a refusal
// does not tell how many leading bytes matched.
bool equalTime(QByteArrayView a, QByteArrayView b);

} // namespace VexDb::Password
