#include "PgStatements.h"

#include "VexErrors.h"

#include <QSqlDriver>

#include <libpq-fe.h>

#include <charconv>
#include <limits>

namespace {
QString errorText(const char *text)
{
    const QString message = QString::fromUtf8(text ? text : "").trimmed();
    return message.isEmpty() ? QStringLiteral("erro desconhecido") : message;
}

// Throws with the result's message (or the connection's), freeing it.
[[noreturn]] void fail(PGconn *conn, PGresult *result)
{
    const QString text = errorText(result ? PQresultErrorMessage(result) : PQerrorMessage(conn));
    PQclear(result);
    throw EDatabaseError(text);
}

QByteArray paramText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double: {
        char buffer[32];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, value.toDouble());
        return QByteArray(buffer, r.ptr - buffer);
    }
    default: return value.toString().toUtf8();
    }
}
} // namespace

class PgStatements::Cursor final : public SqlCursor
{
public:
    explicit Cursor(PGresult *result) : m_result(result), m_rows(PQntuples(result)) {}
    ~Cursor() override { finish(); }

    bool next() override { return m_result && ++m_row < m_rows; }
    bool isNull(int column) const override { return PQgetisnull(m_result, m_row, column); }
    QByteArrayView text(int column) const override
    {
        return QByteArrayView(PQgetvalue(m_result, m_row, column),
                              PQgetlength(m_result, m_row, column));
    }
    double real(int column) const override
    {
        const QByteArrayView t = text(column);
        double value = std::numeric_limits<double>::quiet_NaN();
        std::from_chars(t.data(), t.data() + t.size(), value);
        return value; // "Infinity"/"NaN" stay non-finite, refused when written
    }
    void finish() override
    {
        PQclear(m_result);
        m_result = nullptr;
    }

private:
    PGresult *m_result;
    int m_rows;
    int m_row = -1;
};

PgStatements::PgStatements(const QSqlDatabase &db) : m_db(db)
{
    const QVariant handle = db.driver()->handle();
    // Qt names the type after the struct behind libpq's typedef.
    const char *type = handle.typeName();
    if (qstrcmp(type, "PGconn*") == 0 || qstrcmp(type, "pg_conn*") == 0)
        m_conn = *static_cast<PGconn *const *>(handle.constData());
    if (!m_conn)
        throw EDatabaseError(QStringLiteral("conexão PostgreSQL indisponível"));
    // Compiling a plan costs more than running these short reads: seconds
    // for the branches' counts. A server without JIT refuses the setting,
    // which changes nothing.
    PQclear(PQexec(m_conn, "SET jit = off"));
}

PgStatements::~PgStatements()
{
    m_cursor.reset();
}

void PgStatements::clear()
{
    m_cursor.reset();
    if (!m_statements.isEmpty() && PQstatus(m_conn) == CONNECTION_OK)
        PQclear(PQexec(m_conn, "DEALLOCATE ALL"));
    m_statements.clear();
}

QByteArray PgStatements::numberedPlaceholders(const QString &text, int *count)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 16);
    char quote = 0;
    *count = 0;
    for (const char c : utf8) {
        if (quote) {
            quote = c == quote ? 0 : quote; // a doubled quote reopens at once
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?') {
            out += '$';
            out += QByteArray::number(++*count);
            continue;
        }
        out += c;
    }
    return out;
}

QByteArray PgStatements::prepared(const QString &text)
{
    const auto it = m_statements.constFind(text);
    if (it != m_statements.cend())
        return *it;
    if (m_statements.size() >= StatementCache::MaxStatements)
        clear();
    int count = 0;
    const QByteArray sql = numberedPlaceholders(text, &count);
    const QByteArray name = "vexsrv_" + QByteArray::number(++m_nextName);
    PGresult *result = PQprepare(m_conn, name.constData(), sql.constData(), count, nullptr);
    if (PQresultStatus(result) != PGRES_COMMAND_OK)
        fail(m_conn, result);
    PQclear(result);
    m_statements.insert(text, name);
    return name;
}

SqlCursor &PgStatements::run(const SqlStatement &statement)
{
    m_cursor.reset();
    const QByteArray name = prepared(statement.text);
    QList<QByteArray> texts;
    QList<const char *> values;
    texts.reserve(statement.binds.size());
    values.reserve(statement.binds.size());
    for (const QVariant &bind : statement.binds) {
        if (bind.isNull()) {
            texts.append(QByteArray());
            values.append(nullptr);
        } else {
            texts.append(paramText(bind));
            values.append(texts.constLast().constData());
        }
    }
    PGresult *result = PQexecPrepared(m_conn, name.constData(), int(values.size()),
                                      values.constData(), nullptr, nullptr, 0);
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
        // The statement may be unusable afterwards (lost connection, changed
        // table): prepare it afresh next time.
        m_statements.remove(statement.text);
        fail(m_conn, result);
    }
    m_cursor = std::make_unique<Cursor>(result);
    return *m_cursor;
}
