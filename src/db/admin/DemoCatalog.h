#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace VexDb {

struct DemoBranch
{
    QString code;
    QString name;
    QString region;
    bool isOperator = false;
    QString servedBy;     // FILIAL.CDFILIOPELOG; empty: none
    QString routedVia;    // operator its requests go through; empty: direct only
    QString central;      // central purchasing branch
    bool centralReceiving = false;
    int weight = 1;       // share of the requests
};

struct DemoProduct
{
    QString code;         // CDPRODUTO
    QString tree;         // CDARVPROD, digits only: 2 group, 4 subgroup, 8 item
    QString name;
    int level = 1;
    QString unit;         // empty for groups and subgroups
    int factor = 1;       // request unit to base unit
    int subgroup = -1;    // items: index of the subgroup row
    QStringList brands;   // items: brands the operators stock
};

// The fixed part of the demo company: branches and the product tree. The
// seed varies only the movements (requests, orders, stock).
class DemoCatalog final
{
public:
    DemoCatalog();

    const QList<DemoBranch> &branches() const { return m_branches; }
    const QList<DemoProduct> &products() const { return m_products; }
    // Indexes into products() of the items (deepest level).
    const QList<int> &items() const { return m_items; }
    QStringList operatorCodes() const;

private:
    void addBranches();
    void addProducts();
    int addProduct(const QString &tree, const QString &name, int level);

    QList<DemoBranch> m_branches;
    QList<DemoProduct> m_products;
    QList<int> m_items;
};

} // namespace VexDb
