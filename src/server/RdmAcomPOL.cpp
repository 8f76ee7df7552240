#include "RdmAcomPOL.h"

#include "Criteria.h"
#include "SelectionSql.h"
#include "StatementCache.h"

#include "data/OleDate.h"

#include <QDate>
#include <QSqlQuery>

namespace {

struct Column
{
    const char *name;
    TFieldType type;
    int size = 0;
};

constexpr TFieldType Str = TFieldType::ftString;
constexpr TFieldType Flt = TFieldType::ftFloat;
constexpr TFieldType Day = TFieldType::ftDateTime;

// Columns of GetSoli, in packet (and SELECT) order.
enum SoliColumn {
    SoliNRSOLICMP, SoliCDARVPROD, SoliNMPRODUTO, SoliSGUNIDADE, SoliQTSOLIPROD,
    SoliDTPROGENTR, SoliIDITMCONS, SoliNRSOLCMPCONS, SoliIDSOLIAPROV, SoliNMFILIAL,
    SoliCDPRODUTO, SoliCDPRODESTO, SoliCDFILIOPELOG, SoliVRFATOCONV, SoliNRSEQUCONSOL,
    SoliIDPEDIDOOL,
};

const QList<Column> SoliColumns = {
    {"NRSOLICMP", Str, 10}, {"CDARVPROD", Str, 20}, {"NMPRODUTO", Str, 50},
    {"SGUNIDADE", Str, 10}, {"QTSOLIPROD", Flt}, {"DTPROGENTR", Day},
    {"IDITMCONS", Str, 1}, {"NRSOLCMPCONS", Str, 10}, {"IDSOLIAPROV", Str, 1},
    {"NMFILIAL", Str, 37}, {"CDPRODUTO", Str, 10}, {"CDPRODESTO", Str, 10},
    {"CDFILIOPELOG", Str, 4}, {"VRFATOCONV", Flt}, {"NRSEQUCONSOL", Str, 15},
    {"IDPEDIDOOL", Str, 1},
};

const QList<Column> ProdColumns = {
    {"CDARVPROD", Str, 20}, {"NMPRODUTO", Str, 50}, {"SGUNIDADE", Str, 10},
    {"QTPROGENPEOL", Flt}, {"DTPROGENPEOL", Day}, {"NRPEDEXOL", Str, 10},
    {"IDBAIXENPEOL", Str, 1}, {"IDBAIXAOLSAI", Str, 1}, {"CDFILDEST", Str, 4},
    {"CDFILLANC", Str, 4}, {"CDMARCA", Str, 5}, {"DTPROGEMBARQ", Day},
    {"CDPRODUTO", Str, 10}, {"VRFATOCONV", Flt},
};

const QList<Column> ProdOLColumns = {
    {"PRODARVOL", Str, 73}, {"QUANT_ESTOQUE", Flt}, {"ESTOQ_DISPO", Flt},
    {"QTRESERVESTOL", Flt}, {"RESERVA_ITEM", Flt},
};

const QList<Column> FiliSoliColumns = {{"CDFILSOLI", Str, 4}, {"NMFILIAL", Str, 30}};
const QList<Column> FiliOLColumns = {{"CDFILIOPELOG", Str, 4}, {"NMFILIAL", Str, 30}};
const QList<Column> PesqFilialColumns = {
    {"IDMARCADO", Str, 1}, {"CDFILIAL", Str, 4}, {"NMFILIAL", Str, 30},
    {"IDCNTRRESC", Str, 1}, {"CDFILCENTCMP", Str, 4}, {"CDREGIAO", Str, 3},
};
const QList<Column> PesqConsolColumns = {
    {"IDMARCADO", Str, 1}, {"NRSEQUCONSOL", Str, 15}, {"DTINICONSSOLOL", Day},
    {"DTFINCONSSOLOL", Day},
};

TDataPacket emptyPacket(const QList<Column> &columns)
{
    TDataPacket packet;
    packet.fields.reserve(columns.size());
    for (const Column &c : columns)
        packet.fields.append({QString::fromLatin1(c.name), c.type, c.size});
    return packet;
}

// SQLite hands dates back as ISO text, PostgreSQL as QDate.
QVariant dayValue(const QVariant &v)
{
    if (v.isNull())
        return {};
    const QDate date = v.typeId() == QMetaType::QDate
                           ? v.toDate()
                           : QDate::fromString(v.toString().left(10), Qt::ISODate);
    return date.isValid() ? QVariant(OleDate::fromDate(date)) : QVariant();
}

QVariant typedValue(const QVariant &v, TFieldType type)
{
    if (v.isNull())
        return {};
    switch (type) {
    case TFieldType::ftFloat: return v.toDouble();
    case TFieldType::ftDateTime: return dayValue(v);
    case TFieldType::ftInteger: return v.toLongLong();
    default: return v.toString();
    }
}

// Reads every row; the first `markColumns` packet columns are the selection
// mark 'N' of the pick lists, the rest follow the SELECT list.
TDataPacket readPacket(QSqlQuery &query, const QList<Column> &columns, int markColumns = 0)
{
    TDataPacket packet = emptyPacket(columns);
    const qsizetype width = columns.size();
    while (query.next()) {
        QVariantList row;
        row.reserve(width);
        for (int i = 0; i < markColumns; ++i)
            row.append(QStringLiteral("N"));
        for (qsizetype i = markColumns; i < width; ++i)
            row.append(typedValue(query.value(int(i - markColumns)), columns.at(i).type));
        packet.rows.append(std::move(row));
    }
    query.finish();
    return packet;
}

TDataPacket run(StatementCache &statements, const SqlStatement &st,
                const QList<Column> &columns, int markColumns = 0)
{
    return readPacket(statements.run(st), columns, markColumns);
}

constexpr ParamSpec text(const char *name) { return {name, ParamKind::Text}; }
constexpr ParamSpec date(const char *name) { return {name, ParamKind::Date}; }

} // namespace

