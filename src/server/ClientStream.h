#pragma once

#include <QByteArray>
#include <QObject>

class QTcpSocket;

// The byte stream of one client, as ClientConnection sees it: buffered
// reads with back-pressure, buffered writes, a close that sends what is
// pending first. A plain TCP client may end its sending side and still
// read (inputEnded); a TLS one ends both sides at once.
class ClientStream : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Bytes taken from the socket at a time; the line limit is enforced on
    // the connection's own buffer.
    static constexpr qint64 ReadChunk = 64 * 1024;

    // Bytes read and not yet taken.
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;
    // Bytes received and not taken, here or still in the kernel.
    virtual bool inputPending() const = 0;
    // The client sent all it will; what was read before still waits.
    virtual bool inputEnded() const = 0;
    virtual void write(const QByteArray &data) = 0;
    // Bytes written and not yet taken by the kernel.
    virtual qint64 bytesToWrite() const = 0;
    virtual void flush() = 0;
    // Sends what is pending, then closes; disconnected() follows.
    virtual void closeWhenSent() = 0;
    // Closes at once, dropping what is pending; disconnected() follows.
    virtual void abort() = 0;
    virtual bool isClosed() const = 0;

    // Plain TCP: the socket as it is; TLS: a socket whose handshake starts.
    // Null with *error when the descriptor is gone.
    static ClientStream *plain(qintptr descriptor, QString *error);
    static ClientStream *wrap(QTcpSocket *socket);

Q_SIGNALS:
    void readyRead();
    void bytesWritten();
    void disconnected();
};
