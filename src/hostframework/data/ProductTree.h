#pragma once

#include <QList>
#include <QString>

class TClientDataSet;

// Groups, subgroups and items of the product tree from rows ordered by
// their tree code. A row's parent is the nearest earlier row whose code is
// a prefix of its own; only rows of the deepest level can be picked.
class ProductTree final
{
public:
    struct Node
    {
        int row = -1; // data set row
        int parent = -1; // index into Nodes(), -1 for a top node
        int level = 0; // 1 for groups
        QString code; // tree code as stored (no mask literals)
        QString text; // display text
    };

    // codeField: the tree code (CDARVPROD); levelField: CDNVPRODUTO, used
    // when the data set has it, else the level comes from the mask segments
    // the code fills (mask: the tree code's edit mask, e.g. "99.99.9999;0;_").
    static ProductTree build(TClientDataSet *dataSet, const QString &codeField,
                             const QString &levelField, const QString &nameField,
                             const QString &mask);
    // Level of a stored code under a mask: how many mask segments it reaches.
    static int levelOf(const QString &code, const QString &mask);

    const QList<Node> &Nodes() const { return m_nodes; }
    int DeepestLevel() const { return m_deepest; }
    bool Pickable(int node) const;

private:
    QList<Node> m_nodes;
    int m_deepest = 0;
};
