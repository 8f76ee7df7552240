#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Failures both sides of the wire raise. Every failure is an exception.
class EVexError : public std::exception
{
public:
    explicit EVexError(const QString &message);
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A data packet that is not well formed, or does not fit its data set.
class EDataPacketError final : public EVexError
{
public:
    using EVexError::EVexError;
};

class EDatabaseError final : public EVexError
{
public:
    using EVexError::EVexError;
};

// Transport failures: unreachable server, timeout, broken reply.
class ENetError : public EVexError
{
public:
    using EVexError::EVexError;
};
