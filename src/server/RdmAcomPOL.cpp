#include "RdmAcomPOL.h"

#include "Criteria.h"
#include "ServerErrors.h"
#include "SelectionSql.h"
#include "StatementCache.h"

#include <QDate>

#include <charconv>

namespace {

using namespace SelectionSql;

// Sizes of the codes the arguments carry (their columns' sizes).
constexpr int FilialCode = 4;
constexpr int ProductTree = 20; // CDARVPROD
constexpr int ProductCode = 10;
constexpr int OrderNumber = 10;
constexpr int BrandCode = 5;
constexpr int ConsolCode = 15;
constexpr int Switch = 1;

void writeCell(TDataPacketWriter &out, const SqlCursor &row, int column, TFieldType type)
{
    if (row.isNull(column)) {
        out.null();
        return;
    }
    switch (type) {
    case TFieldType::ftFloat: out.number(row.real(column)); break;
    case TFieldType::ftDateTime: out.day(row.day(column)); break;
    case TFieldType::ftInteger: {
        const QByteArrayView text = row.text(column);
        qint64 n = 0;
        std::from_chars(text.data(), text.data() + text.size(), n);
        out.integer(n);
        break;
    }
    default: out.utf8(row.text(column));
    }
}

QString paramKindText(ParamKind kind)
{
    return kind == ParamKind::Date ? QStringLiteral("número (data)") : QStringLiteral("texto");
}

bool hasKind(const QJsonValue &value, ParamKind kind)
{
    return kind == ParamKind::Date ? value.isDouble() : value.isString();
}

constexpr ParamDef text(const char *name, int maxSize) { return {name, ParamKind::Text, maxSize}; }
constexpr ParamDef list(const char *name, int codeSize) { return {name, ParamKind::List, codeSize}; }
constexpr ParamDef date(const char *name) { return {name, ParamKind::Date}; }

QList<ParamDef> filiSoliGridParams()
{
    return {list("stLFilSoli", FilialCode), text("stTFilSoli", Switch),
            text("stFilOL", FilialCode), date("DtEntrIni"), date("DtEntrFin"),
            text("stDtEntr", Switch), date("DtSolIni"), date("DtSolFin"),
            text("stDtSoli", Switch), text("stProdIni", ProductTree),
            text("stProdFin", ProductTree), text("stProd", Switch),
            list("stListaConsol", ConsolCode), text("stTodasConsol", Switch),
            text("stStatus", Switch), text("stItemConsol", Switch), text("stPedGerado", Switch),
            text("stQtdePedido", Switch)};
}

QList<ParamDef> soliParams(int directDeliveryText)
{
    return {text("CDFILSOLI", FilialCode), text("stFilOL", FilialCode), date("DtEntrIni"),
            date("DtEntrFin"), text("stDtEntr", Switch), date("DtSolIni"), date("DtSolFin"),
            text("stDtSoli", Switch), text("stProdIni", ProductTree),
            text("stProdFin", ProductTree), text("stProd", Switch),
            text("ED", directDeliveryText), list("stListaConsol", ConsolCode),
            text("stTodasConsol", Switch), text("stStatus", Switch), text("stItemConsol", Switch),
            text("stPedGerado", Switch), text("stQtdePedido", Switch)};
}

} // namespace

const QString RdmAcomPOL::ServerName = QStringLiteral("VEX00300.rdmAcomPOL");

qsizetype CallArgs::index(const char *name) const
{
    for (qsizetype i = 0; i < m_defs.size(); ++i) {
        if (qstrcmp(m_defs.at(i).name, name) == 0)
            return i;
    }
    qFatal("CallArgs: no parameter %s", name);
}

