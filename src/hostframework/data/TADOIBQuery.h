#pragma once

#include "TClientDataSet.h"
#include "TDataSource.h"

#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariant>

// Read-only query on dtmDBGeral. Parameters are ":NAME" placeholders in the
// SQL text, always bound, never pasted. Rows land in the inner data set
// Query(), whose persistent fields are declared with AddField.
class TADOIBQuery : public QObject
{
    Q_OBJECT
public:
    class TParam final
    {
    public:
        void SetAsString(const QString &value) { m_value = value; }
        void SetAsFloat(double value) { m_value = value; }
        void SetValue(const QVariant &value) { m_value = value; }
        QVariant Value() const { return m_value; }

    private:
        QVariant m_value;
    };

    explicit TADOIBQuery(const QString &name = {}, QObject *parent = nullptr);

    enum class TSqlDialect { sdDefault, sdOracle, sdMsSql, sdInterBase };

    // One text for every database; the dialect variants exist for screens
    // that need them and fall back to SQL when empty. SQLite and PostgreSQL
    // run SQL.
    QStringList SQL;
    QStringList SQL_ORACLE;
    QStringList SQL_MSSQL;
    QStringList SQL_IB;

    // The dialect of a Qt SQL driver name ("QOCI" -> sdOracle, ...).
    static TSqlDialect DialectOf(const QString &driverName);
    // The text that runs on a dialect: its own, or SQL when it has none.
    QStringList SqlFor(TSqlDialect dialect) const;

    TParam *ParamByName(const QString &name); // created on first use
    // Persistent fields, as on a client data set (label, mask, visibility).
    TField *AddField(const QString &fieldName, TFieldType type, int size = 0);
    QList<TField *> Fields() const { return m_query.Fields(); }
    TField *FieldByName(const QString &fieldName) const { return m_query.FieldByName(fieldName); }

    void Open();  // throws EDatabaseError with the driver's text
    void Close();
    bool Active() const;

    TClientDataSet *Query() { return &m_query; }

private:
    TClientDataSet m_query;
    QMap<QString, TParam> m_params;
};
