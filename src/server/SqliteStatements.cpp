#include "SqliteStatements.h"

#include "VexErrors.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QStringList>

#include <sqlite3.h>

namespace {
[[noreturn]] void fail(sqlite3 *handle)
{
    const char *text = handle ? sqlite3_errmsg(handle) : nullptr;
    throw EDatabaseError(text && *text ? QString::fromUtf8(text)
                                       : QStringLiteral("erro desconhecido"));
}

void bind(sqlite3 *handle, sqlite3_stmt *stmt, int index, const QVariant &value)
{
    int rc = SQLITE_OK;
    switch (value.isNull() ? QMetaType::UnknownType : value.typeId()) {
    case QMetaType::UnknownType: rc = sqlite3_bind_null(stmt, index); break;
    case QMetaType::Double: rc = sqlite3_bind_double(stmt, index, value.toDouble()); break;
    case QMetaType::Int:
    case QMetaType::LongLong: rc = sqlite3_bind_int64(stmt, index, value.toLongLong()); break;
    default: {
        const QByteArray utf8 = value.toString().toUtf8();
        rc = sqlite3_bind_text(stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    }
    if (rc != SQLITE_OK)
        fail(handle);
}
} // namespace

class SqliteStatements::Cursor final : public SqlCursor
{
public:
    Cursor(sqlite3 *handle, sqlite3_stmt *stmt) : m_handle(handle), m_stmt(stmt) {}

    bool next() override
    {
        if (!m_stmt)
            return false;
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        finish();
        if (rc != SQLITE_DONE)
            fail(m_handle);
        return false;
    }
    bool isNull(int column) const override
    {
        return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
    }
    QByteArrayView text(int column) const override
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return QByteArrayView(p, p ? sqlite3_column_bytes(m_stmt, column) : 0);
    }
    double real(int column) const override { return sqlite3_column_double(m_stmt, column); }
    void finish() override
    {
        if (m_stmt)
            sqlite3_reset(m_stmt); // ends the read snapshot
        m_stmt = nullptr;
    }

private:
    sqlite3 *m_handle;
    sqlite3_stmt *m_stmt;
};

// The handle Qt's driver opened is used with this program's SQLite, which is
// safe only when the driver runs the very same library: same version and
// same source build.
void SqliteStatements::checkSameLibrary(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT sqlite_version(), sqlite_source_id()")) || !q.next())
        throw EDatabaseError(QStringLiteral("não foi possível ler a versão do SQLite do driver Qt"));
    const QString driverVersion = q.value(0).toString();
    const QString driverSource = q.value(1).toString();
    const QStringList parts = driverVersion.split(u'.');
    const int driverNumber = parts.size() >= 3
        ? parts[0].toInt() * 1000000 + parts[1].toInt() * 1000 + parts[2].toInt()
        : -1;
    if (driverNumber != sqlite3_libversion_number()
        || driverSource != QString::fromLatin1(sqlite3_sourceid()))
        throw EDatabaseError(
            QStringLiteral("o driver SQLite do Qt usa a biblioteca SQLite %1 (%2) e o servidor a "
                           "%3 (%4); o servidor só usa a conexão do driver com a mesma biblioteca")
                .arg(driverVersion, driverSource.left(20),
                     QString::fromLatin1(sqlite3_libversion()),
                     QString::fromLatin1(sqlite3_sourceid()).left(20)));
}

SqliteStatements::SqliteStatements(const QSqlDatabase &db) : m_db(db)
{
    checkSameLibrary(db);
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_handle = *static_cast<sqlite3 *const *>(handle.constData());
    if (!m_handle)
        throw EDatabaseError(QStringLiteral("conexão SQLite indisponível"));
}

SqliteStatements::~SqliteStatements()
{
    clear();
}

void SqliteStatements::clear()
{
    if (m_cursor)
        m_cursor->finish();
    m_cursor.reset();
    for (sqlite3_stmt *stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    m_statements.clear();
}

sqlite3_stmt *SqliteStatements::prepared(const QString &text)
{
    if (sqlite3_stmt *stmt = m_statements.value(text))
        return stmt;
    if (m_statements.size() >= StatementCache::MaxStatements)
        clear();
    const QByteArray utf8 = text.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v3(m_handle, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT,
                           &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        fail(m_handle);
    }
    m_statements.insert(text, stmt);
    return stmt;
}

SqlCursor &SqliteStatements::run(const SqlStatement &statement)
{
    if (m_cursor)
        m_cursor->finish();
    sqlite3_stmt *stmt = prepared(statement.text);
    sqlite3_reset(stmt);
    if (sqlite3_bind_parameter_count(stmt) != statement.binds.size())
        throw EDatabaseError(QStringLiteral("número de parâmetros não confere"));
    for (qsizetype i = 0; i < statement.binds.size(); ++i)
        bind(m_handle, stmt, int(i + 1), statement.binds.at(i));
    m_cursor = std::make_unique<Cursor>(m_handle, stmt);
    return *m_cursor;
}
