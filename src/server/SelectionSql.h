#pragma once

#include "ColumnTable.h"
#include "Criteria.h"

#include <QString>
#include <QVariantList>

// One SQL text and the values bound to its '?' placeholders, in order.
// Only validated flags and list lengths shape a text; every client value
// is a bound parameter.
struct SqlStatement
{
    QString text;
    QVariantList binds;
};

namespace SelectionSql {
// Each method's columns: name, type, size and the SQL expression. The
// statements below select them in this order.
namespace Columns {
const ColumnTable &filiSoliGrid();
const ColumnTable &soli();
const ColumnTable &prod();
const ColumnTable &prodOL();
const ColumnTable &filiOL(); // GetFiliOL and GetVdFiliOL
const ColumnTable &pesqFilial();
const ColumnTable &pesqConsol();
const ColumnTable &cadeiaPedidos();
const ColumnTable &resumoFiliais();
const ColumnTable &situacaoSoli();
} // namespace Columns

// Requesting branches with at least one matching item, branch by branch.
SqlStatement filiSoliGrid(const Criteria &c);
// Matching items of one requesting branch, in Columns::soli().
SqlStatement soli(const QString &branch, const Criteria &c);
SqlStatement prod(const QString &branch, const QString &filOL, const QString &prodEsto,
                  const QString &consol);
struct ProdOLKey
{
    QString filDest, filLanc, pedido, produto, marca, filOL;
};
SqlStatement prodOL(const ProdOLKey &key);
SqlStatement filiOL();
SqlStatement vdFiliOL(const QString &code);
SqlStatement pesqFilial(const QString &filOL);
// Consolidations of filOL that took an item inside the date ranges.
SqlStatement pesqConsol(const QString &filOL, const Criteria &dates);
// Every matching item of every matching branch with each of its order lines
// (one row with empty order columns when it has none) and that line's stock.
SqlStatement cadeiaPedidos(const Criteria &c);
// Per branch of filiSoliGrid, in its order: counts of its matching items by
// situation on the day dtRef (ISO), in Columns::resumoFiliais().
SqlStatement resumoFiliais(const Criteria &c, const QString &dtRef);
// The items soli() lists for the branch, each with its situation on the day
// dtRef as resumoFiliais counts it: a sum of the bits in IDSITUACAO (1
// consolidated, 2 ordered, 4 / 8 / 16 ordered greater / smaller / equal, 32
// delivery overdue without an order, 64 shipping overdue, 128 negative stock).
SqlStatement situacaoSoli(const QString &branch, const Criteria &c, const QString &dtRef);
} // namespace SelectionSql
