#pragma once

#include <QString>

#include <functional>

// Where the framework shows texts to the user. The host installs dialogs;
// tests install recorders. Without a handler the text goes to the log.
namespace HostDisplays {
using Handler = std::function<void(const QString &text)>;

void setMessageHandler(Handler handler); // Consiste::MensErro
void setErrorHandler(Handler handler);   // the standard error display
// What the user did, told back (a cancelled call); without its own handler
// it goes to the message handler.
void setInformationHandler(Handler handler);
void showMessage(const QString &text);
void showError(const QString &text);
void showInformation(const QString &text);
} // namespace HostDisplays
