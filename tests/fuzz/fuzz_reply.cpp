// The client's side of the wire: a reply line from the server, and the data
// packet it carries, loaded and written back (the text must load again to
// the same packet).
#include "JsonRpc.h"
#include "TDataPacket.h"
#include "VexErrors.h"

#include <QByteArrayView>
#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView line(reinterpret_cast<const char *>(data), qsizetype(size));
    QJsonValue result;
    try {
        qint64 id = 0;
        const TServerReply reply = JsonRpc::parseResponse(line, &id);
        if (!reply.ok)
            return 0;
        result = reply.result;
    } catch (const EVexError &) {
        // Not a reply: try the bytes as a packet on their own.
        result = QJsonDocument::fromJson(line.toByteArray()).object();
    }
    try {
        const TDataPacket packet = TDataPacket::fromJson(result);
        const QByteArray text = packet.toJsonText();
        const TDataPacket again
            = TDataPacket::fromJson(QJsonDocument::fromJson(text).object());
        if (!(again == packet))
            std::abort(); // the written text does not load back the same
        (void)packet.toJson();
    } catch (const EVexError &) {
    }
    return 0;
}
