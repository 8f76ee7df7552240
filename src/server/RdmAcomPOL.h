#pragma once

#include "data/TDataPacket.h"

#include <QJsonArray>
#include <QList>
#include <QString>

class StatementCache;

enum class ParamKind { Text, Date };

struct ParamSpec
{
    const char *name;
    ParamKind kind;
};

// Positional params of one call, already checked against the method's
// ParamSpec list (count and JSON types).
class CallArgs final
{
public:
    explicit CallArgs(const QJsonArray &params) : m_params(params) {}
    QString text(int index) const { return m_params.at(index).toString(); }
    double date(int index) const { return m_params.at(index).toDouble(); }

private:
    QJsonArray m_params;
};

// The remote data module "VEX00300.rdmAcomPOL": the tracking screen's eight
// methods. Each returns a data packet or throws EArgumentRefused /
// EDatabaseError. One instance per worker, over that worker's connection.
class RdmAcomPOL final
{
public:
    using Handler = TDataPacket (RdmAcomPOL::*)(const CallArgs &);
    struct Method
    {
        QString name;
        QList<ParamSpec> params;
        Handler handler;
    };

    static const QString ServerName; // "VEX00300.rdmAcomPOL"
    static const QList<Method> &methods();
    static const Method *findMethod(QStringView name);

    explicit RdmAcomPOL(StatementCache &statements) : m_statements(statements) {}

    TDataPacket GetFiliSoliGrid(const CallArgs &args);
    TDataPacket GetSoli(const CallArgs &args);
    TDataPacket GetProd(const CallArgs &args);
    TDataPacket GetProdOL(const CallArgs &args);
    TDataPacket GetFiliOL(const CallArgs &args);
    TDataPacket GetVdFiliOL(const CallArgs &args);
    TDataPacket GetPesqFilial(const CallArgs &args);
    TDataPacket GetPesqConsol(const CallArgs &args);

private:
    StatementCache &m_statements;
};
