#include "PlainStream.h"

#include <QScopedValueRollback>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Sent bytes are cut from the front of the output once they pass this.
constexpr qsizetype CompactAfter = 1 << 20;

bool transient(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}
} // namespace

PlainStream *PlainStream::adopt(qintptr descriptor, QString *error)
{
    const int fd = int(descriptor);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        *error = QString::fromLocal8Bit(::strerror(errno));
        ::close(fd);
        return nullptr;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return new PlainStream(fd);
}

PlainStream::PlainStream(int fd)
    : m_fd(fd)
    , m_reader(new QSocketNotifier(fd, QSocketNotifier::Read, this))
    , m_writer(new QSocketNotifier(fd, QSocketNotifier::Write, this))
{
    m_writer->setEnabled(false);
    connect(m_reader, &QSocketNotifier::activated, this, &PlainStream::receive);
    connect(m_writer, &QSocketNotifier::activated, this, &PlainStream::send);
}

PlainStream::~PlainStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void PlainStream::receive()
{
    if (m_fd < 0 || m_ended)
        return;
    if (m_in.size() >= ReadChunk) {
        m_reader->setEnabled(false); // read() enables it again
        return;
    }
    char buffer[ReadChunk];
    const ssize_t n = ::recv(m_fd, buffer, size_t(ReadChunk - m_in.size()), 0);
    if (n < 0 && transient(errno))
        return;
    if (n < 0) {
        gone(); // reset by the client
        return;
    }
    if (n == 0) {
        m_ended = true; // its sending side only: replies still go out
        m_reader->setEnabled(false);
    } else {
        m_in.append(buffer, n);
    }
    Q_EMIT readyRead();
}

QByteArray PlainStream::read(qint64 maxBytes)
{
    const QByteArray taken = m_in.left(maxBytes);
    m_in.remove(0, taken.size());
    if (m_fd >= 0 && !m_ended && !m_closing && m_in.size() < ReadChunk)
        m_reader->setEnabled(true);
    return taken;
}

bool PlainStream::inputPending() const
{
    if (!m_in.isEmpty())
        return true;
    int pending = 0;
    return m_fd >= 0 && !m_ended && ::ioctl(m_fd, FIONREAD, &pending) == 0 && pending > 0;
}

void PlainStream::write(const QByteArray &data)
{
    if (m_fd < 0 || m_closing)
        return;
    m_out.append(data);
    send();
}

void PlainStream::send()
{
    qint64 written = 0;
    while (m_fd >= 0 && m_sent < m_out.size()) {
        const ssize_t n
            = ::send(m_fd, m_out.constData() + m_sent, size_t(m_out.size() - m_sent), MSG_NOSIGNAL);
        if (n > 0) {
            m_sent += n;
            written += n;
        } else if (n < 0 && transient(errno)) {
            break;
        } else {
            gone(); // the client is gone for good
            return;
        }
    }
    if (m_sent == m_out.size()) {
        m_out.clear();
        m_sent = 0;
    } else if (m_sent > CompactAfter) {
        m_out.remove(0, m_sent);
        m_sent = 0;
    }
    m_writer->setEnabled(!m_out.isEmpty());
    if (m_out.isEmpty() && m_closing) {
        gone();
        return;
    }
    // As QTcpSocket does: never from inside its own handler.
    if (written > 0 && !m_inBytesWritten) {
        const QScopedValueRollback<bool> guard(m_inBytesWritten, true);
        Q_EMIT bytesWritten();
    }
}

void PlainStream::closeWhenSent()
{
    if (m_fd < 0 || m_closing)
        return;
    m_closing = true;
    m_reader->setEnabled(false);
    send();
}

void PlainStream::gone()
{
    if (m_fd < 0)
        return;
    m_reader->setEnabled(false);
    m_writer->setEnabled(false);
    ::close(m_fd);
    m_fd = -1;
    m_out.clear();
    m_sent = 0;
    Q_EMIT disconnected();
}
