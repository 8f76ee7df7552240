#include "SelectionSql.h"

#include "ItemSituation.h"

#include <optional>

namespace {

// Order lines of the request item s (alias o).
const QString OrderLineLink = QStringLiteral(
    "o.NRSEQUCONSOL = s.NRSEQUCONSOL AND o.CDFILIOPELOG = s.CDFILIOPELOG"
    " AND o.CDFILDEST = s.CDFILSOLI AND o.CDPRODUTO = s.CDPRODESTO");
// Base units, null counting as zero: requested by item s, ordered by line o.
const QString RequestedBase = QStringLiteral(
    "COALESCE(s.QTSOLIPROD, 0) * COALESCE(s.VRFATOCONV, 0)");
const QString OrderedBase = QStringLiteral(
    "COALESCE(o.QTPROGENPEOL, 0) * COALESCE(o.VRFATOCONV, 0)");
// A blank run number is no consolidation.
const QString IsConsolidated = QStringLiteral(
    "s.NRSEQUCONSOL IS NOT NULL AND TRIM(s.NRSEQUCONSOL) <> ''");

QString placeholders(qsizetype count)
{
    QString text;
    text.reserve(count * 3);
    for (qsizetype i = 0; i < count; ++i)
        text += i == 0 ? QStringLiteral("?") : QStringLiteral(", ?");
    return text;
}

// "column IN (?, ...)" binding each code; an empty list selects nothing.
void appendInList(QString &sql, QVariantList &binds, const QString &column,
                  const QStringList &codes)
{
    if (codes.isEmpty()) {
        sql += QStringLiteral(" AND 1 = 0");
        return;
    }
    sql += QStringLiteral(" AND %1 IN (%2)").arg(column, placeholders(codes.size()));
    for (const QString &code : codes)
        binds << code;
}

QString hasOrderLine()
{
    return QStringLiteral("EXISTS (SELECT 1 FROM PEDIDOOL o WHERE ") + OrderLineLink + u')';
}

QString quantityOperator(QChar code)
{
    switch (code.unicode()) {
    case 'A': return QStringLiteral(">");
    case 'B': return QStringLiteral("<");
    case 'C': return QStringLiteral("=");
    case 'D': return QStringLiteral(">=");
    case 'E': return QStringLiteral("<=");
    case 'F': return QStringLiteral("<>");
    default: return {};
    }
}

// Rule 1 splits in two sources, each an equality on the index
// (CDFILSOLI, CDFILIOPELOG, DTPROGENTR): items the operator serves, and
// direct deliveries (null operator) of branches the operator serves. The
// delivery-mode choice keeps one source or both.
bool wantsOperatorItems(const Criteria &c)
{
    return c.status != u'S';
}

bool wantsDirectItems(const Criteria &c)
{
    return c.status != u'N';
}

void appendDates(QString &sql, QVariantList &binds, const Criteria &c)
{
    if (!c.allDtEntr) {
        sql += QStringLiteral(" AND s.DTPROGENTR BETWEEN ? AND ?");
        binds << c.entrIni << c.entrFin;
    }
    if (!c.allDtSoli) {
        sql += QStringLiteral(" AND s.DTSOLICMP BETWEEN ? AND ?");
        binds << c.solIni << c.solFin;
    }
}

// Every rule but the operator, the delivery mode and the requesting-branch list.
void appendItemRules(QString &sql, QVariantList &binds, const Criteria &c)
{
    appendDates(sql, binds, c);
    if (!c.allProd) {
        sql += QStringLiteral(" AND EXISTS (SELECT 1 FROM PRODUTO pr WHERE pr.CDPRODUTO ="
                              " s.CDPRODUTO AND pr.CDARVPROD BETWEEN ? AND ?)");
        binds << c.prodIni << c.prodFin;
    }
    if (!c.allConsol)
        appendInList(sql, binds, QStringLiteral("s.NRSEQUCONSOL"), c.consols);
    if (c.itemConsol == u'S')
        sql += QStringLiteral(" AND ") + IsConsolidated;
    else if (c.itemConsol == u'N')
        sql += QStringLiteral(" AND (s.NRSEQUCONSOL IS NULL OR TRIM(s.NRSEQUCONSOL) = '')");
    if (c.pedGerado == u'S')
        sql += QStringLiteral(" AND ") + hasOrderLine();
    else if (c.pedGerado == u'N')
        sql += QStringLiteral(" AND NOT ") + hasOrderLine();
    const QString op = quantityOperator(c.qtdePedido);
    if (!op.isEmpty()) {
        // Items without an order line pass; null quantities count as zero.
        sql += QStringLiteral(" AND (NOT %1 OR (SELECT SUM(%2) FROM PEDIDOOL o WHERE %3) %4 %5)")
                   .arg(hasOrderLine(), OrderedBase, OrderLineLink, op, RequestedBase);
    }
}

// GetSoli's columns for direct deliveries: their order-line flag and
// operator name are constants.
QString directSoliSelectList()
{
    QList<ColumnDef> columns = SelectionSql::Columns::soli().columns();
    for (ColumnDef &column : columns) {
        if (column.name == u"IDPEDIDOOL")
            column.sql = QStringLiteral("'N'");
        else if (column.name == u"NMFILIAL")
            column.sql = QStringLiteral("NULL");
    }
    return ColumnTable(columns).selectList();
}

// An item's situation is a sum of bits (ItemSituation), so that the items of
// a branch can be grouped by one small number and every count read from it.
using namespace ItemSituation;

// An exit settled in total ('2') or by hand ('3') closes the line.
const QString OpenLine = QStringLiteral(
    "(o.IDBAIXAOLSAI IS NULL OR o.IDBAIXAOLSAI NOT IN ('2', '3'))");

// The situation of the operator's item s on the reference day: one probe
// of its order lines (NULL without any) gives the line bits; binds the day,
// the operator and the day again.
QString operatorItemSituation(QVariantList &binds, const Criteria &c, const QString &dtRef)
{
    binds << dtRef << c.filOL << dtRef;
    return QStringLiteral(
               "CASE WHEN %1 THEN %2 ELSE 0 END + COALESCE((SELECT %3"
               " + CASE WHEN SUM(%4) > %5 THEN %6 WHEN SUM(%4) < %5 THEN %7 ELSE %8 END"
               " + %9 * MAX(CASE WHEN %10 AND o.DTPROGEMBARQ < ? THEN 1 ELSE 0 END)"
               " + %11 * MAX(CASE WHEN %10 AND EXISTS (SELECT 1 FROM ESTOQUEOL e"
               " WHERE e.CDFILIOPELOG = ? AND e.CDPRODUTO = o.CDPRODUTO"
               " AND e.CDMARCA = o.CDMARCA AND e.QTESTOQUE - e.QTRESERVESTOL < 0)"
               " THEN 1 ELSE 0 END)"
               " FROM PEDIDOOL o WHERE %12 HAVING COUNT(*) > 0),"
               " CASE WHEN s.DTPROGENTR < ? THEN %13 ELSE 0 END)")
        .arg(IsConsolidated)
        .arg(Consolidated)
        .arg(Ordered)
        .arg(OrderedBase, RequestedBase)
        .arg(OrderedGreater)
        .arg(OrderedSmaller)
        .arg(OrderedEqual)
        .arg(ShippingOverdue)
        .arg(OpenLine)
        .arg(NegativeStock)
        .arg(OrderLineLink)
        .arg(DeliveryOverdue);
}

// A direct delivery has no order line to the operator and is none of its
// alerts: only whether it was consolidated.
QString directItemSituation()
{
    return QStringLiteral("CASE WHEN %1 THEN %2 ELSE 0 END").arg(IsConsolidated).arg(Consolidated);
}

// Every matching item with its branch (CDFILSOLI) and its situation on the
// day dtRef (IDSITUACAO), of all branches, or of one with each item's key
// (NRSOLICMP, CDPRODUTO): what the branches' counts and one branch's
// requests both read.
// Each source starts from FILIAL, as filiSoliGrid's probes do, so that the
// items come by the index on (CDFILSOLI, CDFILIOPELOG, DTPROGENTR).
QString itemSituations(QVariantList &binds, const Criteria &c, const QString &dtRef,
                       const std::optional<QString> &branch)
{
    QStringList sources;
    const auto source = [&](const QString &situation, const QString &operatorRule) {
        QString part = QStringLiteral("SELECT f.CDFILIAL AS CDFILSOLI,%1 %2 AS IDSITUACAO"
                                      " FROM FILIAL f JOIN SOLICMP s ON s.CDFILSOLI = f.CDFILIAL"
                                      " WHERE %3")
                           .arg(branch ? QStringLiteral(" s.NRSOLICMP, s.CDPRODUTO,") : QString(),
                                situation, operatorRule);
        binds << c.filOL;
        if (branch) {
            part += QStringLiteral(" AND f.CDFILIAL = ?");
            binds << *branch;
        }
        if (!c.allFilSoli)
            appendInList(part, binds, QStringLiteral("f.CDFILIAL"), c.filSoli);
        appendItemRules(part, binds, c);
        sources << part;
    };
    if (wantsOperatorItems(c))
        source(operatorItemSituation(binds, c, dtRef), QStringLiteral("s.CDFILIOPELOG = ?"));
    if (wantsDirectItems(c))
        source(directItemSituation(),
               QStringLiteral("s.CDFILIOPELOG IS NULL AND f.CDFILIOPELOG = ?"));
    return sources.join(QStringLiteral(" UNION ALL "));
}

} // namespace

