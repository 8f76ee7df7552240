#include "SelectionSql.h"

namespace {

// Order lines of the request item s (alias o).
const QString OrderLineLink = QStringLiteral(
    "o.NRSEQUCONSOL = s.NRSEQUCONSOL AND o.CDFILIOPELOG = s.CDFILIOPELOG"
    " AND o.CDFILDEST = s.CDFILSOLI AND o.CDPRODUTO = s.CDPRODESTO");

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
        sql += QStringLiteral(" AND s.NRSEQUCONSOL IS NOT NULL AND TRIM(s.NRSEQUCONSOL) <> ''");
    else if (c.itemConsol == u'N')
        sql += QStringLiteral(" AND (s.NRSEQUCONSOL IS NULL OR TRIM(s.NRSEQUCONSOL) = '')");
    if (c.pedGerado == u'S')
        sql += QStringLiteral(" AND ") + hasOrderLine();
    else if (c.pedGerado == u'N')
        sql += QStringLiteral(" AND NOT ") + hasOrderLine();
    const QString op = quantityOperator(c.qtdePedido);
    if (!op.isEmpty()) {
        // Items without an order line pass; null quantities count as zero.
        sql += QStringLiteral(
                   " AND (NOT %1 OR (SELECT SUM(COALESCE(o.QTPROGENPEOL, 0) *"
                   " COALESCE(o.VRFATOCONV, 0)) FROM PEDIDOOL o WHERE %2) %3"
                   " COALESCE(s.QTSOLIPROD, 0) * COALESCE(s.VRFATOCONV, 0))")
                   .arg(hasOrderLine(), OrderLineLink, op);
    }
}

} // namespace

namespace SelectionSql {

SqlStatement filiSoliGrid(const Criteria &c)
{
    SqlStatement st;
    st.text = QStringLiteral("SELECT f.CDFILIAL, f.NMFILIAL FROM FILIAL f WHERE 1 = 1");
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
    st.text += QStringLiteral(" AND (%1) ORDER BY f.CDFILIAL")
                   .arg(sources.join(QStringLiteral(" OR ")));
    return st;
}

SqlStatement soli(const QString &branch, const Criteria &c)
{
    const QString select = QStringLiteral(
        "SELECT s.NRSOLICMP, p.CDARVPROD, p.NMPRODUTO, p.SGUNIDADE, s.QTSOLIPROD,"
        " s.DTPROGENTR, s.IDITMCONS, s.NRSOLCMPCONS, s.IDSOLIAPROV, ol.NMFILIAL,"
        " s.CDPRODUTO, s.CDPRODESTO, s.CDFILIOPELOG, s.VRFATOCONV, s.NRSEQUCONSOL,"
        " CASE WHEN %1 THEN 'S' ELSE 'N' END"
        " FROM SOLICMP s%2"
        " LEFT JOIN PRODUTO p ON p.CDPRODUTO = s.CDPRODUTO"
        " LEFT JOIN FILIAL ol ON ol.CDFILIAL = s.CDFILIOPELOG"
        " WHERE s.CDFILSOLI = ?");
    SqlStatement st;
    QStringList parts;
    if (wantsOperatorItems(c)) {
        QString part = select.arg(hasOrderLine(), QString())
            + QStringLiteral(" AND s.CDFILIOPELOG = ?");
        st.binds << branch << c.filOL;
        appendItemRules(part, st.binds, c);
        parts << part;
    }
    if (wantsDirectItems(c)) {
        QString part = select.arg(hasOrderLine(),
                                  QStringLiteral(" JOIN FILIAL f ON f.CDFILIAL = s.CDFILSOLI"))
                       + QStringLiteral(" AND s.CDFILIOPELOG IS NULL AND f.CDFILIOPELOG = ?");
        st.binds << branch << c.filOL;
        appendItemRules(part, st.binds, c);
        parts << part;
    }
    // Positions: DTPROGENTR, NRSOLICMP, CDARVPROD.
    st.text = parts.join(QStringLiteral(" UNION ALL ")) + QStringLiteral(" ORDER BY 6, 1, 2");
    return st;
}

SqlStatement prod(const QString &branch, const QString &filOL, const QString &prodEsto,
                  const QString &consol)
{
    return {QStringLiteral(
                "SELECT p.CDARVPROD, p.NMPRODUTO, p.SGUNIDADE, o.QTPROGENPEOL, o.DTPROGENPEOL,"
                " o.NRPEDEXOL, o.IDBAIXENPEOL, o.IDBAIXAOLSAI, o.CDFILDEST, o.CDFILLANC,"
                " o.CDMARCA, o.DTPROGEMBARQ, o.CDPRODUTO, o.VRFATOCONV"
                " FROM PEDIDOOL o LEFT JOIN PRODUTO p ON p.CDPRODUTO = o.CDPRODUTO"
                " WHERE o.NRSEQUCONSOL = ? AND o.CDFILIOPELOG = ? AND o.CDFILDEST = ?"
                " AND o.CDPRODUTO = ?"
                " ORDER BY o.DTPROGENPEOL, o.NRPEDEXOL, o.CDMARCA"),
            {consol, filOL, branch, prodEsto}};
}

SqlStatement prodOL(const ProdOLKey &key)
{
    return {QStringLiteral(
                "SELECT pr.CDARVPROD, e.QTESTOQUE, e.QTESTOQUE - e.QTRESERVESTOL,"
                " e.QTRESERVESTOL,"
                " COALESCE((SELECT o.QTRESERVITEM FROM PEDIDOOL o WHERE o.NRPEDEXOL = ?"
                " AND o.CDFILDEST = ? AND o.CDFILLANC = ? AND o.CDPRODUTO = ?"
                " AND o.CDMARCA = ?), 0)"
                " FROM ESTOQUEOL e LEFT JOIN PRODUTO pr ON pr.CDPRODUTO = e.CDPRODREL"
                " WHERE e.CDFILIOPELOG = ? AND e.CDPRODUTO = ? AND e.CDMARCA = ?"),
            {key.pedido, key.filDest, key.filLanc, key.produto, key.marca, key.filOL,
             key.produto, key.marca}};
}

SqlStatement filiOL()
{
    return {QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL WHERE IDOPELOG = 'S'"
                           " ORDER BY CDFILIAL"),
            {}};
}

SqlStatement vdFiliOL(const QString &code)
{
    return {QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL"
                           " WHERE CDFILIAL = ? AND IDOPELOG = 'S'"),
            {code}};
}

SqlStatement pesqFilial(const QString &filOL)
{
    return {QStringLiteral("SELECT CDFILIAL, NMFILIAL, IDCNTRRESC, CDFILCENTCMP, CDREGIAO"
                           " FROM FILIAL WHERE CDFILIOPELOG = ? ORDER BY CDFILIAL"),
            {filOL}};
}

SqlStatement pesqConsol(const QString &filOL, const Criteria &dates)
{
    SqlStatement st;
    st.text = QStringLiteral(
        "SELECT c.NRSEQUCONSOL, c.DTINICONSSOLOL, c.DTFINCONSSOLOL FROM CONSOLOL c"
        " WHERE c.CDFILIOPELOG = ?"
        " AND EXISTS (SELECT 1 FROM SOLICMP s WHERE s.NRSEQUCONSOL = c.NRSEQUCONSOL");
    st.binds << filOL;
    appendDates(st.text, st.binds, dates);
    st.text += QStringLiteral(") ORDER BY c.NRSEQUCONSOL");
    return st;
}

} // namespace SelectionSql
