#include "TADOIBQuery.h"

#include "OleDate.h"
#include "TdtmDBGeral.h"
#include "services/Exceptions.h"
#include "services/HostConfig.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

Q_LOGGING_CATEGORY(lcQuery, "vex.data.query", QtInfoMsg)

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// ":NAME" placeholders in order of appearance, outside quoted text and
// not "::" casts.
QStringList placeholders(const QString &sql)
{
    QStringList names;
    QChar quote;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char(':')) {
            if (i + 1 < sql.size() && sql.at(i + 1) == QLatin1Char(':')) {
                ++i;
                continue;
            }
            int end = i + 1;
            while (end < sql.size() && isNameChar(sql.at(end)))
                ++end;
            if (end > i + 1 && !names.contains(sql.mid(i + 1, end - i - 1)))
                names << sql.mid(i + 1, end - i - 1);
            i = end - 1;
        }
    }
    return names;
}

// PostgreSQL gives dates as QDate; SQLite as ISO text.
QVariant dateValue(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QDate: return OleDate::fromDate(value.toDate());
    case QMetaType::QDateTime: return OleDate::fromDateTime(value.toDateTime());
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (date.isValid())
            return OleDate::fromDate(date);
        const QDateTime dateTime = QDateTime::fromString(text, Qt::ISODateWithMs);
        if (dateTime.isValid())
            return OleDate::fromDateTime(dateTime);
        return value; // the data set reports it as invalid
    }
    default: return value.toDouble();
    }
}

QVariant packetValue(const QVariant &value, TFieldType type)
{
    if (value.isNull())
        return {};
    switch (type) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar: return value.toString();
    case TFieldType::ftDateTime: return dateValue(value);
    case TFieldType::ftFloat:
    case TFieldType::ftInteger: return value; // converted, or refused, on load
    }
    return value;
}

// PostgreSQL's codes for a statement cut by its time limit, and for a
// connection that is gone (class 08, or the server shutting down).
bool isTimeout(const QSqlError &error)
{
    return error.nativeErrorCode() == QLatin1String("57014");
}

bool isConnectionLost(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    return error.type() == QSqlError::ConnectionError || code.startsWith(QLatin1String("08"))
           || code == QLatin1String("57P01") || code == QLatin1String("57P02");
}

// A statement can fail because the connection went away without the driver
// saying so (QPSQL reports "Unable to prepare statement"): ask the
// connection itself.
bool connectionAnswers()
{
    QSqlQuery probe(dtmDBGeral().adcGeral());
    return probe.exec(QStringLiteral("SELECT 1"));
}

QString firstLine(const QString &text)
{
    const QString line = text.trimmed().section(u'\n', 0, 0).trimmed();
    return line.isEmpty() ? text.trimmed() : line;
}

[[noreturn]] void failSql(const QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    const QString text = error.text().trimmed();
    if (isTimeout(error)) {
        throw EDatabaseError(QStringLiteral("O banco de dados não respondeu em %1 ms: %2")
                                 .arg(HostConfig::current().databaseStatementTimeoutMs)
                                 .arg(firstLine(text)));
    }
    if (isConnectionLost(error) || !connectionAnswers()) {
        // The next read opens a new connection instead of failing on this one.
        dtmDBGeral().MarkLost();
        throw EDatabaseError(QStringLiteral("A conexão com o banco de dados foi perdida: %1")
                                 .arg(firstLine(text)));
    }
    throw EDatabaseError(text);
}

} // namespace

TADOIBQuery::TADOIBQuery(const QString &name, QObject *parent)
    : QObject(parent)
    , m_query(name)
{
    setObjectName(name);
}

TADOIBQuery::TParam *TADOIBQuery::ParamByName(const QString &name)
{
    return &m_params[name.toUpper()];
}

TField *TADOIBQuery::AddField(const QString &fieldName, TFieldType type, int size)
{
    return m_query.AddField(fieldName, type, size);
}

TADOIBQuery::TSqlDialect TADOIBQuery::DialectOf(const QString &driverName)
{
    if (driverName.startsWith(QLatin1String("QOCI")))
        return TSqlDialect::sdOracle;
    if (driverName.startsWith(QLatin1String("QODBC"))
        || driverName.startsWith(QLatin1String("QTDS")))
        return TSqlDialect::sdMsSql;
    if (driverName.startsWith(QLatin1String("QIBASE")))
        return TSqlDialect::sdInterBase;
    return TSqlDialect::sdDefault;
}

QStringList TADOIBQuery::SqlFor(TSqlDialect dialect) const
{
    const QStringList *text = &SQL;
    switch (dialect) {
    case TSqlDialect::sdOracle: text = &SQL_ORACLE; break;
    case TSqlDialect::sdMsSql: text = &SQL_MSSQL; break;
    case TSqlDialect::sdInterBase: text = &SQL_IB; break;
    case TSqlDialect::sdDefault: break;
    }
    return text->isEmpty() ? SQL : *text;
}

void TADOIBQuery::Open()
{
    m_query.Close();
    QSqlDatabase database = dtmDBGeral().adcGeral();
    const QString sql = SqlFor(DialectOf(database.driverName())).join(QLatin1Char('\n'));
    if (sql.trimmed().isEmpty())
        throw EDatabaseError(QStringLiteral("Consulta %1 sem texto SQL").arg(objectName()));
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        failSql(query);
    for (const QString &name : placeholders(sql)) {
        const auto param = m_params.constFind(name.toUpper());
        if (param == m_params.constEnd()) {
            throw EDatabaseError(
                QStringLiteral("Parâmetro %1 sem valor em %2").arg(name, objectName()));
        }
        query.bindValue(QLatin1Char(':') + name, param->Value());
    }
    if (!query.exec())
        failSql(query);

    TDataPacket packet;
    QList<int> columns;
    const QSqlRecord record = query.record();
    for (TField *field : m_query.Fields()) {
        for (int c = 0; c < record.count(); ++c) {
            if (record.fieldName(c).compare(field->FieldName(), Qt::CaseInsensitive) == 0) {
                packet.fields.append({field->FieldName(), field->DataType(), field->Size()});
                columns.append(c);
                break;
            }
        }
    }
    while (query.next()) {
        QVariantList row;
        row.reserve(columns.size());
        for (int i = 0; i < columns.size(); ++i)
            row.append(packetValue(query.value(columns.at(i)), packet.fields.at(i).type));
        packet.rows.append(row);
    }
    if (query.lastError().isValid())
        failSql(query);
    qCDebug(lcQuery) << objectName() << packet.rows.size() << "rows";
    m_query.LoadFromPacket(packet);
}

void TADOIBQuery::Close()
{
    m_query.Close();
}

bool TADOIBQuery::Active() const
{
    return m_query.Active();
}
