#include "PickListDialog.h"

#include "FilteredListKeys.h"

#include "data/ProductTree.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "services/TextMatch.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSettings>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>

namespace {
constexpr int kRowRole = Qt::UserRole;
constexpr int kHaystackRole = Qt::UserRole + 1;

QString layoutPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
        + QStringLiteral("/layout/picklist.ini");
}

QString layoutGroup(const QString &title)
{
    QString key = title.isEmpty() ? QStringLiteral("_") : title;
    key.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return key;
}

} // namespace

PickListDialog::PickListDialog(TClientDataSet *dataSet, const TOptions &options, QWidget *parent)
    : QDialog(parent)
    , m_dataSet(dataSet)
    , m_options(options)
{
    setObjectName(QStringLiteral("frmPesquisa"));
    setWindowTitle(options.title.isEmpty() ? QStringLiteral("Pesquisar") : options.title);
    setModal(true);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("edtFiltro"));
    m_filter->setPlaceholderText(QStringLiteral("Digite para filtrar por código ou nome"));
    m_filter->setClearButtonEnabled(true);
    m_view = new QTreeWidget(this);
    m_view->setObjectName(QStringLiteral("lvwPesquisa"));
    m_view->setRootIsDecorated(options.tree);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setAlternatingRowColors(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_view);
    layout->addWidget(buttons);

    QStringList labels;
    const auto fields = dataSet->Fields();
    for (const TField *field : fields) {
        if (field->Visible())
            labels << field->DisplayLabel();
    }
    m_view->setHeaderLabels(labels);
    int column = 0;
    const int charWidth = fontMetrics().averageCharWidth();
    for (const TField *field : fields) {
        if (field->Visible())
            m_view->setColumnWidth(column++, field->DisplayWidth() * charWidth + 16);
    }
    if (options.tree) {
        fillTree();
        // The code column also holds the tree's indentation.
        m_view->setColumnWidth(0, m_view->columnWidth(0) + m_view->indentation() * m_deepest);
    } else {
        fillList();
    }
    resize(560, 380);
    restoreLayout();

    connect(buttons, &QDialogButtonBox::accepted, this, &PickListDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PickListDialog::reject);
    connect(m_filter, &QLineEdit::textChanged, this, [this] { applyFilter(); });
    connect(m_view, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
    m_filter->installEventFilter(this);
    m_view->installEventFilter(this);
    m_filter->setFocus();
}

PickListDialog::~PickListDialog() = default;

void PickListDialog::fillList()
{
    const auto fields = m_dataSet->Fields();
    QList<QTreeWidgetItem *> items;
    items.reserve(m_dataSet->RecordCount());
    for (int row = 0; row < m_dataSet->RecordCount(); ++row) {
        TRecordScope scope(m_dataSet, row);
        auto *item = new QTreeWidgetItem;
        QStringList haystack;
        int column = 0;
        for (const TField *field : fields) {
            const bool searched = field->FieldName() == m_options.codeField
                || field->FieldName() == m_options.nameField;
            if (field->Visible()) {
                const QString text = field->ViewText();
                item->setText(column++, text);
                haystack << text;
            }
            if (searched || field->Visible())
                haystack << field->AsString();
        }
        item->setData(0, kRowRole, row);
        item->setData(0, kHaystackRole, haystack.join(QLatin1Char('\n')));
        items << item;
        if (row == m_options.startRow)
            m_view->setCurrentItem(item);
    }
    m_view->addTopLevelItems(items);
    if (QTreeWidgetItem *start = m_view->topLevelItem(qMax(0, m_options.startRow)))
        m_view->setCurrentItem(start);
}

void PickListDialog::fillTree()
{
    TField *codeField = m_dataSet->FieldByName(m_options.treeCodeField);
    const QString mask = m_options.treeMask.isEmpty() ? codeField->EditMask() : m_options.treeMask;
    const QString nameField
        = m_options.nameField.isEmpty() ? QStringLiteral("NMPRODUTO") : m_options.nameField;
    const ProductTree tree = ProductTree::build(m_dataSet, m_options.treeCodeField,
                                                m_options.treeLevelField, nameField, mask);
    m_deepest = tree.DeepestLevel();
    const auto fields = m_dataSet->Fields();
    QList<QTreeWidgetItem *> made;
    QTreeWidgetItem *start = nullptr;
    for (int i = 0; i < tree.Nodes().size(); ++i) {
        const ProductTree::Node &node = tree.Nodes().at(i);
        auto *item = node.parent < 0 ? new QTreeWidgetItem(m_view)
                                     : new QTreeWidgetItem(made.at(node.parent));
        TRecordScope scope(m_dataSet, node.row);
        QStringList haystack { node.code };
        int column = 0;
        for (const TField *field : fields) {
            if (!field->Visible())
                continue;
            item->setText(column++, field->ViewText());
            haystack << field->ViewText();
        }
        item->setData(0, kRowRole, tree.Pickable(i) ? node.row : -1);
        item->setData(0, kHaystackRole, haystack.join(QLatin1Char('\n')));
        if (!tree.Pickable(i)) {
            QFont bold = item->font(0);
            bold.setBold(true);
            for (int c = 0; c < m_view->columnCount(); ++c)
                item->setFont(c, bold);
        }
        if (node.row == m_options.startRow)
            start = item;
        made << item;
    }
    if (start) {
        for (QTreeWidgetItem *up = start->parent(); up; up = up->parent())
            up->setExpanded(true);
        m_view->setCurrentItem(start);
    } else if (m_view->topLevelItemCount() > 0) {
        m_view->setCurrentItem(m_view->topLevelItem(0));
    }
}