const QList<RdmAcomPOL::Method> &RdmAcomPOL::methods()
{
    // ED (the direct-delivery text) fills GetSoli's NMFILIAL.
    static const int DirectDeliveryText = Columns::soli().size(u"NMFILIAL");
    static const QList<Method> table = {
        {QStringLiteral("GetFiliSoliGrid"), filiSoliGridParams(), &RdmAcomPOL::GetFiliSoliGrid},
        {QStringLiteral("GetSoli"), soliParams(DirectDeliveryText), &RdmAcomPOL::GetSoli},
        {QStringLiteral("GetProd"),
         {text("CDFILSOLI", FilialCode), text("stFilOL", FilialCode), date("DTPROGENTR"),
          text("CDPRODESTO", ProductCode), text("stQtdePedido", Switch),
          text("NRSEQUCONSOL", ConsolCode)},
         &RdmAcomPOL::GetProd},
        {QStringLiteral("GetProdOL"),
         {text("CDFILDEST", FilialCode), text("CDFILLANC", FilialCode),
          text("NRPEDEXOL", OrderNumber), date("DTPROGENTR"), text("CDPRODUTO", ProductCode),
          text("CDMARCA", BrandCode), text("stFilOL", FilialCode), date("DTPROGEMBARQ")},
         &RdmAcomPOL::GetProdOL},
        {QStringLiteral("GetFiliOL"), {}, &RdmAcomPOL::GetFiliOL},
        {QStringLiteral("GetVdFiliOL"), {text("CDFILIOPELOG", FilialCode)},
         &RdmAcomPOL::GetVdFiliOL},
        {QStringLiteral("GetPesqFilial"), {text("CDFILIOPELOG", FilialCode)},
         &RdmAcomPOL::GetPesqFilial},
        {QStringLiteral("GetPesqConsol"),
         {text("CDFILIOPELOG", FilialCode), date("DtEntrIni"), date("DtEntrFin"),
          text("stDtEntr", Switch), date("DtSolIni"), date("DtSolFin"), text("stDtSoli", Switch)},
         &RdmAcomPOL::GetPesqConsol},
        {QStringLiteral("GetCadeiaPedidos"), filiSoliGridParams(),
         &RdmAcomPOL::GetCadeiaPedidos},
        {QStringLiteral("GetResumoFiliais"), filiSoliGridParams() << date("DtRef"),
         &RdmAcomPOL::GetResumoFiliais},
        {QStringLiteral("GetSituacaoSoli"), soliParams(DirectDeliveryText) << date("DtRef"),
         &RdmAcomPOL::GetSituacaoSoli},
    };
    return table;
}

const RdmAcomPOL::Method *RdmAcomPOL::findMethod(QStringView name)
{
    for (const Method &m : methods()) {
        if (m.name == name)
            return &m;
    }
    return nullptr;
}

void RdmAcomPOL::checkParams(const Method &method, const QJsonArray &params)
{
    if (params.size() != method.params.size())
        throw EInvalidParams(
            QStringLiteral("Parâmetros inválidos para %1: esperados %2, recebidos %3")
                .arg(method.name)
                .arg(method.params.size())
                .arg(params.size()));
    for (qsizetype i = 0; i < params.size(); ++i) {
        const ParamDef &param = method.params.at(i);
        if (!hasKind(params.at(i), param.kind))
            throw EInvalidParams(QStringLiteral("Parâmetro %1 (%2) de %3 inválido: esperado %4")
                                     .arg(QString::fromLatin1(param.name))
                                     .arg(i + 1)
                                     .arg(method.name, paramKindText(param.kind)));
    }
    // Every text fits the column or field it fills, so one argument cannot
    // multiply a reply (ED is copied into every row of GetSoli). Lists are
    // checked code by code (count and size) by the criteria.
    for (qsizetype i = 0; i < params.size(); ++i) {
        const ParamDef &param = method.params.at(i);
        if (param.kind != ParamKind::Text)
            continue;
        const qsizetype size = params.at(i).toString().size();
        if (size > param.maxSize)
            throw EArgumentRefused(
                QStringLiteral("Argumento %1 inválido: %2 caracteres (máximo %3)")
                    .arg(QString::fromLatin1(param.name))
                    .arg(size)
                    .arg(param.maxSize));
    }
}

