#include "ClientStream.h"

#include "PlainStream.h"
#include "ServerLog.h"

#include <QTcpSocket>

#include <sys/ioctl.h>

namespace {

// A QTcpSocket (for TLS, a QSslSocket): Qt closes both directions when the
// client ends its sending side, which TLS cannot tell apart from a close.
class QtStream final : public ClientStream
{
public:
    explicit QtStream(QTcpSocket *socket)
        : m_socket(socket)
    {
        m_socket->setParent(this);
        m_socket->setReadBufferSize(ReadChunk);
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(m_socket, &QTcpSocket::readyRead, this, &ClientStream::readyRead);
        connect(m_socket, &QTcpSocket::bytesWritten, this, &ClientStream::bytesWritten);
        connect(m_socket, &QTcpSocket::disconnected, this, &QtStream::gone);
        connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            if (e != QAbstractSocket::RemoteHostClosedError)
                qCDebug(lcServer) << "erro de socket:" << m_socket->errorString();
            if (e == QAbstractSocket::SslHandshakeFailedError
                || e == QAbstractSocket::SslInternalError
                || e == QAbstractSocket::SslInvalidUserDataError) {
                abort(); // not TLS, or not ours: nothing more to say to it
                return;
            }
            if (m_socket->state() == QAbstractSocket::UnconnectedState)
                gone();
        });
    }

    qint64 bytesAvailable() const override { return m_socket->bytesAvailable(); }
    QByteArray read(qint64 maxBytes) override { return m_socket->read(maxBytes); }
    bool inputPending() const override
    {
        if (m_socket->bytesAvailable() > 0)
            return true;
        int pending = 0;
        const qintptr fd = m_socket->socketDescriptor();
        return fd >= 0 && ::ioctl(int(fd), FIONREAD, &pending) == 0 && pending > 0;
    }
    bool inputEnded() const override { return false; }
    void write(const QByteArray &data) override { m_socket->write(data); }
    qint64 bytesToWrite() const override { return m_socket->bytesToWrite(); }
    void flush() override { m_socket->flush(); }
    void closeWhenSent() override
    {
        m_socket->flush();
        m_socket->disconnectFromHost(); // writes what is pending first
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            gone();
    }
    void abort() override
    {
        m_socket->abort();
        gone();
    }
    bool isClosed() const override { return m_gone; }

private:
    void gone()
    {
        if (m_gone)
            return;
        m_gone = true;
        Q_EMIT disconnected();
    }

    QTcpSocket *m_socket;
    bool m_gone = false;
};

} // namespace

ClientStream *ClientStream::plain(qintptr descriptor, QString *error)
{
    return PlainStream::adopt(descriptor, error);
}

ClientStream *ClientStream::wrap(QTcpSocket *socket)
{
    return new QtStream(socket);
}