namespace SelectionSql {

SqlStatement filiSoliGrid(const Criteria &c)
{
    SqlStatement st;
    const ColumnTable &columns = Columns::filiSoliGrid();
    st.text = QStringLiteral("SELECT ") + columns.selectList()
        + QStringLiteral(" FROM FILIAL f WHERE 1 = 1");
    if (!c.allFilSoli)
        appendInList(st.text, st.binds, QStringLiteral("f.CDFILIAL"), c.filSoli);
    QStringList sources;
    if (wantsOperatorItems(c)) {
        QString part = QStringLiteral("EXISTS (SELECT 1 FROM SOLICMP s WHERE s.CDFILSOLI ="
                                      " f.CDFILIAL AND s.CDFILIOPELOG = ?");
        st.binds << c.filOL;
        appendItemRules(part, st.binds, c);
        sources << part + u')';
    }
    if (wantsDirectItems(c)) {
        QString part = QStringLiteral("(f.CDFILIOPELOG = ? AND EXISTS (SELECT 1 FROM SOLICMP s"
                                      " WHERE s.CDFILSOLI = f.CDFILIAL AND s.CDFILIOPELOG IS NULL");
        st.binds << c.filOL;
        appendItemRules(part, st.binds, c);
        sources << part + QStringLiteral("))");
    }
    st.text += QStringLiteral(" AND (%1)").arg(sources.join(QStringLiteral(" OR ")))
        + columns.orderByExpressions({QStringLiteral("CDFILSOLI")});
    return st;
}

SqlStatement soli(const QString &branch, const Criteria &c)
{
    const ColumnTable &columns = Columns::soli();
    SqlStatement st;
    QStringList parts;
    if (wantsOperatorItems(c)) {
        static const QString select = QStringLiteral("SELECT ") + columns.selectList()
            + QStringLiteral(" FROM SOLICMP s LEFT JOIN PRODUTO p ON p.CDPRODUTO = s.CDPRODUTO"
                             " LEFT JOIN FILIAL ol ON ol.CDFILIAL = s.CDFILIOPELOG"
                             " WHERE s.CDFILSOLI = ? AND s.CDFILIOPELOG = ?");
        QString part = select;
        st.binds << branch << c.filOL;
        appendItemRules(part, st.binds, c);
        parts << part;
    }
    if (wantsDirectItems(c)) {
        // No operator: no order line can match and no operator's name is
        // shown, so neither is looked up.
        static const QString select = QStringLiteral("SELECT ")
            + directSoliSelectList()
            + QStringLiteral(" FROM SOLICMP s JOIN FILIAL f ON f.CDFILIAL = s.CDFILSOLI"
                             " LEFT JOIN PRODUTO p ON p.CDPRODUTO = s.CDPRODUTO"
                             " WHERE s.CDFILSOLI = ? AND s.CDFILIOPELOG IS NULL"
                             " AND f.CDFILIOPELOG = ?");
        QString part = select;
        st.binds << branch << c.filOL;
        appendItemRules(part, st.binds, c);
        parts << part;
    }
    // A UNION orders by position.
    st.text = parts.join(QStringLiteral(" UNION ALL "))
        + columns.orderByPositions({QStringLiteral("DTPROGENTR"), QStringLiteral("NRSOLICMP"),
                                    QStringLiteral("CDARVPROD")});
    return st;
}

SqlStatement prod(const QString &branch, const QString &filOL, const QString &prodEsto,
                  const QString &consol)
{
    const ColumnTable &columns = Columns::prod();
    return {QStringLiteral("SELECT ") + columns.selectList()
                + QStringLiteral(
                    " FROM PEDIDOOL o LEFT JOIN PRODUTO p ON p.CDPRODUTO = o.CDPRODUTO"
                    " WHERE o.NRSEQUCONSOL = ? AND o.CDFILIOPELOG = ? AND o.CDFILDEST = ?"
                    " AND o.CDPRODUTO = ?")
                + columns.orderByExpressions({QStringLiteral("DTPROGENPEOL"),
                                              QStringLiteral("NRPEDEXOL"),
                                              QStringLiteral("CDMARCA")}),
            {consol, filOL, branch, prodEsto}};
}

SqlStatement prodOL(const ProdOLKey &key)
{
    // RESERVA_ITEM's expression binds the order line's key first.
    return {QStringLiteral("SELECT ") + Columns::prodOL().selectList()
                + QStringLiteral(
                    " FROM ESTOQUEOL e LEFT JOIN PRODUTO pr ON pr.CDPRODUTO = e.CDPRODREL"
                    " WHERE e.CDFILIOPELOG = ? AND e.CDPRODUTO = ? AND e.CDMARCA = ?"),
            {key.pedido, key.filDest, key.filLanc, key.produto, key.marca, key.filOL,
             key.produto, key.marca}};
}

SqlStatement cadeiaPedidos(const Criteria &c)
{
    const ColumnTable &columns = Columns::cadeiaPedidos();
    // The lines are those the window lists for the item (GetProd with the
    // criteria's operator), and only for a consolidated item, as it asks.
    // The stock is the criteria's operator's, as GetProdOL reads it.
    SqlStatement st;
    st.text = QStringLiteral("SELECT ") + columns.selectList()
        + QStringLiteral(
            " FROM SOLICMP s JOIN FILIAL f ON f.CDFILIAL = s.CDFILSOLI"
            " LEFT JOIN PRODUTO p ON p.CDPRODUTO = s.CDPRODUTO"
            " LEFT JOIN FILIAL ol ON ol.CDFILIAL = s.CDFILIOPELOG"
            " LEFT JOIN PEDIDOOL o ON o.NRSEQUCONSOL = s.NRSEQUCONSOL"
            " AND TRIM(s.NRSEQUCONSOL) <> '' AND o.CDFILIOPELOG = ?"
            " AND o.CDFILDEST = s.CDFILSOLI AND o.CDPRODUTO = s.CDPRODESTO"
            " LEFT JOIN PRODUTO po ON po.CDPRODUTO = o.CDPRODUTO"
            " LEFT JOIN ESTOQUEOL e ON e.CDFILIOPELOG = ? AND e.CDPRODUTO = o.CDPRODUTO"
            " AND e.CDMARCA = o.CDMARCA"
            " LEFT JOIN PRODUTO pr ON pr.CDPRODUTO = e.CDPRODREL"
            " WHERE 1 = 1");
    st.binds << c.filOL << c.filOL;
    if (!c.allFilSoli)
        appendInList(st.text, st.binds, QStringLiteral("s.CDFILSOLI"), c.filSoli);
    QStringList sources;
    if (wantsOperatorItems(c))
        sources << QStringLiteral("s.CDFILIOPELOG = ?");
    if (wantsDirectItems(c))
        sources << QStringLiteral("(s.CDFILIOPELOG IS NULL AND f.CDFILIOPELOG = ?)");
    for (qsizetype i = 0; i < sources.size(); ++i)
        st.binds << c.filOL;
    st.text += QStringLiteral(" AND (%1)").arg(sources.join(QStringLiteral(" OR ")));
    appendItemRules(st.text, st.binds, c);
    st.text += columns.orderByExpressions(
        {QStringLiteral("CDFILSOLI"), QStringLiteral("DTPROGENTR"), QStringLiteral("NRSOLICMP"),
         QStringLiteral("CDARVPROD"), QStringLiteral("DTPROGENPEOL"), QStringLiteral("NRPEDEXOL"),
         QStringLiteral("CDMARCA")});
    return st;
}

SqlStatement resumoFiliais(const Criteria &c, const QString &dtRef)
{
    // Items are first counted per branch and situation: every count below
    // is then read from a handful of rows, and each item probed once.
    SqlStatement st;
    const QString items = itemSituations(st.binds, c, dtRef, std::nullopt);
    const ColumnTable &columns = Columns::resumoFiliais();
    st.text = QStringLiteral("SELECT ") + columns.selectList()
        + QStringLiteral(" FROM (SELECT i.CDFILSOLI, i.IDSITUACAO, COUNT(*) AS QTITENS FROM (")
        + items
        + QStringLiteral(") i GROUP BY i.CDFILSOLI, i.IDSITUACAO) r"
                         " JOIN FILIAL f ON f.CDFILIAL = r.CDFILSOLI"
                         " GROUP BY r.CDFILSOLI, f.NMFILIAL")
        + columns.orderByExpressions({QStringLiteral("CDFILSOLI")});
    return st;
}

SqlStatement situacaoSoli(const QString &branch, const Criteria &c, const QString &dtRef)
{
    SqlStatement st;
    const QString items = itemSituations(st.binds, c, dtRef, branch);
    const ColumnTable &columns = Columns::situacaoSoli();
    st.text = QStringLiteral("SELECT ") + columns.selectList() + QStringLiteral(" FROM (")
        + items + QStringLiteral(") i")
        + columns.orderByExpressions({QStringLiteral("NRSOLICMP"), QStringLiteral("CDPRODUTO")});
    return st;
}

SqlStatement filiOL()
{
    const ColumnTable &columns = Columns::filiOL();
    return {QStringLiteral("SELECT ") + columns.selectList()
                + QStringLiteral(" FROM FILIAL WHERE IDOPELOG = 'S'")
                + columns.orderByExpressions({QStringLiteral("CDFILIOPELOG")}),
            {}};
}

SqlStatement vdFiliOL(const QString &code)
{
    return {QStringLiteral("SELECT ") + Columns::filiOL().selectList()
                + QStringLiteral(" FROM FILIAL WHERE CDFILIAL = ? AND IDOPELOG = 'S'"),
            {code}};
}

SqlStatement pesqFilial(const QString &filOL)
{
    const ColumnTable &columns = Columns::pesqFilial();
    return {QStringLiteral("SELECT ") + columns.selectList()
                + QStringLiteral(" FROM FILIAL WHERE CDFILIOPELOG = ?")
                + columns.orderByExpressions({QStringLiteral("CDFILIAL")}),
            {filOL}};
}

SqlStatement pesqConsol(const QString &filOL, const Criteria &dates)
{
    const ColumnTable &columns = Columns::pesqConsol();
    SqlStatement st;
    st.text = QStringLiteral("SELECT ") + columns.selectList()
        + QStringLiteral(
            " FROM CONSOLOL c WHERE c.CDFILIOPELOG = ?"
            " AND EXISTS (SELECT 1 FROM SOLICMP s WHERE s.NRSEQUCONSOL = c.NRSEQUCONSOL");
    st.binds << filOL;
    appendDates(st.text, st.binds, dates);
    st.text += u')' + columns.orderByExpressions({QStringLiteral("NRSEQUCONSOL")});
    return st;
}

namespace Columns {

namespace {
constexpr TFieldType Str = TFieldType::ftString;
constexpr TFieldType Flt = TFieldType::ftFloat;
constexpr TFieldType Day = TFieldType::ftDateTime;
constexpr TFieldType Int = TFieldType::ftInteger;
// The selection mark of the pick lists: every row starts unmarked.
const QString Unmarked = QStringLiteral("'N'");
} // namespace

const ColumnTable &filiSoliGrid()
{
    static const ColumnTable table{
        {"CDFILSOLI", Str, 4, "f.CDFILIAL"},
        {"NMFILIAL", Str, 30, "f.NMFILIAL"},
    };
    return table;
}

const ColumnTable &soli()
{
    static const ColumnTable table{
        {"NRSOLICMP", Str, 10, "s.NRSOLICMP"},
        {"CDARVPROD", Str, 20, "p.CDARVPROD"},
        {"NMPRODUTO", Str, 50, "p.NMPRODUTO"},
        {"SGUNIDADE", Str, 10, "p.SGUNIDADE"},
        {"QTSOLIPROD", Flt, 0, "s.QTSOLIPROD"},
        {"DTPROGENTR", Day, 0, "s.DTPROGENTR"},
        {"IDITMCONS", Str, 1, "s.IDITMCONS"},
        {"NRSOLCMPCONS", Str, 10, "s.NRSOLCMPCONS"},
        {"IDSOLIAPROV", Str, 1, "s.IDSOLIAPROV"},
        // Direct deliveries (no operator) show the client's text instead.
        {"NMFILIAL", Str, 37, "ol.NMFILIAL"},
        {"CDPRODUTO", Str, 10, "s.CDPRODUTO"},
        {"CDPRODESTO", Str, 10, "s.CDPRODESTO"},
        {"CDFILIOPELOG", Str, 4, "s.CDFILIOPELOG"},
        {"VRFATOCONV", Flt, 0, "s.VRFATOCONV"},
        {"NRSEQUCONSOL", Str, 15, "s.NRSEQUCONSOL"},
        // Items without a consolidation have no line: no probe for them.
        {"IDPEDIDOOL", Str, 1,
         QStringLiteral("CASE WHEN s.NRSEQUCONSOL IS NOT NULL AND %1 THEN 'S' ELSE 'N' END")
             .arg(hasOrderLine())},
    };
    return table;
}

const ColumnTable &prod()
{
    static const ColumnTable table{
        {"CDARVPROD", Str, 20, "p.CDARVPROD"},
        {"NMPRODUTO", Str, 50, "p.NMPRODUTO"},
        {"SGUNIDADE", Str, 10, "p.SGUNIDADE"},
        {"QTPROGENPEOL", Flt, 0, "o.QTPROGENPEOL"},
        {"DTPROGENPEOL", Day, 0, "o.DTPROGENPEOL"},
        {"NRPEDEXOL", Str, 10, "o.NRPEDEXOL"},
        {"IDBAIXENPEOL", Str, 1, "o.IDBAIXENPEOL"},
        {"IDBAIXAOLSAI", Str, 1, "o.IDBAIXAOLSAI"},
        {"CDFILDEST", Str, 4, "o.CDFILDEST"},
        {"CDFILLANC", Str, 4, "o.CDFILLANC"},
        {"CDMARCA", Str, 5, "o.CDMARCA"},
        {"DTPROGEMBARQ", Day, 0, "o.DTPROGEMBARQ"},
        {"CDPRODUTO", Str, 10, "o.CDPRODUTO"},
        {"VRFATOCONV", Flt, 0, "o.VRFATOCONV"},
    };
    return table;
}

const ColumnTable &prodOL()
{
    static const ColumnTable table{
        {"PRODARVOL", Str, 73, "pr.CDARVPROD"},
        {"QUANT_ESTOQUE", Flt, 0, "e.QTESTOQUE"},
        {"ESTOQ_DISPO", Flt, 0, "e.QTESTOQUE - e.QTRESERVESTOL"},
        {"QTRESERVESTOL", Flt, 0, "e.QTRESERVESTOL"},
        {"RESERVA_ITEM", Flt, 0,
         "COALESCE((SELECT o.QTRESERVITEM FROM PEDIDOOL o WHERE o.NRPEDEXOL = ?"
         " AND o.CDFILDEST = ? AND o.CDFILLANC = ? AND o.CDPRODUTO = ?"
         " AND o.CDMARCA = ?), 0)"},
    };
    return table;
}

const ColumnTable &filiOL()
{
    static const ColumnTable table{
        {"CDFILIOPELOG", Str, 4, "CDFILIAL"},
        {"NMFILIAL", Str, 30, "NMFILIAL"},
    };
    return table;
}

const ColumnTable &pesqFilial()
{
    static const ColumnTable table{
        {"IDMARCADO", Str, 1, Unmarked},
        {"CDFILIAL", Str, 4, "CDFILIAL"},
        {"NMFILIAL", Str, 30, "NMFILIAL"},
        {"IDCNTRRESC", Str, 1, "IDCNTRRESC"},
        {"CDFILCENTCMP", Str, 4, "CDFILCENTCMP"},
        {"CDREGIAO", Str, 3, "CDREGIAO"},
    };
    return table;
}

const ColumnTable &pesqConsol()
{
    static const ColumnTable table{
        {"IDMARCADO", Str, 1, Unmarked},
        {"NRSEQUCONSOL", Str, 15, "c.NRSEQUCONSOL"},
        {"DTINICONSSOLOL", Day, 0, "c.DTINICONSSOLOL"},
        {"DTFINCONSSOLOL", Day, 0, "c.DTFINCONSSOLOL"},
    };
    return table;
}

const ColumnTable &cadeiaPedidos()
{
    static const ColumnTable table = [] {
        // Names the order line shares with the request take a prefix.
        const auto renamed = [](ColumnDef c, const QStringList &taken) {
            if (taken.contains(c.name))
                c.name.prepend(QStringLiteral("PED_"));
            return c;
        };
        QList<ColumnDef> cols{{"CDFILSOLI", Str, 4, "f.CDFILIAL"},
                              {"NMFILSOLI", Str, 30, "f.NMFILIAL"}};
        QStringList requestNames;
        for (ColumnDef c : soli().columns()) {
            // Direct deliveries: the window's own text stands for the
            // operator's name, so the name is left empty here.
            if (c.name == u"NMFILIAL")
                c.sql = QStringLiteral("CASE WHEN s.CDFILIOPELOG IS NULL THEN '' ELSE"
                                       " ol.NMFILIAL END");
            else if (c.name == u"CDFILIOPELOG" || c.name == u"NRSEQUCONSOL")
                c.sql = QStringLiteral("COALESCE(%1, '')").arg(c.sql);
            requestNames << c.name;
            cols << c;
        }
        for (ColumnDef c : prod().columns()) {
            c.sql.replace(QStringLiteral("p."), QStringLiteral("po."));
            cols << renamed(c, requestNames);
        }
        for (ColumnDef c : prodOL().columns()) {
            if (c.name == u"RESERVA_ITEM")
                c.sql = QStringLiteral("CASE WHEN e.CDPRODUTO IS NULL THEN NULL ELSE"
                                       " COALESCE(o.QTRESERVITEM, 0) END");
            cols << c;
        }
        // Base units, null counting as zero, compared exactly; the ordered
        // side is summed over the item's lines (the rows of its partition)
        // and left empty for an item without lines.
        const QString requested = QStringLiteral(
            "(COALESCE(s.QTSOLIPROD, 0) * COALESCE(s.VRFATOCONV, 0))");
        const QString ordered = QStringLiteral(
            "SUM(COALESCE(o.QTPROGENPEOL, 0) * COALESCE(o.VRFATOCONV, 0))"
            " OVER (PARTITION BY s.NRSOLICMP, s.CDPRODUTO)");
        cols << ColumnDef{"QTSOLIBASE", Flt, 0, requested};
        cols << ColumnDef{"QTPEDIBASE", Flt, 0,
                          QStringLiteral("CASE WHEN o.NRPEDEXOL IS NULL THEN NULL ELSE %1 END")
                              .arg(ordered)};
        cols << ColumnDef{"QTDIFERENCA", Flt, 0,
                          QStringLiteral("CASE WHEN o.NRPEDEXOL IS NULL THEN NULL ELSE %1 - %2"
                                         " END").arg(ordered, requested)};
        cols << ColumnDef{"IDCOMPARA", Str, 1,
                          QStringLiteral("CASE WHEN o.NRPEDEXOL IS NULL THEN NULL"
                                         " WHEN %1 > %2 THEN 'A' WHEN %1 < %2 THEN 'B'"
                                         " ELSE 'C' END").arg(ordered, requested)};
        return ColumnTable(cols);
    }();
    return table;
}

const ColumnTable &resumoFiliais()
{
    // The items of a branch with the bit set in their situation.
    const auto counted = [](const char *name, ItemSituation::Bit bit) {
        return ColumnDef{name, Int, 0,
                         QStringLiteral("SUM(CASE WHEN r.IDSITUACAO / %1 % 2 = 1"
                                        " THEN r.QTITENS ELSE 0 END)").arg(int(bit))};
    };
    static const ColumnTable table{
        {"CDFILSOLI", Str, 4, "r.CDFILSOLI"},
        {"NMFILIAL", Str, 30, "f.NMFILIAL"},
        {"QTITENS", Int, 0, "SUM(r.QTITENS)"},
        counted("QTCONSOL", Consolidated),
        counted("QTPEDIDO", Ordered),
        counted("QTMAIOR", OrderedGreater),
        counted("QTMENOR", OrderedSmaller),
        counted("QTIGUAL", OrderedEqual),
        counted("QTATRASOPED", DeliveryOverdue),
        counted("QTATRASOEMB", ShippingOverdue),
        counted("QTESTNEG", NegativeStock),
    };
    return table;
}

const ColumnTable &situacaoSoli()
{
    static const ColumnTable table{
        {"NRSOLICMP", Str, 10, "i.NRSOLICMP"},
        {"CDPRODUTO", Str, 10, "i.CDPRODUTO"},
        {"IDSITUACAO", Int, 0, "i.IDSITUACAO"},
    };
    return table;
}

} // namespace Columns

} // namespace SelectionSql
