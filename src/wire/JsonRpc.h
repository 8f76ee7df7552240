#pragma once

#include "TServerReply.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonValue>
#include <QString>

// JSON-RPC 2.0, one compact object per line, UTF-8, ended by '\n'.
namespace JsonRpc {
enum ErrorCode {
    ParseError = -32700,
    InvalidRequest = -32600,
    MethodNotFound = -32601,
    InvalidParams = -32602,
    ServerError = -32000, // refused argument or database failure
};

struct Request
{
    QJsonValue id;
    QString method;
    QJsonArray params;
};

struct RequestParse
{
    bool ok = false;
    Request request;
    int errorCode = 0;      // ParseError or InvalidRequest when !ok
    QString errorMessage;   // Portuguese, fit to show a user
    // A well-formed request without "id" (JSON-RPC 2.0: a notification).
    // Not ok, since this protocol has no notifications, but a server
    // answers nothing to it.
    bool notification = false;
};

QByteArray encodeRequest(qint64 id, const QString &method, const QJsonArray &params);
// resultJson is already-encoded JSON (a data packet's toJsonText()).
QByteArray encodeResult(const QJsonValue &id, const QByteArray &resultJson);
// The text of a success reply up to its result: the caller appends the
// result JSON (one line) and then ResultSuffix.
QByteArray resultPrefix(const QJsonValue &id);
inline constexpr char ResultSuffix[] = "}\n";
QByteArray encodeError(const QJsonValue &id, int code, const QString &message);

// When !ok, request.id still holds the id if it could be read (null
// otherwise), so the error answer can carry it.
RequestParse parseRequest(QByteArrayView line);
// Throws ENetError when the line is not a JSON-RPC response. *id is 0 for an
// error answer whose id is null (the server could not read the request).
TServerReply parseResponse(QByteArrayView line, qint64 *id = nullptr);
} // namespace JsonRpc
