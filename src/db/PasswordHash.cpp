#include "PasswordHash.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QList>
#include <QStringDecoder>

namespace VexDb::Password {

QByteArray randomSalt()
{
    QByteArray salt(SaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(salt.begin(), salt.end());
    return salt;
}

QByteArray derive(const QString &password, const QByteArray &salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              iterations, HashBytes);
}

QString refusal(QByteArrayView utf8)
{
    if (utf8.size() > MaxBytes)
        return QStringLiteral("password longer than %1 bytes refused").arg(MaxBytes);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(utf8);
    if (decoder.hasError())
        return QStringLiteral("password refused: not valid UTF-8 text");
    if (text.toUcs4().size() < MinCharacters)
        return QStringLiteral("password refused: at least %1 characters").arg(MinCharacters);
    return QString();
}

bool equalTime(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace VexDb::Password
