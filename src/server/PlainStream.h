#pragma once

#include "ClientStream.h"

class QSocketNotifier;

// A plain TCP client on its own descriptor. Unlike QTcpSocket, which closes
// the whole connection when the client ends its sending side, it keeps
// writing after the end of input: a scripted client that sends its requests
// and shuts down its side (nc -N) still gets every reply.
class PlainStream final : public ClientStream
{
public:
    // Null with *error when the descriptor is unusable.
    static PlainStream *adopt(qintptr descriptor, QString *error);
    ~PlainStream() override;

    qint64 bytesAvailable() const override { return m_in.size(); }
    QByteArray read(qint64 maxBytes) override;
    bool inputPending() const override;
    bool inputEnded() const override { return m_ended; }
    void write(const QByteArray &data) override;
    qint64 bytesToWrite() const override { return m_out.size() - m_sent; }
    void flush() override { send(); }
    void closeWhenSent() override;
    void abort() override { gone(); }
    bool isClosed() const override { return m_fd < 0; }

private:
    explicit PlainStream(int fd);
    void receive();
    void send();
    void gone();

    int m_fd;
    QSocketNotifier *m_reader;
    QSocketNotifier *m_writer;
    QByteArray m_in;
    QByteArray m_out;
    qsizetype m_sent = 0; // bytes of m_out already with the kernel
    bool m_ended = false;
    bool m_closing = false;
    bool m_inBytesWritten = false;
};
