#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Every failure is an exception. EAbort is the silent one: it ends the user
// action after its message was already shown.
class EAbort final : public std::exception
{
public:
    const char *what() const noexcept override { return "EAbort"; }
};

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
class ENetError final : public EVexError
{
public:
    using EVexError::EVexError;
};

// An error answer of the application server.
class EServerError final : public EVexError
{
public:
    EServerError(int code, const QString &message) : EVexError(message), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};
