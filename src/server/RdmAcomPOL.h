#pragma once

#include "TDataPacketWriter.h"

#include <QJsonArray>
#include <QList>
#include <QString>

#include <functional>

class ColumnTable;
class SqlCursor;
class StatementCache;

enum class ParamKind { Text, Date, List };

struct ParamDef
{
    const char *name;
    ParamKind kind;
    // Text: the size of the column or field the value fills (longer is
    // refused). List: the size of one code (the list is checked code by code).
    int maxSize = 0;
};

// The params of one call, already checked against the method's ParamDef
// list (count, JSON types and sizes), read by name.
class CallArgs final
{
public:
    CallArgs(const QList<ParamDef> &defs, const QJsonArray &params)
        : m_defs(defs), m_params(params)
    {
    }
    QString text(const char *name) const { return m_params.at(index(name)).toString(); }
    double date(const char *name) const { return m_params.at(index(name)).toDouble(); }

private:
    // A name the method does not declare is a programming error (qFatal).
    qsizetype index(const char *name) const;

    const QList<ParamDef> &m_defs;
    QJsonArray m_params;
};

// The remote data module "VEX00300.rdmAcomPOL": the tracking screen's eight
// methods, the export's chain, the branches' counts and the requests'
// situations. Each writes its data
// packet or throws EArgumentRefused / EDatabaseError. One instance per
// worker, over that worker's connection.
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
    static constexpr qint64 DefaultMaxChainRows = 2'000'000;
    static const QList<Method> &methods();
    static const Method *findMethod(QStringView name);
    // Count and JSON types (EInvalidParams), then the size of every text
    // (EArgumentRefused).
    static void checkParams(const Method &method, const QJsonArray &params);

    explicit RdmAcomPOL(StatementCache &statements) : m_statements(statements) {}
    // Replies that would pass this many bytes are refused (0: no cap).
    void setMaxReplyBytes(qint64 bytes) { m_maxReplyBytes = bytes; }
    // GetCadeiaPedidos refuses a result of more rows than this.
    void setMaxChainRows(qint64 rows) { m_maxChainRows = rows; }

    void GetFiliSoliGrid(const CallArgs &args, TDataPacketWriter &out);
    void GetSoli(const CallArgs &args, TDataPacketWriter &out);
    void GetProd(const CallArgs &args, TDataPacketWriter &out);
    void GetProdOL(const CallArgs &args, TDataPacketWriter &out);
    void GetFiliOL(const CallArgs &args, TDataPacketWriter &out);
    void GetVdFiliOL(const CallArgs &args, TDataPacketWriter &out);
    void GetPesqFilial(const CallArgs &args, TDataPacketWriter &out);
    void GetPesqConsol(const CallArgs &args, TDataPacketWriter &out);
    void GetCadeiaPedidos(const CallArgs &args, TDataPacketWriter &out);
    void GetResumoFiliais(const CallArgs &args, TDataPacketWriter &out);
    void GetSituacaoSoli(const CallArgs &args, TDataPacketWriter &out);

private:
    void writeRows(SqlCursor &rows, TDataPacketWriter &out, const ColumnTable &columns,
                   const std::function<bool(TDataPacketWriter &, const SqlCursor &, int)> &cell
                   = {},
                   qint64 maxRows = 0);

    StatementCache &m_statements;
    qint64 m_maxReplyBytes = 0;
    qint64 m_maxChainRows = DefaultMaxChainRows;
};
