#include "RdmAcomPOL.h"

#include "Criteria.h"
#include "SelectionSql.h"
#include "StatementCache.h"

#include <QDate>

#include <charconv>

namespace {

struct Column
{
    const char *name;
    TFieldType type;
    int size = 0;
};

QList<TPacketField> packetFields(const QList<Column> &columns)
{
    QList<TPacketField> fields;
    fields.reserve(columns.size());
    for (const Column &c : columns)
        fields.append({QString::fromLatin1(c.name), c.type, c.size});
    return fields;
}

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

const QList<TPacketField> SoliColumns = packetFields({
    {"NRSOLICMP", Str, 10}, {"CDARVPROD", Str, 20}, {"NMPRODUTO", Str, 50},
    {"SGUNIDADE", Str, 10}, {"QTSOLIPROD", Flt}, {"DTPROGENTR", Day},
    {"IDITMCONS", Str, 1}, {"NRSOLCMPCONS", Str, 10}, {"IDSOLIAPROV", Str, 1},
    {"NMFILIAL", Str, 37}, {"CDPRODUTO", Str, 10}, {"CDPRODESTO", Str, 10},
    {"CDFILIOPELOG", Str, 4}, {"VRFATOCONV", Flt}, {"NRSEQUCONSOL", Str, 15},
    {"IDPEDIDOOL", Str, 1},
});

const QList<TPacketField> ProdColumns = packetFields({
    {"CDARVPROD", Str, 20}, {"NMPRODUTO", Str, 50}, {"SGUNIDADE", Str, 10},
    {"QTPROGENPEOL", Flt}, {"DTPROGENPEOL", Day}, {"NRPEDEXOL", Str, 10},
    {"IDBAIXENPEOL", Str, 1}, {"IDBAIXAOLSAI", Str, 1}, {"CDFILDEST", Str, 4},
    {"CDFILLANC", Str, 4}, {"CDMARCA", Str, 5}, {"DTPROGEMBARQ", Day},
    {"CDPRODUTO", Str, 10}, {"VRFATOCONV", Flt},
});

const QList<TPacketField> ProdOLColumns = packetFields({
    {"PRODARVOL", Str, 73}, {"QUANT_ESTOQUE", Flt}, {"ESTOQ_DISPO", Flt},
    {"QTRESERVESTOL", Flt}, {"RESERVA_ITEM", Flt},
});

const QList<TPacketField> FiliSoliColumns =
    packetFields({{"CDFILSOLI", Str, 4}, {"NMFILIAL", Str, 30}});
const QList<TPacketField> FiliOLColumns =
    packetFields({{"CDFILIOPELOG", Str, 4}, {"NMFILIAL", Str, 30}});
const QList<TPacketField> PesqFilialColumns = packetFields({
    {"IDMARCADO", Str, 1}, {"CDFILIAL", Str, 4}, {"NMFILIAL", Str, 30},
    {"IDCNTRRESC", Str, 1}, {"CDFILCENTCMP", Str, 4}, {"CDREGIAO", Str, 3},
});
const QList<TPacketField> PesqConsolColumns = packetFields({
    {"IDMARCADO", Str, 1}, {"NRSEQUCONSOL", Str, 15}, {"DTINICONSSOLOL", Day},
    {"DTFINCONSSOLOL", Day},
});

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

// Writes cell `column` of the row itself when it has a say, false to
// leave it to the column type.
using CellOverride = bool (*)(TDataPacketWriter &, const SqlCursor &, int column,
                              const void *context);

// Writes every row straight from the cursor; the first `markColumns` packet
// columns are the selection mark 'N' of the pick lists, the rest follow the
// SELECT list.
void writeRows(SqlCursor &rows, TDataPacketWriter &out, const QList<TPacketField> &columns,
               int markColumns = 0, CellOverride cell = nullptr, const void *context = nullptr)
{
    SqlCursorFinisher finisher(rows);
    out.begin(columns);
    const int width = int(columns.size()) - markColumns;
    while (rows.next()) {
        out.beginRow();
        for (int i = 0; i < markColumns; ++i)
            out.utf8("N");
        for (int i = 0; i < width; ++i) {
            if (!cell || !cell(out, rows, i, context))
                writeCell(out, rows, i, columns.at(i + markColumns).type);
        }
        out.endRow();
    }
    out.end();
}

void run(StatementCache &statements, const SqlStatement &st, TDataPacketWriter &out,
         const QList<TPacketField> &columns, int markColumns = 0)
{
    writeRows(statements.run(st), out, columns, markColumns);
}

// Direct deliveries show the direct-delivery text for the operator's name
// and an empty operator code; items not consolidated an empty run number.
bool soliCell(TDataPacketWriter &out, const SqlCursor &row, int column,
              const void *directDelivery)
{
    switch (column) {
    case SoliNMFILIAL:
        if (!row.isNull(SoliCDFILIOPELOG))
            return false;
        out.string(*static_cast<const QString *>(directDelivery));
        return true;
    case SoliCDFILIOPELOG:
    case SoliNRSEQUCONSOL:
        if (!row.isNull(column))
            return false;
        out.utf8("");
        return true;
    default: return false;
    }
}

constexpr ParamDef text(const char *name) { return {name, ParamKind::Text}; }
constexpr ParamDef date(const char *name) { return {name, ParamKind::Date}; }

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

void RdmAcomPOL::GetFiliSoliGrid(const CallArgs &a, TDataPacketWriter &out)
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
    run(m_statements, SelectionSql::filiSoliGrid(c), out, FiliSoliColumns);
}

