#pragma once

#include "net/SignInAttempts.h"

#include <QString>

class QWidget;

// The host's sign-in: at start it asks the server of vex.ini whether a
// sign-in is needed (session.resume with no token: an empty token back means
// none), and if so gives the person their tries before any screen opens.
namespace HostSignIn {

enum class Start {
    NotNeeded,   // the server asks no sign-in (loopback, ./run)
    SignedIn,
    Unreachable, // left to the screen to report, as without sign-in
    GaveUp,      // the dialog was cancelled
    Refused,     // every try refused
};

struct StartResult
{
    Start outcome = Start::NotNeeded;
    QString message; // GaveUp, Refused: the text to end with; Unreachable: the reason
};

// ask: the dialog's (SignInDialog::asker) unless a test gives its own.
StartResult atStart(const SignInAttempts::Ask &ask);
bool startMayGoOn(Start outcome);

// From then on, a call refused for an expired session asks again
// (the process's NetSession handler).
void askAgainWhenRefused(const SignInAttempts::Ask &ask);

} // namespace HostSignIn
