#include "RpcDispatcher.h"

#include "Metrics.h"
#include "RdmAcomPOL.h"
#include "ServerErrors.h"
#include "ServerLog.h"
#include "StatementCache.h"

#include "Database.h"
#include "JsonRpc.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QSqlQuery>

#include <algorithm>

namespace {

// Reply buffers start at the size of the previous reply, up to this.
constexpr qsizetype MaxReserve = 64 * 1024;

QByteArray withNewline(QByteArray message)
{
    if (!message.endsWith('\n'))
        message.append('\n');
    return message;
}

// A refusal for too many connections says so first; the database's own
// text follows for the operator.
QString connectFailure(const QString &error)
{
    if (error.isEmpty())
        return QStringLiteral("não foi possível conectar");
    if (error.contains(QLatin1String("too many"), Qt::CaseInsensitive))
        return QStringLiteral("limite de conexões do banco de dados atingido (%1)").arg(error);
    return error;
}

} // namespace

RpcDispatcher::RpcDispatcher(const QString &databaseUrl, const QString &connectionName)
    : m_url(databaseUrl), m_connectionName(connectionName)
{
}

RpcDispatcher::~RpcDispatcher()
{
    closeDatabase();
}

bool RpcDispatcher::open(QString *error)
{
    try {
        ensureDatabase();
        return true;
    } catch (const EVexError &e) {
        *error = e.message();
        return false;
    }
}

QSqlDatabase RpcDispatcher::database(QString *error)
{
    try {
        ensureDatabase();
        return m_db;
    } catch (const EVexError &e) {
        *error = e.message();
        return QSqlDatabase();
    }
}

