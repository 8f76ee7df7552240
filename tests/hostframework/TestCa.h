#pragma once

#include <QString>

// Certificates made for one test with the openssl command: an authority and
// a server certificate it signed for 127.0.0.1 and localhost, in dir.
struct TestCa
{
    QString caCert;     // PEM
    QString serverCert; // PEM, signed by caCert
    QString serverKey;  // PEM, readable by its owner only

    // false with the reason in *error (openssl missing or failing).
    static bool make(const QString &dir, const QString &name, TestCa *out, QString *error);
};
