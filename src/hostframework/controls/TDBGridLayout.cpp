// The user's side of a grid: sorting by a header click, widths, order and
// hidden columns, kept as "name=value" lines for the screen's layout file.
#include "TDBGrid.h"

#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "services/SafeCall.h"

#include <QHeaderView>
#include <QMenu>
#include <QScopedValueRollback>

#include <algorithm>

namespace {
const QLatin1String kColumnsKey(".columns");
const QLatin1String kSortKey(".sort");

QString valueOf(const QStringList &lines, const QString &key)
{
    const QString prefix = key + u'=';
    for (const QString &line : lines) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return {};
}
} // namespace

void TDBGrid::wireHeader()
{
    QHeaderView *header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setSectionsMovable(true);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int section) { SafeCall([this, section] { ToggleSort(section); }); });
    connect(header, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (m_applyingLayout || section >= m_columns.size() || size <= 0)
            return;
        m_columns[section]->UserWidth = size;
        Q_EMIT layoutChanged();
    });
    connect(header, &QHeaderView::sectionMoved, this, [this] {
        if (!m_applyingLayout)
            Q_EMIT layoutChanged();
    });
    connect(header, &QHeaderView::customContextMenuRequested, this,
            [this](const QPoint &pos) { showHeaderMenu(pos); });
}

void TDBGrid::ToggleSort(int dataCol)
{
    TClientDataSet *ds = dataSet();
    const TColumn *column = m_columns.value(dataCol);
    if (!ds || !column || (!column->Field() && !column->CalcValue))
        return;
    const QString name = column->Field() ? column->Field()->FieldName() : column->FieldName;
    if (ds->SortField().compare(name, Qt::CaseInsensitive) != 0)
        sortBy(column, Qt::AscendingOrder);
    else if (ds->SortOrder() == Qt::AscendingOrder)
        sortBy(column, Qt::DescendingOrder);
    else
        ds->ClearSort();
    showSortIndicator();
    Q_EMIT layoutChanged();
}

void TDBGrid::sortBy(const TColumn *column, Qt::SortOrder order)
{
    TClientDataSet *ds = dataSet();
    if (column->Field())
        ds->SortBy(column->Field()->FieldName(), order);
    else
        ds->SortByKey(column->FieldName, order, column->CalcValue);
}

void TDBGrid::showSortIndicator()
{
    QHeaderView *header = horizontalHeader();
    const TClientDataSet *ds = dataSet();
    const QString sorted = ds ? ds->SortField() : QString();
    for (int i = 0; i < m_columns.size() && !sorted.isEmpty(); ++i) {
        if (m_columns.at(i)->FieldName.compare(sorted, Qt::CaseInsensitive) == 0) {
            header->setSortIndicatorShown(true);
            header->setSortIndicator(i, ds->SortOrder());
            return;
        }
    }
    header->setSortIndicatorShown(false);
}

void TDBGrid::showHeaderMenu(const QPoint &pos)
{
    QMenu menu(this);
    int shown = 0;
    for (int i = 0; i < m_columns.size(); ++i)
        shown += isColumnHidden(i) ? 0 : 1;
    for (int i = 0; i < m_columns.size(); ++i) {
        TColumn *column = m_columns.at(i);
        QAction *action = menu.addAction(titleOf(column));
        action->setCheckable(true);
        action->setChecked(!isColumnHidden(i));
        action->setEnabled(isColumnHidden(i) || shown > 1); // one column always stays
        connect(action, &QAction::toggled, this, [this, column](bool on) {
            column->UserVisible = on;
            RefreshColumns();
            Q_EMIT layoutChanged();
        });
    }
    menu.addSeparator();
    if (OnHeaderMenu)
        OnHeaderMenu(menu);
    connect(menu.addAction(QStringLiteral("Restaurar colunas")), &QAction::triggered, this,
            [this] {
                RestoreDesignLayout();
                Q_EMIT layoutChanged();
            });
    menu.exec(horizontalHeader()->mapToGlobal(pos));
}

QStringList TDBGrid::LayoutLines() const
{
    if (objectName().isEmpty())
        return {};
    const QHeaderView *header = horizontalHeader();
    QStringList columns;
    for (int visual = 0; visual < m_columns.size(); ++visual) {
        const int logical = header->logicalIndex(visual);
        const TColumn *column = m_columns.value(logical);
        if (!column)
            continue;
        // Untouched widths stay out, so that they follow the font in use.
        columns << QStringLiteral("%1:%2%3")
                       .arg(column->FieldName,
                            column->UserWidth > 0 ? QString::number(column->UserWidth)
                                                  : QString(),
                            isColumnHidden(logical) ? QStringLiteral(":oculta") : QString());
    }
    const TClientDataSet *ds = dataSet();
    const QString sort = ds && !ds->SortField().isEmpty()
        ? ds->SortField() + (ds->SortOrder() == Qt::DescendingOrder ? QStringLiteral(":desc")
                                                                    : QStringLiteral(":asc"))
        : QString();
    return {objectName() + kColumnsKey + u'=' + columns.join(u','),
            objectName() + kSortKey + u'=' + sort};
}

void TDBGrid::RestoreLayout(const QStringList &lines)
{
    if (objectName().isEmpty())
        return;
    const QString saved = valueOf(lines, objectName() + kColumnsKey);
    QHeaderView *header = horizontalHeader();
    QScopedValueRollback guard(m_applyingLayout, true);
    int visual = 0;
    for (const QString &item : saved.split(u',', Qt::SkipEmptyParts)) {
        const QStringList parts = item.split(u':');
        bool ok = false;
        const int width = parts.value(1).toInt(&ok);
        for (int i = 0; i < m_columns.size(); ++i) {
            TColumn *column = m_columns.at(i);
            if (column->FieldName != parts.value(0))
                continue;
            // Older files wrote every width: the design's own is no choice.
            if (ok && width > 0 && width < 10000 && width != column->Width)
                column->UserWidth = width;
            column->UserVisible = parts.value(2) != QLatin1String("oculta");
            header->moveSection(header->visualIndex(i), qMin(visual++, m_columns.size() - 1));
            break;
        }
    }
    RefreshColumns();
    const QStringList sort = valueOf(lines, objectName() + kSortKey).split(u':');
    TClientDataSet *ds = dataSet();
    if (!ds || sort.value(0).isEmpty())
        return;
    const Qt::SortOrder order =
        sort.value(1) == QLatin1String("desc") ? Qt::DescendingOrder : Qt::AscendingOrder;
    if (ds->FindField(sort.value(0))) {
        ds->SortBy(sort.value(0), order);
    } else {
        const auto calc = std::find_if(m_columns.cbegin(), m_columns.cend(), [&](auto *c) {
            return c->CalcValue && c->FieldName == sort.value(0);
        });
        if (calc == m_columns.cend())
            return;
        ds->SortByKey((*calc)->FieldName, order, (*calc)->CalcValue);
    }
    showSortIndicator();
}

void TDBGrid::RestoreDesignLayout()
{
    QHeaderView *header = horizontalHeader();
    {
        QScopedValueRollback guard(m_applyingLayout, true);
        for (int i = 0; i < m_columns.size(); ++i) {
            m_columns.at(i)->UserWidth = -1;
            m_columns.at(i)->UserVisible.reset();
            header->moveSection(header->visualIndex(i), i);
        }
    }
    if (TClientDataSet *ds = dataSet(); ds && !ds->SortField().isEmpty())
        ds->ClearSort();
    RefreshColumns();
}