bool PickListDialog::pickable(const QTreeWidgetItem *item) const
{
    return item && !item->isHidden() && item->data(0, kRowRole).toInt() >= 0;
}

void PickListDialog::SetFilterText(const QString &text)
{
    m_filter->setText(text);
}

void PickListDialog::applyFilter()
{
    const QString wanted = m_filter->text().trimmed();
    QTreeWidgetItem *first = nullptr;
    // Post-order: a group stays while one of its items matches.
    std::function<bool(QTreeWidgetItem *)> filter = [&](QTreeWidgetItem *item) {
        bool any = false;
        for (int i = 0; i < item->childCount(); ++i)
            any = filter(item->child(i)) || any;
        const bool self = wanted.isEmpty()
            || TextMatch::contains(item->data(0, kHaystackRole).toString(), wanted);
        const bool keep = self || any;
        item->setHidden(!keep);
        if (!wanted.isEmpty() && any)
            item->setExpanded(true);
        return keep;
    };
    for (int i = 0; i < m_view->topLevelItemCount(); ++i)
        filter(m_view->topLevelItem(i));
    for (QTreeWidgetItemIterator it(m_view); *it; ++it) {
        if (pickable(*it) && !first) {
            bool shown = true;
            for (QTreeWidgetItem *up = (*it)->parent(); up; up = up->parent())
                shown = shown && !up->isHidden();
            if (shown)
                first = *it;
        }
    }
    if (first && (!m_view->currentItem() || m_view->currentItem()->isHidden() || !wanted.isEmpty()))
        m_view->setCurrentItem(first);
}

int PickListDialog::VisibleRowCount() const
{
    int count = 0;
    for (QTreeWidgetItemIterator it(m_view); *it; ++it) {
        if (pickable(*it))
            ++count;
    }
    return count;
}

void PickListDialog::accept()
{
    QTreeWidgetItem *item = m_view->currentItem();
    if (!item || item->isHidden())
        return;
    if (!pickable(item)) {
        item->setExpanded(!item->isExpanded()); // groups open, only items are picked
        return;
    }
    m_picked = item->data(0, kRowRole).toInt();
    QDialog::accept();
}

void PickListDialog::done(int result)
{
    if (result != QDialog::Accepted)
        m_picked = -1;
    saveLayout();
    QDialog::done(result);
}

bool PickListDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        accept();
        return true;
    }
    if (passFilteredListKey(watched, key, m_filter, m_view,
                            {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown}))
        return true;
    return QDialog::eventFilter(watched, event);
}

void PickListDialog::restoreLayout()
{
    QSettings settings(layoutPath(), QSettings::IniFormat);
    settings.beginGroup(layoutGroup(m_options.title));
    const QSize size = settings.value(QStringLiteral("size")).toSize();
    if (size.isValid())
        resize(size.boundedTo(QSize(4000, 3000)).expandedTo(QSize(200, 150)));
    const QVariantList widths = settings.value(QStringLiteral("columns")).toList();
    if (widths.size() == m_view->columnCount()) {
        for (int c = 0; c < widths.size(); ++c)
            m_view->setColumnWidth(c, qBound(20, widths.at(c).toInt(), 2000));
    }
}

void PickListDialog::saveLayout() const
{
    QDir().mkpath(QFileInfo(layoutPath()).absolutePath());
    QSettings settings(layoutPath(), QSettings::IniFormat);
    settings.beginGroup(layoutGroup(m_options.title));
    settings.setValue(QStringLiteral("size"), size());
    QVariantList widths;
    for (int c = 0; c < m_view->columnCount(); ++c)
        widths << m_view->columnWidth(c);
    settings.setValue(QStringLiteral("columns"), widths);
}
