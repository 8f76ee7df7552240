#include "VexErrors.h"

EVexError::EVexError(const QString &message)
    : m_message(message)
    , m_utf8(message.toUtf8())
{
}
