#include "CaCertificates.h"

#include <QFile>

namespace CaCertificates {

QList<QSslCertificate> read(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = QStringLiteral("aponta para um arquivo que não pode ser lido (%1)")
                      .arg(file.errorString());
        return {};
    }
    // A certificate file is a few kilobytes; a bundle at most a few hundred.
    constexpr qint64 kMaxBytes = 16 * 1024 * 1024;
    if (file.size() > kMaxBytes) {
        *reason = QStringLiteral("aponta para um arquivo grande demais para certificados");
        return {};
    }
    QList<QSslCertificate> certificates = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    if (certificates.isEmpty())
        *reason = QStringLiteral("aponta para um arquivo sem nenhum certificado PEM");
    return certificates;
}

} // namespace CaCertificates