void RdmAcomPOL::GetSoli(const CallArgs &a, TDataPacketWriter &out)
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

    writeRows(m_statements.run(SelectionSql::soli(a.text(0), c)), out, SoliColumns, 0,
              soliCell, &directDelivery);
}

void RdmAcomPOL::GetProd(const CallArgs &a, TDataPacketWriter &out)
{
    // The delivery date and the quantity code take no part in the selection:
    // every line of the item is shown. The code is still checked.
    CriteriaCheck::oneOf(QStringLiteral("stQtdePedido"), a.text(4), QStringLiteral("ABCDEFT"));
    run(m_statements, SelectionSql::prod(a.text(0), a.text(1), a.text(3), a.text(5)), out,
        ProdColumns);
}

void RdmAcomPOL::GetProdOL(const CallArgs &a, TDataPacketWriter &out)
{
    SelectionSql::ProdOLKey key;
    key.filDest = a.text(0);
    key.filLanc = a.text(1);
    key.pedido = a.text(2);
    key.produto = a.text(4);
    key.marca = a.text(5);
    key.filOL = a.text(6);
    run(m_statements, SelectionSql::prodOL(key), out, ProdOLColumns);
}

void RdmAcomPOL::GetFiliOL(const CallArgs &, TDataPacketWriter &out)
{
    run(m_statements, SelectionSql::filiOL(), out, FiliOLColumns);
}

void RdmAcomPOL::GetVdFiliOL(const CallArgs &a, TDataPacketWriter &out)
{
    run(m_statements, SelectionSql::vdFiliOL(a.text(0)), out, FiliOLColumns);
}

void RdmAcomPOL::GetPesqFilial(const CallArgs &a, TDataPacketWriter &out)
{
    run(m_statements, SelectionSql::pesqFilial(a.text(0)), out, PesqFilialColumns, 1);
}

void RdmAcomPOL::GetPesqConsol(const CallArgs &a, TDataPacketWriter &out)
{
    using namespace CriteriaCheck;
    Criteria dates;
    dates.entrIni = dayText(QStringLiteral("DtEntrIni"), a.date(1));
    dates.entrFin = dayText(QStringLiteral("DtEntrFin"), a.date(2));
    dates.allDtEntr = isOpenSwitch(QStringLiteral("stDtEntr"), a.text(3));
    dates.solIni = dayText(QStringLiteral("DtSolIni"), a.date(4));
    dates.solFin = dayText(QStringLiteral("DtSolFin"), a.date(5));
    dates.allDtSoli = isOpenSwitch(QStringLiteral("stDtSoli"), a.text(6));
    run(m_statements, SelectionSql::pesqConsol(a.text(0), dates), out, PesqConsolColumns, 1);
}
