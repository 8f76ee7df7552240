#include "SafeCall.h"

#include "Exceptions.h"
#include "HostDisplays.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSafeCall, "vex.safecall", QtInfoMsg)

namespace {

// The display itself must not let an exception escape either.
void display(const QString &text) noexcept
{
    try {
        HostDisplays::showError(text);
    } catch (...) {
        qCCritical(lcSafeCall).noquote() << "Error display failed while showing:" << text;
    }
}

} // namespace

bool SafeCall(const std::function<void()> &handler) noexcept
{
    try {
        if (handler)
            handler();
        return true;
    } catch (const EAbort &) {
        // Its message was already shown.
    } catch (const ECallCancelled &cancelled) {
        try {
            HostDisplays::showInformation(cancelled.message());
        } catch (...) {
            qCWarning(lcSafeCall).noquote() << cancelled.message();
        }
    } catch (const EVexError &error) {
        display(error.message());
    } catch (const std::exception &error) {
        display(QString::fromUtf8(error.what()));
    } catch (...) {
        display(QStringLiteral("Erro inesperado."));
    }
    return false;
}
