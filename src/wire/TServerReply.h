#pragma once

#include <QJsonValue>
#include <QString>

// Answer of one application-server call: a result or a JSON-RPC error.
struct TServerReply
{
    bool ok = false;
    QJsonValue result;
    int errorCode = 0;
    QString errorMessage;
};
