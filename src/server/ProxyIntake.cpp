#include "ProxyIntake.h"

#include "ProxyHeader.h"
#include "ServerLog.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

ProxyIntake::ProxyIntake(qintptr descriptor, const QString &balancer, QObject *parent)
    : QObject(parent)
    , m_fd(int(descriptor))
    , m_balancer(balancer)
    , m_notifier(new QSocketNotifier(descriptor, QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &ProxyIntake::receive);
    QTimer::singleShot(TimeoutMs, this,
                       [this] { fail(QStringLiteral("sem cabeçalho em %1 ms").arg(TimeoutMs)); });
}

ProxyIntake::~ProxyIntake()
{
    if (m_fd >= 0) {
        m_notifier->setEnabled(false);
        ::close(m_fd);
    }
}

// Looks at what has come without taking it: bytes of a header not yet
// complete all belong to it and are taken; once it is complete, exactly its
// length is.
void ProxyIntake::receive()
{
    char buffer[ProxyHeader::MaxBytes];
    const qsizetype room = ProxyHeader::MaxBytes - m_header.size();
    const ssize_t n = ::recv(m_fd, buffer, size_t(room), MSG_PEEK | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n <= 0) {
        fail(QStringLiteral("conexão fechada antes do cabeçalho"));
        return;
    }
    const QByteArray seen = m_header + QByteArray(buffer, n);
    const ProxyHeader::Parse parse = ProxyHeader::parse(seen);
    if (parse.state == ProxyHeader::Parse::State::Invalid) {
        fail(parse.reason);
        return;
    }
    const qsizetype take
        = parse.state == ProxyHeader::Parse::State::Complete ? parse.length - m_header.size() : n;
    if (::recv(m_fd, buffer, size_t(take), MSG_DONTWAIT) != take) {
        fail(QStringLiteral("leitura do cabeçalho interrompida"));
        return;
    }
    m_header.append(buffer, take);
    if (parse.state != ProxyHeader::Parse::State::Complete)
        return;
    m_notifier->setEnabled(false);
    const int fd = m_fd;
    m_fd = -1;
    Q_EMIT ready(fd, parse.source);
    deleteLater();
}

void ProxyIntake::fail(const QString &why)
{
    if (m_fd < 0)
        return;
    qCWarning(lcServer).noquote()
        << QStringLiteral("conexão do balanceador %1 fechada: %2").arg(m_balancer, why);
    m_notifier->setEnabled(false);
    ::close(m_fd);
    m_fd = -1;
    Q_EMIT failed();
    deleteLater();
}
