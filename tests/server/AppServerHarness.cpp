#include "AppServerHarness.h"

#include "Database.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <csignal>

namespace {

QString replaceDbName(const QString &url, const QString &dbName)
{
    const qsizetype slash = url.lastIndexOf(u'/');
    return url.left(slash + 1) + dbName;
}

bool execAdmin(const QString &sql, QString *error)
{
    const QString name = QStringLiteral("fixture-admin");
    bool ok = false;
    {
        QSqlDatabase db = VexDb::open(FixtureDatabase::pgAdminUrl(), name, error);
        if (db.isOpen()) {
            QSqlQuery q(db);
            ok = q.exec(sql);
            if (!ok)
                *error = q.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

int s_dbCounter = 0;

} // namespace

std::unique_ptr<FixtureDatabase> FixtureDatabase::create(Kind kind, const QString &fixtureSql,
                                                         QString *error)
{
    std::unique_ptr<FixtureDatabase> fixture(new FixtureDatabase);
    fixture->m_kind = kind;
    if (kind == Kind::SQLite) {
        fixture->m_url
            = QStringLiteral("sqlite:") + fixture->m_dir.filePath(QStringLiteral("f.db"));
    } else {
        if (pgAdminUrl().isEmpty()) {
            *error = QStringLiteral("VEX_TEST_PG_URL is not set");
            return nullptr;
        }
        fixture->m_pgName = QStringLiteral("vexsrv_%1_%2")
                                .arg(QCoreApplication::applicationPid())
                                .arg(++s_dbCounter);
        if (!execAdmin(QStringLiteral("CREATE DATABASE ") + fixture->m_pgName, error))
            return nullptr;
        fixture->m_url = replaceDbName(pgAdminUrl(), fixture->m_pgName);
    }
    if (!fixture->loadFixture(fixtureSql, error))
        return nullptr;
    return fixture;
}

FixtureDatabase::~FixtureDatabase()
{
    QString error;
    if (!m_pgName.isEmpty())
        execAdmin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_pgName), &error);
}

bool FixtureDatabase::load(const QString &url, const QString &fixtureSql, QString *error)
{
    FixtureDatabase fixture;
    fixture.m_url = url;
    return fixture.loadFixture(fixtureSql, error);
}

bool FixtureDatabase::loadFixture(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    QString sql;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (!line.trimmed().startsWith(QStringLiteral("--")))
            sql += line + u'\n';
    }
    const QString name = QStringLiteral("fixture-load");
    bool ok = true;
    {
        QSqlDatabase db = VexDb::open(m_url, name, error);
        ok = db.isOpen() && VexDb::Schema::migrate(db, error);
        if (ok) {
            db.transaction();
            QSqlQuery q(db);
            for (const QString &statement : sql.split(QStringLiteral(";\n"))) {
                if (statement.trimmed().isEmpty())
                    continue;
                if (!q.exec(statement)) {
                    *error = q.lastError().text() + QStringLiteral(" in ") + statement;
                    ok = false;
                    break;
                }
            }
            ok = ok ? db.commit() : (db.rollback(), false);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

AppServerProcess::~AppServerProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool AppServerProcess::start(const QString &databaseUrl, const QStringList &extraArgs,
                             QString *error)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    if (!m_logFile.isEmpty())
        m_process.setStandardErrorFile(m_logFile);
    m_process.setProgram(program());
    m_process.setArguments(QStringList{QStringLiteral("--database"), databaseUrl,
                                       QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")}
                           + extraArgs);
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        *error = m_process.errorString();
        return false;
    }
    static const QRegularExpression ready(QStringLiteral("pronto em [0-9.]+:(\\d+) "));
    QDeadlineTimer deadline(20000);
    while (!m_process.canReadLine() && !deadline.hasExpired()
           && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(200);
    const QString line = QString::fromUtf8(m_process.readLine());
    const auto match = ready.match(line);
    if (!match.hasMatch()) {
        *error = QStringLiteral("no ready line: '%1' %2")
                     .arg(line, QString::fromUtf8(m_process.readAllStandardError()));
        return false;
    }
    m_port = quint16(match.captured(1).toUInt());
    return true;
}

QString AppServerProcess::program()
{
    const QString other = qEnvironmentVariable("VEX_APPSERVER");
    return other.isEmpty() ? QStringLiteral(VEX_BIN_DIR "/vex-appserver") : other;
}

int AppServerProcess::terminate(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitCode();
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(timeoutMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

bool RpcTestClient::connectTo(quint16 port)
{
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    return m_socket.waitForConnected(5000);
}

QByteArray RpcTestClient::readLine(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_socket.canReadLine()) {
        if (deadline.hasExpired() || m_socket.state() != QAbstractSocket::ConnectedState
            || !m_socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            break;
    }
    return m_socket.canReadLine() ? m_socket.readLine() : QByteArray();
}

QJsonObject RpcTestClient::sendLine(const QByteArray &line, int timeoutMs)
{
    m_socket.write(line);
    m_socket.flush();
    return QJsonDocument::fromJson(readLine(timeoutMs)).object();
}

QJsonObject RpcTestClient::call(const QString &method, const QJsonArray &params)
{
    const QJsonObject request{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                              {QStringLiteral("id"), m_nextId++},
                              {QStringLiteral("method"), ServerPrefix + method},
                              {QStringLiteral("params"), params}};
    return sendLine(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
}

namespace FixtureParams {

const QStringList FiliSoliGridNames = {
    "stLFilSoli", "stTFilSoli", "stFilOL", "DtEntrIni", "DtEntrFin", "stDtEntr",
    "DtSolIni", "DtSolFin", "stDtSoli", "stProdIni", "stProdFin", "stProd",
    "stListaConsol", "stTodasConsol", "stStatus", "stItemConsol", "stPedGerado",
    "stQtdePedido"};
const QStringList SoliNames = {
    "CDFILSOLI", "stFilOL", "DtEntrIni", "DtEntrFin", "stDtEntr", "DtSolIni", "DtSolFin",
    "stDtSoli", "stProdIni", "stProdFin", "stProd", "ED", "stListaConsol", "stTodasConsol",
    "stStatus", "stItemConsol", "stPedGerado", "stQtdePedido"};

QJsonArray filiSoliGridAllOpen(const QString &filOL)
{
    return {"", "T", filOL, 0, 0, "T", 0, 0, "T", "", QString(20, u'Z'), "T", "", "T", "T",
            "T", "T", "T"};
}

QJsonArray soliAllOpen(const QString &branch, const QString &filOL)
{
    return {branch, filOL, 0, 0, "T", 0, 0, "T", "", QString(20, u'Z'), "T",
            "Entrega direta", "", "T", "T", "T", "T", "T"};
}

double oleDay(int year, int month, int day)
{
    return double(QDate(1899, 12, 30).daysTo(QDate(year, month, day)));
}

QJsonArray with(const QString &method, QJsonArray params, const QVariantMap &byName)
{
    const QStringList &names = method == u"GetSoli" ? SoliNames : FiliSoliGridNames;
    for (auto it = byName.begin(); it != byName.end(); ++it) {
        const qsizetype index = names.indexOf(it.key());
        Q_ASSERT_X(index >= 0, "FixtureParams::with", qPrintable(it.key()));
        params[index] = QJsonValue::fromVariant(it.value());
    }
    return params;
}

QStringList project(const QJsonObject &result, const QStringList &columns)
{
    QList<qsizetype> indexes;
    const QJsonArray fields = result.value(QStringLiteral("fields")).toArray();
    for (const QString &column : columns) {
        qsizetype found = -1;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (fields.at(i).toObject().value(QStringLiteral("name")).toString() == column)
                found = i;
        }
        indexes << found;
    }
    QStringList rows;
    for (const QJsonValue &row : result.value(QStringLiteral("rows")).toArray()) {
        QStringList cells;
        for (qsizetype i : indexes) {
            const QJsonValue v = i < 0 ? QJsonValue(QStringLiteral("<no column>"))
                                       : row.toArray().at(i);
            cells << (v.isNull()     ? QStringLiteral("null")
                      : v.isDouble() ? QString::number(v.toDouble(), 'g', 15)
                                     : v.toString());
        }
        rows << cells.join(u'|');
    }
    return rows;
}

} // namespace FixtureParams
