#pragma once

#include <QByteArrayView>
#include <QHostAddress>
#include <QString>

// The PROXY protocol header (versions 1 and 2) a balancer sends before the
// client's first byte, naming the client it relays.
namespace ProxyHeader {

// Longer headers (version 2 with many extensions) are refused.
inline constexpr qsizetype MaxBytes = 16 + 2048;
// Enough to tell a complete version 1 header, or version 2's fixed part.
inline constexpr qsizetype FirstRead = 108;

struct Parse
{
    enum class State { Incomplete, Invalid, Complete };
    State state = State::Incomplete;
    qsizetype length = 0; // Complete: the header's bytes, to consume
    // Complete: the client's address; null for a LOCAL (or UNKNOWN)
    // connection, which the balancer opened itself (a health check).
    QHostAddress source;
    QString reason; // Invalid: why, for the log
};

// Reads a header at the start of `data` (the bytes received so far).
Parse parse(QByteArrayView data);

} // namespace ProxyHeader
