#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

// The certificate authorities a TLS connection trusts, read from a PEM file.
namespace CaCertificates {
// Empty with a Portuguese reason when the file cannot be read or holds no
// certificate.
QList<QSslCertificate> read(const QString &path, QString *reason);
} // namespace CaCertificates