const QString RdmAcomPOL::ServerName = QStringLiteral("VEX00300.rdmAcomPOL");

const QList<RdmAcomPOL::Method> &RdmAcomPOL::methods()
{
    static const QList<Method> table = {
        {QStringLiteral("GetFiliSoliGrid"),
         {text("stLFilSoli"), text("stTFilSoli"), text("stFilOL"), date("DtEntrIni"),
          date("DtEntrFin"), text("stDtEntr"), date("DtSolIni"), date("DtSolFin"),
          text("stDtSoli"), text("stProdIni"), text("stProdFin"), text("stProd"),
          text("stListaConsol"), text("stTodasConsol"), text("stStatus"),
          text("stItemConsol"), text("stPedGerado"), text("stQtdePedido")},
         &RdmAcomPOL::GetFiliSoliGrid},
        {QStringLiteral("GetSoli"),
         {text("CDFILSOLI"), text("stFilOL"), date("DtEntrIni"), date("DtEntrFin"),
          text("stDtEntr"), date("DtSolIni"), date("DtSolFin"), text("stDtSoli"),
          text("stProdIni"), text("stProdFin"), text("stProd"), text("ED"),
          text("stListaConsol"), text("stTodasConsol"), text("stStatus"),
          text("stItemConsol"), text("stPedGerado"), text("stQtdePedido")},
         &RdmAcomPOL::GetSoli},
        {QStringLiteral("GetProd"),
         {text("CDFILSOLI"), text("stFilOL"), date("DTPROGENTR"), text("CDPRODESTO"),
          text("stQtdePedido"), text("NRSEQUCONSOL")},
         &RdmAcomPOL::GetProd},
        {QStringLiteral("GetProdOL"),
         {text("CDFILDEST"), text("CDFILLANC"), text("NRPEDEXOL"), date("DTPROGENTR"),
          text("CDPRODUTO"), text("CDMARCA"), text("stFilOL"), date("DTPROGEMBARQ")},
         &RdmAcomPOL::GetProdOL},
        {QStringLiteral("GetFiliOL"), {}, &RdmAcomPOL::GetFiliOL},
        {QStringLiteral("GetVdFiliOL"), {text("CDFILIOPELOG")}, &RdmAcomPOL::GetVdFiliOL},
        {QStringLiteral("GetPesqFilial"), {text("CDFILIOPELOG")}, &RdmAcomPOL::GetPesqFilial},
        {QStringLiteral("GetPesqConsol"),
         {text("CDFILIOPELOG"), date("DtEntrIni"), date("DtEntrFin"), text("stDtEntr"),
          date("DtSolIni"), date("DtSolFin"), text("stDtSoli")},
         &RdmAcomPOL::GetPesqConsol},
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

TDataPacket RdmAcomPOL::GetFiliSoliGrid(const CallArgs &a)
{
    RawCriteria raw;
    raw.lFilSoli = a.text(0);
    raw.tFilSoli = a.text(1);
    raw.filOL = a.text(2);
    raw.entrIni = a.date(3);
    raw.entrFin = a.date(4);
    raw.stDtEntr = a.text(5);
    raw.solIni = a.date(6);
    raw.solFin = a.date(7);
    raw.stDtSoli = a.text(8);
    raw.prodIni = a.text(9);
    raw.prodFin = a.text(10);
    raw.stProd = a.text(11);
    raw.listaConsol = a.text(12);
    raw.todasConsol = a.text(13);
    raw.status = a.text(14);
    raw.itemConsol = a.text(15);
    raw.pedGerado = a.text(16);
    raw.qtdePedido = a.text(17);
    const Criteria c = Criteria::fromRaw(raw);
    return run(m_statements, SelectionSql::filiSoliGrid(c), FiliSoliColumns);
}

TDataPacket RdmAcomPOL::GetSoli(const CallArgs &a)
{
    RawCriteria raw;
    raw.tFilSoli = QStringLiteral("T"); // the branch is argument 1
    raw.filOL = a.text(1);
    raw.entrIni = a.date(2);
    raw.entrFin = a.date(3);
    raw.stDtEntr = a.text(4);
    raw.solIni = a.date(5);
    raw.solFin = a.date(6);
    raw.stDtSoli = a.text(7);
    raw.prodIni = a.text(8);
    raw.prodFin = a.text(9);
    raw.stProd = a.text(10);
    raw.listaConsol = a.text(12);
    raw.todasConsol = a.text(13);
    raw.status = a.text(14);
    raw.itemConsol = a.text(15);
    raw.pedGerado = a.text(16);
    raw.qtdePedido = a.text(17);
    const Criteria c = Criteria::fromRaw(raw);
    const QString directDelivery = a.text(11);

    TDataPacket packet = run(m_statements, SelectionSql::soli(a.text(0), c), SoliColumns);
    for (QVariantList &row : packet.rows) {
        if (row.at(SoliCDFILIOPELOG).isNull()) {
            row[SoliNMFILIAL] = directDelivery;
            row[SoliCDFILIOPELOG] = QString();
        }
        if (row.at(SoliNRSEQUCONSOL).isNull())
            row[SoliNRSEQUCONSOL] = QString();
    }
    return packet;
}

TDataPacket RdmAcomPOL::GetProd(const CallArgs &a)
{
    // The delivery date and the quantity code take no part in the selection:
    // every line of the item is shown. The code is still checked.
    CriteriaCheck::oneOf(QStringLiteral("stQtdePedido"), a.text(4), QStringLiteral("ABCDEFT"));
    return run(m_statements, SelectionSql::prod(a.text(0), a.text(1), a.text(3), a.text(5)),
               ProdColumns);
}

TDataPacket RdmAcomPOL::GetProdOL(const CallArgs &a)
{
    SelectionSql::ProdOLKey key;
    key.filDest = a.text(0);
    key.filLanc = a.text(1);
    key.pedido = a.text(2);
    key.produto = a.text(4);
    key.marca = a.text(5);
    key.filOL = a.text(6);
    return run(m_statements, SelectionSql::prodOL(key), ProdOLColumns);
}

TDataPacket RdmAcomPOL::GetFiliOL(const CallArgs &)
{
    return run(m_statements, SelectionSql::filiOL(), FiliOLColumns);
}

TDataPacket RdmAcomPOL::GetVdFiliOL(const CallArgs &a)
{
    return run(m_statements, SelectionSql::vdFiliOL(a.text(0)), FiliOLColumns);
}

TDataPacket RdmAcomPOL::GetPesqFilial(const CallArgs &a)
{
    return run(m_statements, SelectionSql::pesqFilial(a.text(0)), PesqFilialColumns, 1);
}

TDataPacket RdmAcomPOL::GetPesqConsol(const CallArgs &a)
{
    using namespace CriteriaCheck;
    Criteria dates;
    dates.entrIni = dayText(QStringLiteral("DtEntrIni"), a.date(1));
    dates.entrFin = dayText(QStringLiteral("DtEntrFin"), a.date(2));
    dates.allDtEntr = isOpenSwitch(QStringLiteral("stDtEntr"), a.text(3));
    dates.solIni = dayText(QStringLiteral("DtSolIni"), a.date(4));
    dates.solFin = dayText(QStringLiteral("DtSolFin"), a.date(5));
    dates.allDtSoli = isOpenSwitch(QStringLiteral("stDtSoli"), a.text(6));
    return run(m_statements, SelectionSql::pesqConsol(a.text(0), dates), PesqConsolColumns, 1);
}