// Writes every row straight from the cursor, in the table's column order;
// `cell` may write a cell itself (true) or leave it to the column type.
void RdmAcomPOL::writeRows(
    SqlCursor &rows, TDataPacketWriter &out, const ColumnTable &columns,
    const std::function<bool(TDataPacketWriter &, const SqlCursor &, int)> &cell,
    qint64 maxRows)
{
    SqlCursorFinisher finisher(rows);
    const QList<TPacketField> &fields = columns.packetFields();
    out.begin(fields);
    const int width = int(fields.size());
    while (rows.next()) {
        out.beginRow();
        for (int i = 0; i < width; ++i) {
            if (!cell || !cell(out, rows, i))
                writeCell(out, rows, i, fields.at(i).type);
        }
        out.endRow();
        if (maxRows > 0 && out.rowCount() > maxRows)
            throw EArgumentRefused(
                QStringLiteral("Resultado com mais de %L1 linhas; restrinja os critérios "
                               "da consulta").arg(maxRows));
        if (m_maxReplyBytes > 0 && out.size() > m_maxReplyBytes)
            throw EArgumentRefused(
                QStringLiteral("Resposta maior que o limite de %1 bytes (%2 linhas lidas); "
                               "restrinja os critérios da consulta")
                    .arg(m_maxReplyBytes)
                    .arg(out.rowCount()));
    }
    out.end();
}

namespace {
RawCriteria rawCriteria(const CallArgs &a)
{
    RawCriteria raw;
    raw.filOL = a.text("stFilOL");
    raw.entrIni = a.date("DtEntrIni");
    raw.entrFin = a.date("DtEntrFin");
    raw.stDtEntr = a.text("stDtEntr");
    raw.solIni = a.date("DtSolIni");
    raw.solFin = a.date("DtSolFin");
    raw.stDtSoli = a.text("stDtSoli");
    raw.prodIni = a.text("stProdIni");
    raw.prodFin = a.text("stProdFin");
    raw.stProd = a.text("stProd");
    raw.listaConsol = a.text("stListaConsol");
    raw.todasConsol = a.text("stTodasConsol");
    raw.status = a.text("stStatus");
    raw.itemConsol = a.text("stItemConsol");
    raw.pedGerado = a.text("stPedGerado");
    raw.qtdePedido = a.text("stQtdePedido");
    return raw;
}

// The criteria of the methods that take GetFiliSoliGrid's eighteen params.
Criteria gridCriteria(const CallArgs &a)
{
    RawCriteria raw = rawCriteria(a);
    raw.lFilSoli = a.text("stLFilSoli");
    raw.tFilSoli = a.text("stTFilSoli");
    return Criteria::fromRaw(raw);
}
} // namespace

void RdmAcomPOL::GetFiliSoliGrid(const CallArgs &a, TDataPacketWriter &out)
{
    RawCriteria raw = rawCriteria(a);
    raw.lFilSoli = a.text("stLFilSoli");
    raw.tFilSoli = a.text("stTFilSoli");
    const Criteria c = Criteria::fromRaw(raw);
    writeRows(m_statements.run(SelectionSql::filiSoliGrid(c)), out, Columns::filiSoliGrid());
}

namespace {
// The criteria of the methods that take GetSoli's params: one branch.
Criteria branchCriteria(const CallArgs &a)
{
    RawCriteria raw = rawCriteria(a);
    raw.tFilSoli = QStringLiteral("T"); // the branch is CDFILSOLI
    return Criteria::fromRaw(raw);
}
} // namespace

void RdmAcomPOL::GetSoli(const CallArgs &a, TDataPacketWriter &out)
{
    const Criteria c = branchCriteria(a);
    const QString directDelivery = a.text("ED");

    // Direct deliveries show the direct-delivery text for the operator's
    // name and an empty operator code; items not consolidated an empty run
    // number.
    const ColumnTable &columns = Columns::soli();
    static const int name = columns.indexOf(u"NMFILIAL");
    static const int op = columns.indexOf(u"CDFILIOPELOG");
    static const int run = columns.indexOf(u"NRSEQUCONSOL");
    const auto cell = [&](TDataPacketWriter &w, const SqlCursor &row, int column) {
        if (column == name) {
            if (!row.isNull(op))
                return false;
            w.string(directDelivery);
            return true;
        }
        if ((column == op || column == run) && row.isNull(column)) {
            w.utf8("");
            return true;
        }
        return false;
    };
    writeRows(m_statements.run(SelectionSql::soli(a.text("CDFILSOLI"), c)), out, columns, cell);
}

