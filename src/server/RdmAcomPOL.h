#pragma once

#include "TDataPacketWriter.h"

#include <QJsonArray>
#include <QList>
#include <QString>

class StatementCache;

enum class ParamKind { Text, Date };

struct ParamDef
{
    const char *name;
    ParamKind kind;
};

// Positional params of one call, already checked against the method's
// ParamDef list (count and JSON types).
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
// methods. Each writes its data packet or throws EArgumentRefused /
// EDatabaseError. One instance per worker, over that worker's connection.
class RdmAcomPOL final
{
public:
    using Handler = void (RdmAcomPOL::*)(const CallArgs &, TDataPacketWriter &);
    struct Method
    {
        QString name;
        QList<ParamDef> params;
        Handler handler;
    };

    static const QString ServerName; // "VEX00300.rdmAcomPOL"
    static const QList<Method> &methods();
    static const Method *findMethod(QStringView name);

    explicit RdmAcomPOL(StatementCache &statements) : m_statements(statements) {}

    void GetFiliSoliGrid(const CallArgs &args, TDataPacketWriter &out);
    void GetSoli(const CallArgs &args, TDataPacketWriter &out);
    void GetProd(const CallArgs &args, TDataPacketWriter &out);
    void GetProdOL(const CallArgs &args, TDataPacketWriter &out);
    void GetFiliOL(const CallArgs &args, TDataPacketWriter &out);
    void GetVdFiliOL(const CallArgs &args, TDataPacketWriter &out);
    void GetPesqFilial(const CallArgs &args, TDataPacketWriter &out);
    void GetPesqConsol(const CallArgs &args, TDataPacketWriter &out);

private:
    StatementCache &m_statements;
};
