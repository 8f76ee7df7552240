#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <memory>

// A throwaway database holding the hand-written fixture: a SQLite file in a
// temporary folder, or a fresh database in the PostgreSQL cluster named by
// VEX_TEST_PG_URL (dropped again by the destructor).
class FixtureDatabase final
{
public:
    enum class Kind { SQLite, PostgreSQL };
    ~FixtureDatabase();

    // Null with *error when it cannot be made (PostgreSQL: no VEX_TEST_PG_URL).
    static std::unique_ptr<FixtureDatabase> create(Kind kind, const QString &fixtureSql,
                                                   QString *error);
    static QString pgAdminUrl() { return qEnvironmentVariable("VEX_TEST_PG_URL"); }
    // Migrates the schema and loads the fixture into the database at `url`.
    static bool load(const QString &url, const QString &fixtureSql, QString *error);
    QString url() const { return m_url; }

private:
    FixtureDatabase() = default;
    bool loadFixture(const QString &path, QString *error);

    Kind m_kind = Kind::SQLite;
    QString m_url;
    QString m_pgName;
    QTemporaryDir m_dir;
};

// In a test function, for a data row of database `kind` ("sqlite" or
// "postgresql"): a PostgreSQL row without VEX_TEST_PG_URL is a visible skip,
// never dropped silently; under ./test (VEX_TEST_REQUIRE_PG=1, which always
// starts a cluster) it is a failure instead.
#define VEX_SKIP_WITHOUT_DATABASE(kind)                                                  \
    do {                                                                                 \
        if ((kind) == QLatin1String("postgresql") && FixtureDatabase::pgAdminUrl().isEmpty()) { \
            if (qEnvironmentVariableIsSet("VEX_TEST_REQUIRE_PG"))                        \
                QFAIL("VEX_TEST_REQUIRE_PG is set but VEX_TEST_PG_URL is not");          \
            QSKIP("VEX_TEST_PG_URL not set: PostgreSQL row skipped");                     \
        }                                                                                \
    } while (false)

// The database kinds every per-database test has a row for.
inline const QStringList AllDatabaseKinds = {QStringLiteral("sqlite"),
                                             QStringLiteral("postgresql")};

// One vex-appserver process on a port it chose itself (listen on port 0,
// the port read back from its ready line): no port is picked and released
// before use, so parallel tests cannot race for it.
class AppServerProcess final
{
public:
    ~AppServerProcess();
    bool start(const QString &databaseUrl, const QStringList &extraArgs, QString *error);
    // Before start(): the server's stderr (its log) goes to this file.
    void setLogFile(const QString &path) { m_logFile = path; }
    // The program run: VEX_APPSERVER when set (to measure another build),
    // else the one built here.
    static QString program();
    quint16 port() const { return m_port; }
    QProcess &process() { return m_process; }
    // SIGTERM and wait; the exit code, or -1 when it did not stop.
    int terminate(int timeoutMs = 10000);

private:
    QProcess m_process;
    QString m_logFile;
    quint16 m_port = 0;
};

// A blocking line client of the wire protocol.
class RpcTestClient final
{
public:
    bool connectTo(quint16 port);
    // Sends one line and returns the reply object (empty on timeout or a
    // reply that is not a JSON object).
    QJsonObject sendLine(const QByteArray &line, int timeoutMs = 10000);
    QJsonObject call(const QString &method, const QJsonArray &params);
    // Waits for the next reply line without sending anything.
    QByteArray readLine(int timeoutMs);
    QTcpSocket &socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    qint64 m_nextId = 1;
};

// Params of the two criteria methods with everything open, for tests to
// change one argument at a time.
namespace FixtureParams {
QJsonArray filiSoliGridAllOpen(const QString &filOL);
QJsonArray soliAllOpen(const QString &branch, const QString &filOL);
double oleDay(int year, int month, int day);
// Replaces arguments by name (stStatus, DtEntrIni, ...) in the params of
// GetFiliSoliGrid or GetSoli.
QJsonArray with(const QString &method, QJsonArray params, const QVariantMap &byName);
// Row values of the columns named in `columns`, joined with '|' (null as
// "null", numbers shortest form), one string per row.
QStringList project(const QJsonObject &result, const QStringList &columns);
} // namespace FixtureParams

const QString ServerPrefix = QStringLiteral("VEX00300.rdmAcomPOL.");
