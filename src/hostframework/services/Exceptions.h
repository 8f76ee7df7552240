#pragma once

#include "VexErrors.h"

#include <exception>

// EAbort is the silent failure: it ends the user action after its message
// was already shown.
class EAbort final : public std::exception
{
public:
    const char *what() const noexcept override { return "EAbort"; }
};

// The user gave up on a server call (Esc, "Cancelar"): told as an
// information, not as an error; an ENetError still for whoever catches those.
class ECallCancelled final : public ENetError
{
public:
    ECallCancelled() : ENetError(QStringLiteral("Operação cancelada pelo usuário.")) {}
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
