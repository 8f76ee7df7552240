#include "JsonRpc.h"

#include "VexErrors.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>

namespace JsonRpc {
namespace {

const QLatin1StringView kVersion("2.0");

QByteArray compact(const QJsonObject &object)
{
    QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    line.append('\n');
    return line;
}

// A lone JSON value as compact text (QJsonDocument only holds containers).
QByteArray valueText(const QJsonValue &value)
{
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

bool isInteger(const QJsonValue &value)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    return std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 9.007199254740992e15;
}

RequestParse refused(int code, const QString &detail, const QJsonValue &id = {})
{
    RequestParse parse;
    parse.errorCode = code;
    parse.errorMessage = QStringLiteral("Requisição mal formada: %1").arg(detail);
    parse.request.id = id;
    return parse;
}

// Tells "not JSON at all" from "JSON, but not an object" for a line that
// QJsonDocument refused (it rejects bare scalars as well).
bool isScalarJson(QByteArrayView line)
{
    if (line.trimmed().isEmpty())
        return false; // "[]" would pass for an empty line
    QByteArray wrapped;
    wrapped.reserve(line.size() + 2);
    wrapped.append('[').append(line.data(), line.size()).append(']');
    QJsonParseError error;
    QJsonDocument::fromJson(wrapped, &error);
    return error.error == QJsonParseError::NoError;
}

[[noreturn]] void badResponse(const QString &detail)
{
    throw ENetError(
        QStringLiteral("Resposta inválida do servidor de aplicação: %1").arg(detail));
}

} // namespace

QByteArray encodeRequest(qint64 id, const QString &method, const QJsonArray &params)
{
    return compact(QJsonObject{{QStringLiteral("jsonrpc"), kVersion},
                               {QStringLiteral("id"), id},
                               {QStringLiteral("method"), method},
                               {QStringLiteral("params"), params}});
}

QByteArray resultPrefix(const QJsonValue &id)
{
    return R"({"jsonrpc":"2.0","id":)" + valueText(id) + R"(,"result":)";
}

QByteArray encodeResult(const QJsonValue &id, const QByteArray &resultJson)
{
    QByteArray line;
    line.reserve(resultJson.size() + 48);
    line.append(resultPrefix(id));
    if (resultJson.trimmed().isEmpty())
        line.append("null");
    else if (resultJson.contains('\n'))
        // Only whitespace between tokens can hold a raw line feed in valid
        // JSON; it must not end the message early.
        line.append(QByteArray(resultJson).replace('\n', ' '));
    else
        line.append(resultJson);
    line.append(ResultSuffix);
    return line;
}

QByteArray encodeError(const QJsonValue &id, int code, const QString &message)
{
    return compact(QJsonObject{
        {QStringLiteral("jsonrpc"), kVersion},
        {QStringLiteral("id"), id},
        {QStringLiteral("error"),
         QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}}}});
}

RequestParse parseRequest(QByteArrayView line)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError) {
        if (isScalarJson(line))
            return refused(InvalidRequest, QStringLiteral("a mensagem não é um objeto JSON."));
        return refused(ParseError, QStringLiteral("o texto recebido não é JSON válido "
                                                  "(posição %1).")
                                       .arg(error.offset));
    }
    if (!doc.isObject())
        return refused(InvalidRequest, QStringLiteral("a mensagem não é um objeto JSON."));

    const QJsonObject object = doc.object();
    const QJsonValue id = object.value(QStringLiteral("id"));
    const bool idOk = id.isDouble() || id.isString();
    const QJsonValue knownId = idOk ? id : QJsonValue();
    if (object.value(QStringLiteral("jsonrpc")) != QJsonValue(kVersion))
        return refused(InvalidRequest, QStringLiteral("o campo \"jsonrpc\" deve ser \"2.0\"."),
                       knownId);
    const QJsonValue method = object.value(QStringLiteral("method"));
    const QJsonValue params = object.value(QStringLiteral("params"));
    const bool methodOk = method.isString();
    const bool paramsOk = params.isUndefined() || params.isArray();
    if (id.isUndefined() && methodOk && paramsOk) {
        RequestParse parse = refused(InvalidRequest, QStringLiteral("notificação (sem \"id\")."));
        parse.notification = true;
        return parse;
    }
    if (!idOk)
        return refused(InvalidRequest,
                       QStringLiteral("o campo \"id\" está ausente ou não é número "
                                      "nem texto."));
    if (!methodOk)
        return refused(InvalidRequest,
                       QStringLiteral("o campo \"method\" está ausente ou não é texto."), id);
    if (!paramsOk)
        return refused(InvalidRequest, QStringLiteral("o campo \"params\" deve ser uma lista."),
                       id);

    RequestParse parse;
    parse.ok = true;
    parse.request.id = id;
    parse.request.method = method.toString();
    parse.request.params = params.toArray();
    return parse;
}

TServerReply parseResponse(QByteArrayView line, qint64 *id)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError)
        badResponse(
            QStringLiteral("o texto não é JSON válido (posição %1).").arg(error.offset));
    if (!doc.isObject())
        badResponse(QStringLiteral("a mensagem não é um objeto JSON."));

    const QJsonObject object = doc.object();
    if (object.value(QStringLiteral("jsonrpc")) != QJsonValue(kVersion))
        badResponse(QStringLiteral("o campo \"jsonrpc\" deve ser \"2.0\"."));
    const QJsonValue idValue = object.value(QStringLiteral("id"));
    const bool hasResult = object.contains(QStringLiteral("result"));
    const bool hasError = object.contains(QStringLiteral("error"));
    if (hasResult == hasError)
        badResponse(QStringLiteral("a resposta deve ter \"result\" ou \"error\", "
                                   "e não os dois."));
    // A null id answers a request the server could not read at all.
    if (!isInteger(idValue) && !(idValue.isNull() && hasError))
        badResponse(QStringLiteral("o campo \"id\" está ausente ou não é um número inteiro."));

    TServerReply reply;
    if (hasResult) {
        reply.ok = true;
        reply.result = object.value(QStringLiteral("result"));
    } else {
        const QJsonValue errorValue = object.value(QStringLiteral("error"));
        const QJsonObject errorObject = errorValue.toObject();
        const QJsonValue code = errorObject.value(QStringLiteral("code"));
        const bool codeOk = isInteger(code) && code.toInteger() == int(code.toInteger());
        if (!errorValue.isObject() || !codeOk)
            badResponse(QStringLiteral("o erro não traz um código inteiro."));
        const QJsonValue message = errorObject.value(QStringLiteral("message"));
        if (!message.isString())
            badResponse(QStringLiteral("o erro não traz uma mensagem de texto."));
        reply.errorCode = int(code.toInteger());
        reply.errorMessage = message.toString();
    }
    if (id)
        *id = idValue.isNull() ? 0 : idValue.toInteger();
    return reply;
}

} // namespace JsonRpc
