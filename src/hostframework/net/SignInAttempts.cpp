#include "SignInAttempts.h"

#include "TNetConnection.h"
#include "VexErrors.h"

namespace SignInAttempts {

Outcome run(TNetConnection &net, const Ask &ask, const QString &firstMessage, int tries)
{
    Outcome outcome;
    outcome.message = firstMessage;
    for (int attempt = 1; attempt <= tries; ++attempt) {
        QString login;
        QString password;
        if (!ask(outcome.message, &login, &password)) {
            outcome.gaveUp = true;
            return outcome;
        }
        try {
            const TServerReply reply = net.SignIn(login, password);
            password.fill(u'\0'); // not kept past the try
            if (reply.ok) {
                outcome.signedIn = true;
                outcome.message.clear();
                return outcome;
            }
            outcome.message = reply.errorMessage;
        } catch (const EVexError &error) {
            // An unreachable server is said in the dialog too, and costs a try.
            outcome.message = error.message();
        }
    }
    return outcome;
}

} // namespace SignInAttempts
