#include "TlsSetup.h"

#include "ServerLog.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTimer>

#include <sys/stat.h>

namespace TlsSetup {

bool readSecretFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        *error = QStringLiteral("%1: arquivo inexistente ou inacessível").arg(path);
        return false;
    }
    // Any group or other bit: one that may be written could be swapped.
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        *error = QStringLiteral("%1 tem permissões para outros usuários (modo %2); use chmod 600")
                     .arg(path)
                     .arg(info.st_mode & 0777, 3, 8, QLatin1Char('0'));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: não foi possível ler: %2").arg(path, file.errorString());
        return false;
    }
    *bytes = file.read(maxBytes + 1);
    if (bytes->size() > maxBytes) {
        *error = QStringLiteral("%1: maior que %2 bytes").arg(path).arg(maxBytes);
        return false;
    }
    return true;
}

namespace {

constexpr qint64 MaxPemBytes = 1 << 20;
constexpr int SelfCheckMs = 5000;
constexpr int ExpiryWarningDays = 30;

// TLS 1.3 suites are all AEAD; of TLS 1.2's, forward-secret key exchange
// with authenticated encryption only (Mozilla's "intermediate", less DHE).
QList<QSslCipher> strongCiphers()
{
    QList<QSslCipher> ciphers;
    for (const QSslCipher &c : QSslConfiguration::supportedCiphers()) {
        const QString name = c.name();
        const bool tls13 = c.protocol() == QSsl::TlsV1_3 || name.startsWith(u"TLS_");
        const bool aead = name.contains(u"-GCM-") || name.contains(u"CHACHA20-POLY1305");
        if (tls13 || (name.startsWith(u"ECDHE-") && aead))
            ciphers << c;
    }
    return ciphers;
}

// A certificate outside its validity would fail every handshake while the
// server said it was ready.
bool inValidity(const QString &certFile, const QSslCertificate &cert, QString *error)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (now < cert.effectiveDate()) {
        *error = QStringLiteral("%1: o certificado só vale a partir de %2")
                     .arg(certFile, cert.effectiveDate().toString(Qt::ISODate));
        return false;
    }
    if (now > cert.expiryDate()) {
        *error = QStringLiteral("%1: o certificado venceu em %2")
                     .arg(certFile, cert.expiryDate().toString(Qt::ISODate));
        return false;
    }
    return true;
}

QSslKey readKey(const QByteArray &pem)
{
    for (QSsl::KeyAlgorithm algorithm : { QSsl::Rsa, QSsl::Ec, QSsl::Dsa }) {
        QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull())
            return key;
    }
    return {};
}

// One handshake with itself over loopback: OpenSSL only checks that the key
// belongs to the certificate when a connection starts, and a server that
// said it was ready while every handshake failed would look healthy.
bool handshakes(const QSslConfiguration &config, QString *reason)
{
    QSslServer listener;
    listener.setSslConfiguration(config);
    if (!listener.listen(QHostAddress::LocalHost, 0)) {
        *reason = listener.errorString();
        return false;
    }
    QEventLoop loop;
    QSslSocket client;
    client.setPeerVerifyMode(QSslSocket::VerifyNone); // the pair is checked, not the name
    bool ok = false;
    QObject::connect(&client, &QSslSocket::encrypted, &loop, [&] {
        ok = true;
        loop.quit();
    });
    QObject::connect(&client, &QSslSocket::errorOccurred, &loop, [&] {
        *reason = client.errorString();
        loop.quit();
    });
    QObject::connect(&listener, &QSslServer::errorOccurred, &loop,
                     [&](QSslSocket *socket, QAbstractSocket::SocketError) {
                         *reason = socket->errorString();
                         loop.quit();
                     });
    QTimer::singleShot(SelfCheckMs, &loop, [&] {
        *reason = QStringLiteral("sem resposta em %1 ms").arg(SelfCheckMs);
        loop.quit();
    });
    client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), listener.serverPort());
    loop.exec();
    return ok;
}

void warnIfExpiringSoon(const QString &certFile, const QSslCertificate &cert)
{
    const qint64 days = QDateTime::currentDateTimeUtc().daysTo(cert.expiryDate());
    if (days < ExpiryWarningDays)
        qCWarning(lcServer).noquote()
            << QStringLiteral("%1: o certificado vence em %2 (daqui a %3 dias); renove-o")
                   .arg(certFile, cert.expiryDate().toString(Qt::ISODate))
                   .arg(days);
}

} // namespace

bool load(const QString &certFile, const QString &keyFile, QSslConfiguration *config,
          QString *error)
{
    if (!QSslSocket::supportsSsl()) {
        *error = QStringLiteral("TLS indisponível: biblioteca OpenSSL não encontrada");
        return false;
    }
    QFile certs(certFile);
    if (!certs.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: não foi possível ler o certificado: %2")
                     .arg(certFile, certs.errorString());
        return false;
    }
    const QList<QSslCertificate> chain
        = QSslCertificate::fromData(certs.read(MaxPemBytes), QSsl::Pem);
    if (chain.isEmpty() || chain.first().isNull()) {
        *error = QStringLiteral("%1: não é um certificado PEM válido").arg(certFile);
        return false;
    }
    if (!inValidity(certFile, chain.first(), error))
        return false;
    QByteArray pem;
    if (!readSecretFile(keyFile, MaxPemBytes, &pem, error))
        return false;
    const QSslKey key = readKey(pem);
    if (key.isNull()) {
        *error = QStringLiteral("%1: não é uma chave privada PEM válida (sem senha)")
                     .arg(keyFile);
        return false;
    }
    *config = QSslConfiguration::defaultConfiguration();
    config->setLocalCertificateChain(chain);
    config->setPrivateKey(key);
    config->setProtocol(QSsl::TlsV1_2OrLater);
    config->setCiphers(strongCiphers());
    config->setPeerVerifyMode(QSslSocket::VerifyNone); // clients sign in, not certificates
    QString reason;
    if (!handshakes(*config, &reason)) {
        *error = QStringLiteral("%1 e %2 não servem juntos (a chave é deste certificado?): %3")
                     .arg(certFile, keyFile, reason);
        return false;
    }
    warnIfExpiringSoon(certFile, chain.first());
    return true;
}

QTcpSocket *accept(qintptr descriptor, const QSslConfiguration &config, QString *error)
{
    auto *socket = new QSslSocket;
    socket->setSslConfiguration(config);
    if (!socket->setSocketDescriptor(descriptor)) {
        *error = socket->errorString();
        delete socket;
        return nullptr;
    }
    socket->startServerEncryption();
    return socket;
}

} // namespace TlsSetup