void RpcDispatcher::closeDatabase()
{
    m_module.reset();
    m_statements.reset();
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

// Opens the connection when there is none, and after a database failure
// checks it is still alive (the server may have restarted) before reuse.
void RpcDispatcher::ensureDatabase()
{
    if (m_db.isOpen() && m_checkConnection) {
        m_checkConnection = false;
        QSqlQuery probe(m_db);
        if (!probe.exec(QStringLiteral("SELECT 1"))) {
            qCWarning(lcServer) << "conexão com o banco perdida; reabrindo:" << m_connectionName;
            closeDatabase();
        }
    }
    if (m_db.isOpen())
        return;
    closeDatabase();
    QString error;
    m_db = VexDb::open(m_url, m_connectionName, &error);
    if (!m_db.isOpen()) {
        closeDatabase();
        throw EDatabaseError(connectFailure(error));
    }
    try {
        m_statements = std::make_unique<StatementCache>(m_db);
    } catch (...) {
        closeDatabase(); // never an open connection without its statements
        throw;
    }
    if (m_everOpened)
        ServerMetrics::instance().recordReconnect();
    m_everOpened = true;
    m_module = std::make_unique<RdmAcomPOL>(*m_statements);
    m_module->setMaxReplyBytes(m_maxReplyBytes);
    m_module->setMaxChainRows(m_maxChainRows);
}

QByteArray RpcDispatcher::errorReply(int code, const QString &message)
{
    return withNewline(JsonRpc::encodeError(QJsonValue(), code, message));
}

QString RpcDispatcher::shortened(QStringView value)
{
    constexpr qsizetype MaxShown = 40;
    if (value.size() <= MaxShown)
        return u'\'' + value.toString() + u'\'';
    return u'\'' + value.left(MaxShown).toString()
        + QStringLiteral("…' (%1 caracteres)").arg(value.size());
}

void RpcDispatcher::setMaxReplyBytes(qint64 bytes)
{
    m_maxReplyBytes = bytes;
    if (m_module)
        m_module->setMaxReplyBytes(bytes);
}

void RpcDispatcher::setMaxChainRows(qint64 rows)
{
    m_maxChainRows = rows;
    if (m_module)
        m_module->setMaxChainRows(rows);
}

QStringList RpcDispatcher::methodNames()
{
    QStringList names { PingMethod, LoginMethod, ResumeMethod, LogoutMethod };
    for (const RdmAcomPOL::Method &method : RdmAcomPOL::methods())
        names << RdmAcomPOL::ServerName + u'.' + method.name;
    return names;
}

RpcOutcome RpcDispatcher::handle(QByteArrayView line)
{
    ServerMetrics &metrics = ServerMetrics::instance();
    QElapsedTimer timer;
    timer.start();
    int slot = metrics.otherSlot();
    RpcOutcome out = dispatch(line, &slot);
    // Served or not is what the log line says (empty when served).
    metrics.recordCall(slot, !out.warning.isEmpty(), timer.nsecsElapsed());
    return out;
}

RpcOutcome RpcDispatcher::dispatch(QByteArrayView line, int *slot)
{
    const JsonRpc::RequestParse parsed = JsonRpc::parseRequest(line);
    if (parsed.notification) {
        *slot = -1;
        return {}; // JSON-RPC 2.0: a notification gets no answer
    }
    if (!parsed.ok) {
        RpcOutcome out;
        out.malformed = true;
        out.warning = QStringLiteral("requisição recusada: ") + parsed.errorMessage;
        out.reply = withNewline(
            JsonRpc::encodeError(parsed.request.id, parsed.errorCode, parsed.errorMessage));
        return out;
    }
    *slot = ServerMetrics::instance().slotOf(parsed.request.method);
    if (parsed.request.method == PingMethod)
        return ping(parsed.request.id, parsed.request.params);
    return call(parsed.request.id, parsed.request.method, parsed.request.params);
}

// Balancers probe with this every few seconds: it must answer while the
// database is down or slow, so it never touches it.
RpcOutcome RpcDispatcher::ping(const QJsonValue &id, const QJsonArray &params)
{
    if (params.isEmpty())
        return {JsonRpc::encodeResult(id, QByteArrayLiteral("\"pong\"")), false, {}};
    const QString message = QStringLiteral("%1: esperados 0 argumentos, recebidos %2")
                                .arg(PingMethod)
                                .arg(params.size());
    return {withNewline(JsonRpc::encodeError(id, JsonRpc::InvalidParams, message)), false,
            PingMethod + QStringLiteral(" falhou: ") + message};
}

RpcOutcome RpcDispatcher::call(const QJsonValue &id, const QString &fullName,
                               const QJsonArray &params)
{
    QElapsedTimer timer;
    timer.start();
    const QString prefix = RdmAcomPOL::ServerName + u'.';
    const RdmAcomPOL::Method *method = fullName.startsWith(prefix)
        ? RdmAcomPOL::findMethod(QStringView(fullName).mid(prefix.size()))
        : nullptr;
    int code = JsonRpc::ServerError;
    QString message;
    try {
        if (!method) {
            code = JsonRpc::MethodNotFound;
            throw EVexError(QStringLiteral("Método desconhecido: %1").arg(shortened(fullName)));
        }
        RdmAcomPOL::checkParams(*method, params);
        ensureDatabase();
        // The reply line is built in one buffer, the packet written into it
        // row by row, so a large result is never copied.
        QByteArray reply = JsonRpc::resultPrefix(id);
        reply.reserve(m_lastReplySize);
        TDataPacketWriter writer(reply);
        ((*m_module).*(method->handler))(CallArgs(method->params, params), writer);
        reply.append(JsonRpc::ResultSuffix);
        m_lastReplySize = std::min<qsizetype>(reply.size(), MaxReserve);
        qCDebug(lcCall).noquote() << method->name << writer.rowCount() << "linhas,"
                                  << timer.nsecsElapsed() / 1000 << "us, usuário"
                                  << (m_caller.isEmpty() ? QStringLiteral("-") : m_caller);
        return {reply, false, {}};
    } catch (const EInvalidParams &e) {
        code = JsonRpc::InvalidParams;
        message = e.message();
    } catch (const EDatabaseError &e) {
        m_checkConnection = true;
        message = QStringLiteral("Falha no banco de dados: ") + e.message();
    } catch (const EVexError &e) {
        message = e.message();
    } catch (const std::exception &e) {
        message = QStringLiteral("Erro interno do servidor: ") + QString::fromUtf8(e.what());
    }
    if (m_lastReplySize > MaxReserve)
        m_lastReplySize = MaxReserve;
    constexpr qsizetype MaxLogged = 300;
    RpcOutcome out;
    out.warning = (method ? method->name : shortened(fullName)) + QStringLiteral(" falhou: ")
        + (message.size() > MaxLogged ? message.left(MaxLogged) + QStringLiteral("…") : message);
    out.reply = withNewline(JsonRpc::encodeError(id, code, message));
    return out;
}
