#pragma once

#include <QByteArray>
#include <QSslConfiguration>
#include <QString>

class QTcpSocket;

namespace TlsSetup {

// Reads a secret the server is given by path; refuses one with any
// permission for group or others (named in *error), or longer than maxBytes.
bool readSecretFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error);

// The server side of TLS 1.2 or later from a PEM certificate (chain) and
// its key; false with a one-line reason naming the file at fault.
bool load(const QString &certFile, const QString &keyFile, QSslConfiguration *config,
          QString *error);

// A socket for an accepted descriptor that starts the server handshake in
// the calling thread; null when the descriptor is gone.
QTcpSocket *accept(qintptr descriptor, const QSslConfiguration &config, QString *error);

} // namespace TlsSetup
