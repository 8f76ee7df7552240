#include "TestCa.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

bool openssl(const QStringList &arguments, QString *error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        *error = QStringLiteral("openssl %1: %2 %3")
                     .arg(arguments.join(u' '), process.errorString(),
                          QString::fromUtf8(process.readAll()));
        return false;
    }
    return true;
}

bool writeText(const QString &path, const QByteArray &text, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

bool TestCa::make(const QString &dir, const QString &name, TestCa *out, QString *error)
{
    const QDir base(dir);
    const auto path = [&](const char *suffix) {
        return base.filePath(name + QLatin1String(suffix));
    };
    const QStringList ec = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                            "-nodes"};
    const QString extensions = path("-ext.cnf");
    TestCa ca{path("-ca.pem"), path("-server.pem"), path("-server.key")};
    const bool made =
        openssl(QStringList{"req", "-x509"} + ec
                    + QStringList{"-keyout", path("-ca.key"), "-out", ca.caCert, "-days", "2",
                                  "-subj", "/CN=Autoridade de teste " + name},
                error)
        && openssl(QStringList{"req"} + ec
                       + QStringList{"-keyout", ca.serverKey, "-out", path("-server.csr"),
                                     "-subj", "/CN=127.0.0.1"},
                   error)
        && writeText(extensions,
                     "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                     "basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n",
                     error)
        && openssl({"x509", "-req", "-in", path("-server.csr"), "-CA", ca.caCert, "-CAkey",
                    path("-ca.key"), "-CAcreateserial", "-out", ca.serverCert, "-days", "2",
                    "-extfile", extensions},
                   error);
    if (!made)
        return false;
    QFile::setPermissions(ca.serverKey, QFile::ReadOwner | QFile::WriteOwner);
    *out = ca;
    return true;
}
