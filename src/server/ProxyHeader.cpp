#include "ProxyHeader.h"

#include <QList>

namespace ProxyHeader {

namespace {

constexpr QByteArrayView V1Prefix("PROXY ");
constexpr char V2Signature[] = "\r\n\r\n\0\r\nQUIT\n";
constexpr QByteArrayView V2Prefix(V2Signature, 12);
constexpr qsizetype V1MaxBytes = 107;

Parse invalid(const QString &why)
{
    Parse p;
    p.state = Parse::State::Invalid;
    p.reason = why;
    return p;
}

Parse complete(qsizetype length, const QHostAddress &source = {})
{
    Parse p;
    p.state = Parse::State::Complete;
    p.length = length;
    p.source = source;
    return p;
}

bool startsLike(QByteArrayView data, QByteArrayView prefix)
{
    const qsizetype n = std::min(data.size(), prefix.size());
    return data.first(n) == prefix.first(n);
}

bool port(QByteArrayView text)
{
    bool ok = false;
    const uint value = QByteArray(text.data(), text.size()).toUInt(&ok);
    return ok && value <= 65535 && !text.startsWith('+') && !text.startsWith('-');
}

// "PROXY TCP4|TCP6 SOURCE DESTINATION SPORT DPORT\r\n" or "PROXY UNKNOWN ...\r\n".
Parse version1(QByteArrayView data)
{
    const qsizetype end = data.first(std::min(data.size(), V1MaxBytes)).indexOf("\r\n");
    if (end < 0) {
        return data.size() >= V1MaxBytes ? invalid(QStringLiteral("cabeçalho v1 sem fim"))
                                         : Parse {};
    }
    const QList<QByteArray> fields = QByteArray(data.data(), end).split(' ');
    if (fields.size() >= 2 && fields.at(1) == "UNKNOWN")
        return complete(end + 2);
    const bool v4 = fields.size() == 6 && fields.at(1) == "TCP4";
    const bool v6 = fields.size() == 6 && fields.at(1) == "TCP6";
    QHostAddress source, destination;
    const auto family = v4 ? QAbstractSocket::IPv4Protocol : QAbstractSocket::IPv6Protocol;
    if ((!v4 && !v6) || !source.setAddress(QString::fromLatin1(fields.at(2)))
        || !destination.setAddress(QString::fromLatin1(fields.at(3))) || source.protocol() != family
        || destination.protocol() != family || !port(fields.at(4)) || !port(fields.at(5)))
        return invalid(QStringLiteral("cabeçalho v1 mal formado"));
    return complete(end + 2, source);
}

quint32 bigEndian32(const uchar *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

// Signature, version and command, family, length, then the addresses.
Parse version2(QByteArrayView data)
{
    constexpr qsizetype Fixed = 16;
    if (data.size() < Fixed)
        return {};
    const auto *bytes = reinterpret_cast<const uchar *>(data.data());
    const uchar versionCommand = bytes[12];
    if (versionCommand >> 4 != 2 || (versionCommand & 0x0f) > 1)
        return invalid(QStringLiteral("cabeçalho v2 de versão ou comando desconhecido"));
    const qsizetype length = Fixed + (qsizetype(bytes[14]) << 8 | bytes[15]);
    if (length > MaxBytes)
        return invalid(QStringLiteral("cabeçalho v2 longo demais"));
    if (data.size() < length)
        return {};
    const bool local = (versionCommand & 0x0f) == 0;
    const uchar family = bytes[13];
    const uchar *address = bytes + Fixed;
    if (local || (family != 0x11 && family != 0x21))
        return complete(length); // the balancer's own, or not an IP client
    if (family == 0x11 && length >= Fixed + 12)
        return complete(length, QHostAddress(bigEndian32(address)));
    if (family == 0x21 && length >= Fixed + 36)
        return complete(length, QHostAddress(address));
    return invalid(QStringLiteral("cabeçalho v2 curto para o endereço"));
}

} // namespace

Parse parse(QByteArrayView data)
{
    if (data.isEmpty())
        return {};
    if (startsLike(data, V1Prefix))
        return data.size() < V1Prefix.size() ? Parse {} : version1(data);
    if (startsLike(data, V2Prefix))
        return data.size() < V2Prefix.size() ? Parse {} : version2(data);
    return invalid(QStringLiteral("a conexão não começa pelo cabeçalho PROXY"));
}

} // namespace ProxyHeader
