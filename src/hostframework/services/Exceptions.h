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

// An error answer of the application server.
class EServerError final : public EVexError
{
public:
    EServerError(int code, const QString &message) : EVexError(message), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};
