#include "SessionToken.h"

#include "PasswordHash.h"

#include <QList>
#include <QMessageAuthenticationCode>

namespace SessionToken {

namespace {

constexpr auto Base64Url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;
const QByteArray Version = QByteArrayLiteral("v2");
const QByteArray VersionBefore = QByteArrayLiteral("v1");
constexpr qsizetype MaxTokenLength = 512;

QByteArray signature(const QByteArray &key, const QByteArray &signedPart)
{
    return QMessageAuthenticationCode::hash(signedPart, key, QCryptographicHash::Sha256);
}

} // namespace

QString issue(const QByteArray &key, const QString &login, qint64 expiryUnixS, int generation)
{
    const QByteArray signedPart = Version + '.' + login.toUtf8().toBase64(Base64Url) + '.'
        + QByteArray::number(expiryUnixS) + '.' + QByteArray::number(generation);
    return QString::fromLatin1(signedPart + '.' + signature(key, signedPart).toBase64(Base64Url));
}

bool check(const QByteArray &key, const QString &token, qint64 nowUnixS, qint64 maxValidityS,
           Claims *claims)
{
    if (token.size() > MaxTokenLength)
        return false;
    const QByteArray text = token.toLatin1();
    const qsizetype lastDot = text.lastIndexOf('.');
    if (lastDot < 0)
        return false;
    const QByteArray signedPart = text.left(lastDot);
    const auto mac = QByteArray::fromBase64Encoding(text.mid(lastDot + 1),
                                                    QByteArray::Base64UrlEncoding
                                                        | QByteArray::AbortOnBase64DecodingErrors);
    if (!mac || !VexDb::Password::equalTime(mac.decoded, signature(key, signedPart)))
        return false;
    // Signed by this key: the parts are ours, but are still read with care.
    const QList<QByteArray> parts = signedPart.split('.');
    const bool before = parts.size() == 3 && parts.at(0) == VersionBefore;
    if (!before && (parts.size() != 4 || parts.at(0) != Version))
        return false;
    bool generationOk = true;
    const int generation = before ? 0 : parts.at(3).toInt(&generationOk);
    if (!generationOk || generation < 0)
        return false;
    const auto login = QByteArray::fromBase64Encoding(
        parts.at(1), QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
    bool ok = false;
    const qint64 expiry = parts.at(2).toLongLong(&ok);
    if (!login || login.decoded.isEmpty() || !ok || expiry <= nowUnixS
        || expiry > nowUnixS + maxValidityS)
        return false;
    claims->login = QString::fromUtf8(login.decoded);
    claims->expiryUnixS = expiry;
    claims->generation = generation;
    return true;
}

} // namespace SessionToken
