#include "FreshDatabase.h"

#include "Database.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

namespace {

int g_counter = 0;

QString pgUrl()
{
    return qEnvironmentVariable("VEX_TEST_PG_URL");
}

} // namespace

FreshDatabase::FreshDatabase(Kind kind) : m_kind(kind)
{
    const int n = ++g_counter;
    m_connection = QStringLiteral("fresh-%1").arg(n);
    if (kind == Kind::SQLite) {
        m_dir = std::make_unique<QTemporaryDir>();
        m_url = QStringLiteral("sqlite:") + m_dir->filePath(QStringLiteral("test.db"));
        return;
    }
    if (!postgresAvailable()) {
        m_error = QStringLiteral("VEX_TEST_PG_URL is not set");
        return;
    }
    m_dbName = QStringLiteral("vexdb_t%1_%2").arg(QCoreApplication::applicationPid()).arg(n);
    if (!maintenance(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(m_dbName))
        || !maintenance(QStringLiteral("CREATE DATABASE %1").arg(m_dbName)))
        return;
    const QString base = pgUrl();
    m_url = base.left(base.lastIndexOf(QLatin1Char('/')) + 1) + m_dbName;
}

FreshDatabase::~FreshDatabase()
{
    if (m_db.isValid())
        m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
    if (!m_dbName.isEmpty())
        maintenance(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(m_dbName));
}

bool FreshDatabase::maintenance(const QString &sql)
{
    const QString name = QStringLiteral("fresh-maintenance");
    bool ok = false;
    {
        QSqlDatabase admin = VexDb::open(pgUrl(), name, &m_error);
        if (admin.isOpen()) {
            QSqlQuery q(admin);
            ok = q.exec(sql);
            if (!ok)
                m_error = q.lastError().text();
            admin.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

QSqlDatabase &FreshDatabase::db()
{
    if (!m_db.isOpen() && isReady()) {
        QString error;
        m_db = VexDb::open(m_url, m_connection, &error);
        if (!m_db.isOpen())
            m_error = error;
    }
    return m_db;
}

void FreshDatabase::addRows()
{
    QTest::newRow("sqlite") << int(Kind::SQLite);
    QTest::newRow("postgresql") << int(Kind::PostgreSQL);
}

FreshDatabase::Kind FreshDatabase::kindOf(const QString &tag)
{
    return tag == QLatin1String("postgresql") ? Kind::PostgreSQL : Kind::SQLite;
}

bool FreshDatabase::postgresAvailable()
{
    return !pgUrl().isEmpty();
}
