#include "ProductTree.h"

#include "TClientDataSet.h"
#include "TField.h"

#include <QList>

namespace {

// Lengths of the picture's character runs between literals: "99.99.9999"
// gives {2, 2, 4}.
QList<int> segments(const QString &mask)
{
    static const QString pictureChars = QStringLiteral("09aAlLcC#");
    const QString picture = mask.section(QLatin1Char(';'), 0, 0);
    QList<int> runs;
    int run = 0;
    for (int i = 0; i < picture.size(); ++i) {
        const QChar c = picture.at(i);
        if (c == QLatin1Char('>') || c == QLatin1Char('<'))
            continue;
        if (c == QLatin1Char('\\')) {
            ++i; // escaped literal
        } else if (pictureChars.contains(c)) {
            ++run;
            continue;
        }
        if (run > 0)
            runs << run;
        run = 0;
    }
    if (run > 0)
        runs << run;
    return runs;
}

} // namespace

int ProductTree::levelOf(const QString &code, const QString &mask)
{
    const QList<int> runs = segments(mask);
    int reach = 0;
    for (int i = 0; i < runs.size(); ++i) {
        reach += runs.at(i);
        if (code.size() <= reach)
            return i + 1;
    }
    return qMax(1, int(runs.size()));
}

ProductTree ProductTree::build(TClientDataSet *dataSet, const QString &codeField,
                               const QString &levelField, const QString &nameField,
                               const QString &mask)
{
    ProductTree tree;
    if (!dataSet || !dataSet->Active())
        return tree;
    TField *code = dataSet->FieldByName(codeField);
    TField *level = levelField.isEmpty() ? nullptr : dataSet->FindField(levelField);
    TField *name = nameField.isEmpty() ? nullptr : dataSet->FindField(nameField);
    QList<int> open; // ancestors of the row being placed, outermost first
    for (int row = 0; row < dataSet->RecordCount(); ++row) {
        TRecordScope scope(dataSet, row);
        Node node;
        node.row = row;
        node.code = code->AsString().trimmed();
        node.level = level && !level->IsNull() ? int(level->AsFloat()) : levelOf(node.code, mask);
        node.text = name ? name->DisplayText() : code->DisplayText();
        while (!open.isEmpty()) {
            const Node &top = tree.m_nodes.at(open.last());
            if (node.code.startsWith(top.code) && node.code != top.code && top.level < node.level)
                break;
            open.removeLast();
        }
        node.parent = open.isEmpty() ? -1 : open.last();
        tree.m_deepest = qMax(tree.m_deepest, node.level);
        open << int(tree.m_nodes.size());
        tree.m_nodes << node;
    }
    if (!mask.isEmpty())
        tree.m_deepest = qMax(tree.m_deepest, int(segments(mask).size()));
    return tree;
}

bool ProductTree::Pickable(int node) const
{
    return node >= 0 && node < m_nodes.size() && m_nodes.at(node).level == m_deepest;
}