void RdmAcomPOL::GetProd(const CallArgs &a, TDataPacketWriter &out)
{
    // The delivery date and the quantity code take no part in the selection:
    // every line of the item is shown. The code is still checked.
    CriteriaCheck::oneOf(QStringLiteral("stQtdePedido"), a.text("stQtdePedido"),
                         QStringLiteral("ABCDEFT"));
    writeRows(m_statements.run(SelectionSql::prod(a.text("CDFILSOLI"), a.text("stFilOL"),
                                                  a.text("CDPRODESTO"), a.text("NRSEQUCONSOL"))),
              out, Columns::prod());
}

void RdmAcomPOL::GetProdOL(const CallArgs &a, TDataPacketWriter &out)
{
    SelectionSql::ProdOLKey key;
    key.filDest = a.text("CDFILDEST");
    key.filLanc = a.text("CDFILLANC");
    key.pedido = a.text("NRPEDEXOL");
    key.produto = a.text("CDPRODUTO");
    key.marca = a.text("CDMARCA");
    key.filOL = a.text("stFilOL");
    writeRows(m_statements.run(SelectionSql::prodOL(key)), out, Columns::prodOL());
}

void RdmAcomPOL::GetFiliOL(const CallArgs &, TDataPacketWriter &out)
{
    writeRows(m_statements.run(SelectionSql::filiOL()), out, Columns::filiOL());
}

void RdmAcomPOL::GetVdFiliOL(const CallArgs &a, TDataPacketWriter &out)
{
    writeRows(m_statements.run(SelectionSql::vdFiliOL(a.text("CDFILIOPELOG"))), out,
              Columns::filiOL());
}

void RdmAcomPOL::GetPesqFilial(const CallArgs &a, TDataPacketWriter &out)
{
    writeRows(m_statements.run(SelectionSql::pesqFilial(a.text("CDFILIOPELOG"))), out,
              Columns::pesqFilial());
}

void RdmAcomPOL::GetPesqConsol(const CallArgs &a, TDataPacketWriter &out)
{
    using namespace CriteriaCheck;
    Criteria dates;
    dates.entrIni = dayText(QStringLiteral("DtEntrIni"), a.date("DtEntrIni"));
    dates.entrFin = dayText(QStringLiteral("DtEntrFin"), a.date("DtEntrFin"));
    dates.allDtEntr = isOpenSwitch(QStringLiteral("stDtEntr"), a.text("stDtEntr"));
    dates.solIni = dayText(QStringLiteral("DtSolIni"), a.date("DtSolIni"));
    dates.solFin = dayText(QStringLiteral("DtSolFin"), a.date("DtSolFin"));
    dates.allDtSoli = isOpenSwitch(QStringLiteral("stDtSoli"), a.text("stDtSoli"));
    writeRows(m_statements.run(SelectionSql::pesqConsol(a.text("CDFILIOPELOG"), dates)), out,
              Columns::pesqConsol());
}

void RdmAcomPOL::GetCadeiaPedidos(const CallArgs &a, TDataPacketWriter &out)
{
    writeRows(m_statements.run(SelectionSql::cadeiaPedidos(gridCriteria(a))), out,
              Columns::cadeiaPedidos(), {}, m_maxChainRows);
}

void RdmAcomPOL::GetResumoFiliais(const CallArgs &a, TDataPacketWriter &out)
{
    const Criteria c = gridCriteria(a);
    const QString dtRef = CriteriaCheck::dayText(QStringLiteral("DtRef"), a.date("DtRef"));
    writeRows(m_statements.run(SelectionSql::resumoFiliais(c, dtRef)), out,
              Columns::resumoFiliais());
}

void RdmAcomPOL::GetSituacaoSoli(const CallArgs &a, TDataPacketWriter &out)
{
    const Criteria c = branchCriteria(a);
    const QString dtRef = CriteriaCheck::dayText(QStringLiteral("DtRef"), a.date("DtRef"));
    writeRows(m_statements.run(SelectionSql::situacaoSoli(a.text("CDFILSOLI"), c, dtRef)), out,
              Columns::situacaoSoli());
}
