#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// An empty database of one kind for one test: a file in a temporary folder
// for SQLite, a database created for the purpose on the PostgreSQL server
// of VEX_TEST_PG_URL (dropped again on destruction).
class FreshDatabase final
{
public:
    enum class Kind { SQLite, PostgreSQL };

    explicit FreshDatabase(Kind kind);
    ~FreshDatabase();

    // False with a reason when the kind is not available here.
    bool isReady() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString url() const { return m_url; }

    // Opens (or reopens) the connection of this test database.
    QSqlDatabase &db();

    static void addRows(); // QTest data rows "sqlite" and "postgresql"
    static Kind kindOf(const QString &tag);
    static bool postgresAvailable();

private:
    bool maintenance(const QString &sql);

    Kind m_kind;
    QString m_url;
    QString m_dbName;
    QString m_connection;
    QString m_error;
    QSqlDatabase m_db;
    std::unique_ptr<QTemporaryDir> m_dir;
};

// In a test function: a PostgreSQL case without VEX_TEST_PG_URL is a visible
// skip; under ./test (VEX_TEST_REQUIRE_PG=1, which always starts a cluster)
// it is a failure instead, so it can never be dropped there.
#define VEX_SKIP_WITHOUT_POSTGRES()                                                      \
    do {                                                                                 \
        if (!FreshDatabase::postgresAvailable()) {                                       \
            if (qEnvironmentVariableIsSet("VEX_TEST_REQUIRE_PG"))                        \
                QFAIL("VEX_TEST_REQUIRE_PG is set but VEX_TEST_PG_URL is not");          \
            QSKIP("VEX_TEST_PG_URL is not set: PostgreSQL case skipped");                \
        }                                                                                \
    } while (false)

// In a test function whose data has the "kind" column of addRows(): a
// fresh open database named var, skipping when PostgreSQL is not set up.
#define VEX_FRESH_DATABASE(var)                                                          \
    QFETCH(int, kind);                                                                   \
    if (FreshDatabase::Kind(kind) == FreshDatabase::Kind::PostgreSQL)                    \
        VEX_SKIP_WITHOUT_POSTGRES();                                                     \
    FreshDatabase var{FreshDatabase::Kind(kind)};                                        \
    QVERIFY2(var.db().isOpen(), qPrintable(var.error()))
