#include "Consiste.h"

#include "Exceptions.h"
#include "HostDisplays.h"

namespace Consiste {
namespace {

// What an edit mask shows where nothing was typed: its blank character and
// its literals.
bool isMaskFiller(QChar c)
{
    static const QString fillers = QStringLiteral(" _./-:,");
    return fillers.contains(c);
}

} // namespace

bool EmptyString(const QString &text)
{
    for (const QChar c : text) {
        if (!isMaskFiller(c))
            return false;
    }
    return true;
}

QString Replicate(const QString &text, int count)
{
    return count <= 0 ? QString() : text.repeated(count);
}

// A code longer than width is returned whole: cutting it would silently
// name another branch.
QString Ajusta(const QString &code, int width)
{
    const QString trimmed = code.trimmed();
    if (trimmed.size() >= width)
        return trimmed;
    return QString(width - trimmed.size(), u'0') + trimmed;
}

void MensErro(const QString &text, bool abort)
{
    Q_UNUSED(abort)
    HostDisplays::showMessage(text);
    throw EAbort();
}

TDataPacket CheckResultServ(const TServerReply &reply, bool raise, int kind)
{
    Q_UNUSED(kind) // 0: the result is a data packet, the only kind in use
    if (!reply.ok) {
        if (!raise)
            return {};
        const QString message = reply.errorMessage.trimmed().isEmpty()
            ? QStringLiteral("O servidor de aplicação recusou a chamada (código %1).")
                  .arg(reply.errorCode)
            : reply.errorMessage;
        throw EServerError(reply.errorCode, message);
    }
    return TDataPacket::fromJson(reply.result);
}

} // namespace Consiste
