#pragma once

#include <QDialog>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
class TClientDataSet;

// The modal pick list of a lookup button: the data set's visible fields
// with their labels and display widths, a filter box (typing filters by
// code or name), Enter or a double click picks, Esc cancels. As a tree it
// shows groups, subgroups and items and lets only items be picked. Its size
// and column widths are kept per title for the user.
class PickListDialog : public QDialog
{
    Q_OBJECT
public:
    struct TOptions
    {
        QString title;
        QString codeField; // filtered on besides the visible fields
        QString nameField;
        bool tree = false;
        QString treeCodeField = QStringLiteral("CDARVPROD");
        QString treeLevelField = QStringLiteral("CDNVPRODUTO");
        QString treeMask; // the tree code's mask; "" reads the field's
        int startRow = -1; // row current at opening
    };

    PickListDialog(TClientDataSet *dataSet, const TOptions &options, QWidget *parent = nullptr);
    ~PickListDialog() override;

    // The data set row picked; -1 after a cancel.
    int PickedRow() const { return m_picked; }

    void SetFilterText(const QString &text);
    int VisibleRowCount() const; // rows the filter leaves (pickable ones)

    void accept() override; // picks the current row when it may be picked
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillList();
    void fillTree();
    void applyFilter();
    void restoreLayout();
    void saveLayout() const;
    bool pickable(const QTreeWidgetItem *item) const;

    TClientDataSet *m_dataSet;
    TOptions m_options;
    QLineEdit *m_filter;
    QTreeWidget *m_view;
    int m_picked = -1;
    int m_deepest = 0;
};
