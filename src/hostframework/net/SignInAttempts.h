#pragma once

#include <QString>

#include <functional>

class TNetConnection;

// The tries a person gets to sign in: each asks for login and password
// (showing why the last one was refused) and sends session.login. Widget
// free: the dialog is the ask function.
namespace SignInAttempts {

constexpr int kTries = 3;

// Shows message (empty on the first try), fills login and password; false
// when the person gave up.
using Ask = std::function<bool(const QString &message, QString *login, QString *password)>;

struct Outcome
{
    bool signedIn = false;
    bool gaveUp = false;
    QString message; // why the last try failed
};

// firstMessage: why the person is asked (a session that expired), or empty.
Outcome run(TNetConnection &net, const Ask &ask, const QString &firstMessage = QString(),
            int tries = kTries);

} // namespace SignInAttempts
