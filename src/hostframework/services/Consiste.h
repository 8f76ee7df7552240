#pragma once

#include "TServerReply.h"
#include "TDataPacket.h"

#include <QString>

// Checking and helper routines shared by every screen.
namespace Consiste {
bool EmptyString(const QString &text);   // blank, or only mask blanks/literals
QString Replicate(const QString &text, int count); // "" for count <= 0
QString Ajusta(const QString &code, int width);    // code fitted to width, zero padded left
// Shows text through HostDisplays::showMessage and throws EAbort, ending the
// user action. `abort` is the screens' "this is an error" flag and is true at
// every call; there is no form that returns: a screen that must go on after
// a text shows it through HostDisplays instead.
[[noreturn]] void MensErro(const QString &text, bool abort = true);
// The reply's data packet, or throws EServerError with the server's message
// (or EDataPacketError when the result is not a packet).
TDataPacket CheckResultServ(const TServerReply &reply, bool raise = true, int kind = 0);
} // namespace Consiste
