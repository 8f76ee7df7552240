#include "HostDisplays.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>

Q_LOGGING_CATEGORY(lcDisplays, "vex.displays", QtInfoMsg)

namespace HostDisplays {
namespace {

struct Handlers
{
    QMutex mutex;
    Handler message;
    Handler error;
    Handler information;
};

Handlers &handlers()
{
    static Handlers instance;
    return instance;
}

Handler current(Handler Handlers::*which)
{
    Handlers &all = handlers();
    QMutexLocker lock(&all.mutex);
    return all.*which;
}

void install(Handler Handlers::*which, Handler handler)
{
    Handlers &all = handlers();
    QMutexLocker lock(&all.mutex);
    all.*which = std::move(handler);
}

} // namespace

void setMessageHandler(Handler handler)
{
    install(&Handlers::message, std::move(handler));
}

void setErrorHandler(Handler handler)
{
    install(&Handlers::error, std::move(handler));
}

void setInformationHandler(Handler handler)
{
    install(&Handlers::information, std::move(handler));
}

// The handler runs outside the lock: a dialog may well show another text.
void showMessage(const QString &text)
{
    if (const Handler handler = current(&Handlers::message))
        handler(text);
    else
        qCWarning(lcDisplays).noquote() << text;
}

void showInformation(const QString &text)
{
    if (const Handler handler = current(&Handlers::information))
        handler(text);
    else
        showMessage(text);
}

void showError(const QString &text)
{
    if (const Handler handler = current(&Handlers::error))
        handler(text);
    else
        qCWarning(lcDisplays).noquote() << "Erro:" << text;
}

} // namespace HostDisplays
