#pragma once

#include "VexErrors.h"

// A client argument the server refuses (bad flag, malformed list, bad date):
// answered with error -32000 and this Portuguese message.
class EArgumentRefused final : public EVexError
{
public:
    using EVexError::EVexError;
};

// Wrong number or JSON type of params: answered with error -32602.
class EInvalidParams final : public EVexError
{
public:
    using EVexError::EVexError;
};
