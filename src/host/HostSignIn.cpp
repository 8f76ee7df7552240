#include "HostSignIn.h"

#include "net/NetSession.h"
#include "net/TNetConnection.h"
#include "services/HostConfig.h"
#include "VexErrors.h"

#include <QJsonObject>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSignIn, "vex.host.signin", QtInfoMsg)

namespace HostSignIn {
namespace {
constexpr int kSignInCode = -32001;

void aimAtConfiguredServer(TNetConnection &net)
{
    net.BeforeConnect = [](TNetConnection *sender) {
        sender->SetHost(HostConfig::current().serverHost);
        sender->SetPort(HostConfig::current().serverPort);
    };
}

StartResult signIn(TNetConnection &net, const SignInAttempts::Ask &ask)
{
    const SignInAttempts::Outcome outcome = SignInAttempts::run(net, ask);
    if (outcome.signedIn)
        return {Start::SignedIn, QString()};
    if (outcome.gaveUp)
        return {Start::GaveUp, QStringLiteral("Entrada cancelada; nenhuma tela foi aberta.")};
    return {Start::Refused,
            QStringLiteral("Acesso não permitido depois de %1 tentativas: %2")
                .arg(SignInAttempts::kTries)
                .arg(outcome.message)};
}
} // namespace

StartResult atStart(const SignInAttempts::Ask &ask)
{
    TNetConnection net;
    aimAtConfiguredServer(net);
    TServerReply probe;
    try {
        probe = net.Call(QStringLiteral("session.resume"), {QString()});
    } catch (const EVexError &error) {
        qCWarning(lcSignIn).noquote() << "sign-in probe failed:" << error.message();
        return {Start::Unreachable, error.message()};
    }
    if (probe.ok) {
        // Empty: this server asks no sign-in.
        const bool free = probe.result.toObject().value(QLatin1String("token")).toString()
                              .isEmpty();
        return {free ? Start::NotNeeded : Start::SignedIn, QString()};
    }
    if (probe.errorCode != kSignInCode) {
        // A server from before sign-ins does not know the method.
        qCInfo(lcSignIn).noquote() << "no sign-in:" << probe.errorMessage;
        return {Start::NotNeeded, QString()};
    }
    NetSession::shared().setSignInRequired(true);
    return signIn(net, ask);
}

bool startMayGoOn(Start outcome)
{
    return outcome != Start::GaveUp && outcome != Start::Refused;
}

void askAgainWhenRefused(const SignInAttempts::Ask &ask)
{
    NetSession::shared().signInHandler = [ask](TNetConnection *sender, const QString &reason) {
        return SignInAttempts::run(*sender, ask, reason).signedIn;
    };
}

} // namespace HostSignIn
