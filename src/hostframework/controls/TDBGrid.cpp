#include "TDBGrid.h"

#include "data/TClientDataSet.h"
#include "data/TDataLink.h"
#include "data/TDataSource.h"
#include "data/TField.h"
#include "services/SafeCall.h"

#include <QAbstractTableModel>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QSet>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>

#include <algorithm>
#include <exception>

Q_LOGGING_CATEGORY(lcDBGrid, "vex.controls.dbgrid", QtInfoMsg)

namespace {
constexpr int kTextMargin = 2;
constexpr int kWidthMargin = 4;
constexpr int kWidthWithoutField = 64;
} // namespace

TField *TColumn::Field() const
{
    if (!Grid || !Grid->DataSource() || !Grid->DataSource()->DataSet())
        return nullptr;
    return Grid->DataSource()->DataSet()->FindField(FieldName);
}

// The grid's rows are the data set's rows; its columns are the column list,
// hidden ones included (the view hides them).
class TDBGrid::Model final : public QAbstractTableModel
{
public:
    explicit Model(TDBGrid *grid) : m_grid(grid) {}

    int rowCount(const QModelIndex &parent = {}) const override
    {
        if (parent.isValid())
            return 0;
        const TClientDataSet *ds = m_grid->dataSet();
        return ds && ds->Active() ? ds->RecordCount() : 0;
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_grid->m_columns.size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::ToolTipRole)
            return m_grid->cellHint(index.row(), index.column());
        if (role != Qt::DisplayRole)
            return {};
        return m_grid->cellText(index.row(), index.column());
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal)
            return {};
        const TColumn *column = m_grid->m_columns.value(section);
        if (!column)
            return {};
        if (role == Qt::DisplayRole)
            return m_grid->shownTitle(section);
        // A title cut short says itself in full.
        if (role == Qt::ToolTipRole && m_grid->titleElided(section))
            return m_grid->titleOf(column);
        return {};
    }

    void reset()
    {
        beginResetModel();
        endResetModel();
    }
    void titlesChanged()
    {
        if (columnCount() > 0)
            Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    }

private:
    TDBGrid *m_grid;
};

// Default cell drawing, then the grid's cell-draw handler on the same painter.
// The grid with the focus shows its current cell and block in the highlight
// colour; a grid without it shows where it stands in a quieter tint, so that
// the eye finds the focus at once.
class TDBGrid::Delegate final : public QStyledItemDelegate
{
public:
    explicit Delegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QModelIndex currentIndex = m_grid->currentIndex();
        const bool focused = m_grid->hasFocus();
        const bool current = index == currentIndex;
        const bool selected = current || m_grid->selectionModel()->isSelected(index);
        TGridDrawState state;
        if (focused && selected)
            state |= TGridDrawStateFlag::gdSelected;
        if (focused && current)
            state |= TGridDrawStateFlag::gdFocused;

        const QPalette &palette = m_grid->palette();
        const QColor base = palette.color(QPalette::Active, QPalette::Base);
        const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
        const bool lit = state.testFlag(TGridDrawStateFlag::gdSelected);
        const bool tinted = !focused && (selected || index.row() == currentIndex.row());
        TCanvas canvas(painter);
        canvas.Brush.Color = lit ? highlight : tinted ? TDBGrid::QuietTint(base, highlight) : base;
        canvas.Font.Font = m_grid->font();
        canvas.Font.Color = palette.color(QPalette::Active,
                                          lit ? QPalette::HighlightedText : QPalette::Text);

        painter->save();
        painter->setClipRect(option.rect);
        canvas.FillRect(option.rect);
        // A text too long for its cell ends in "…": a number cut short
        // must never pass for a smaller one.
        const QFontMetrics metrics(canvas.Font.Font, painter->device());
        const int room = option.rect.width() - 2 * kTextMargin;
        const QString text = metrics.elidedText(m_grid->cellText(index.row(), index.column()),
                                                Qt::ElideRight, room);
        int x = option.rect.left() + kTextMargin;
        if (m_grid->ColumnAlignment(m_grid->m_columns.value(index.column())) & Qt::AlignRight)
            x += room - metrics.horizontalAdvance(text);
        canvas.TextOut(x, option.rect.top() + kTextMargin, text);
        painter->restore();

        if (m_grid->OnDrawColumnCell)
            runDrawHandler(canvas, option.rect, index, state);
    }

private:
    void runDrawHandler(TCanvas &canvas, const QRect &rect, const QModelIndex &index,
                        TGridDrawState state) const
    {
        TClientDataSet *ds = m_grid->dataSet();
        if (!ds)
            return;
        TColumn *column = m_grid->m_columns.value(index.column());
        QPainter *painter = canvas.painter();
        painter->save();
        painter->setClipRect(rect);
        // Painting must not open dialogs (a message box inside a paint event
        // would repaint and fail again), so a failing handler is logged here
        // instead of going to the error display.
        try {
            TRecordScope scope(ds, index.row());
            m_grid->OnDrawColumnCell(m_grid, canvas, rect, index.column(), column, state);
        } catch (const std::exception &e) {
            qCWarning(lcDBGrid) << m_grid->objectName() << "cell-draw handler failed:" << e.what();
        } catch (...) {
            qCWarning(lcDBGrid) << m_grid->objectName() << "cell-draw handler failed";
        }
        painter->restore();
    }

    TDBGrid *m_grid;
};

TDBGrid::TDBGrid(QWidget *parent)
    : QTableView(parent), m_model(std::make_unique<Model>(this)), m_link(new TDataLink(this))
{
    wireLink();
    wireHeader();
    setModel(m_model.get());
    setItemDelegate(new Delegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection); // a block for Ctrl+C
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2 * kTextMargin);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SetOptions(m_options);
}

TDBGrid::~TDBGrid()
{
    delete m_link; // its callbacks use the model and columns below
    setModel(nullptr);
    qDeleteAll(m_columns);
}

TDataSource *TDBGrid::DataSource() const
{
    return m_link->DataSource();
}

TClientDataSet *TDBGrid::dataSet() const
{
    return m_link->DataSet();
}

void TDBGrid::SetDataSource(TDataSource *source)
{
    m_link->SetDataSource(source);
}

void TDBGrid::wireLink()
{
    m_link->OnDataChanged = [this] {
        onDataReset();
        RefreshColumns();
    };
    m_link->OnRecordChanged = [this] { syncCurrentIndex(); };
    m_link->OnLayoutChanged = [this] {
        m_model->titlesChanged();
        RefreshColumns();
        viewport()->update();
    };
}

void TDBGrid::onDataReset()
{
    {
        QScopedValueRollback guard(m_syncing, true);
        m_model->reset();
    }
    syncCurrentIndex();
}

TColumn *TDBGrid::AddColumn(const QString &fieldName, int width, bool visible)
{
    auto *column = new TColumn;
    column->FieldName = fieldName;
    column->Width = width;
    column->Visible = visible;
    column->Grid = this;
    m_columns.append(column);
    onDataReset();
    RefreshColumns();
    return column;
}

QList<TColumn *> TDBGrid::Columns() const
{
    return m_columns;
}

int TDBGrid::DefaultColumnWidth(const TColumn *column) const
{
    int design = column->Width;
    if (design < 0) {
        const TField *field = column->Field();
        design = field ? field->DisplayWidth() * fontMetrics().horizontalAdvance(QLatin1Char('0'))
                             + kWidthMargin
                       : kWidthWithoutField;
    }
    return m_options.testFlag(TGridOption::dgTitles) ? qMax(design, TitleWidth(column)) : design;
}

int TDBGrid::TitleWidth(const TColumn *column) const
{
    return titleWidth(column, false);
}

int TDBGrid::titleWidth(const TColumn *column, bool sortMark) const
{
    const QHeaderView *header = horizontalHeader();
    QStyleOptionHeader option;
    option.initFrom(header);
    option.orientation = Qt::Horizontal;
    option.text = titleOf(column);
    option.fontMetrics = QFontMetrics(header->font());
    option.sortIndicator = sortMark ? QStyleOptionHeader::SortDown : QStyleOptionHeader::None;
    return header->style()
        ->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header)
        .width();
}

QString TDBGrid::titleOf(const TColumn *column) const
{
    const TField *field = column ? column->Field() : nullptr;
    if (field)
        return field->DisplayLabel();
    if (!column)
        return {};
    return column->Title.isEmpty() ? column->FieldName : column->Title;
}

// How much narrower than its title a column is; 0 when the title fits.
int TDBGrid::titleShortfall(int dataCol) const
{
    const TColumn *column = m_columns.value(dataCol);
    if (!column || isColumnHidden(dataCol))
        return 0;
    const QHeaderView *header = horizontalHeader();
    const bool sortMark =
        header->isSortIndicatorShown() && header->sortIndicatorSection() == dataCol;
    return qMax(0, titleWidth(column, sortMark) - columnWidth(dataCol));
}

bool TDBGrid::titleElided(int dataCol) const
{
    return titleShortfall(dataCol) > 0;
}

QString TDBGrid::shownTitle(int dataCol) const
{
    const QString title = titleOf(m_columns.value(dataCol));
    const int shortfall = titleShortfall(dataCol);
    if (shortfall == 0)
        return title;
    // A cut title says so; the style alone would clip it without a sign.
    const QFontMetrics metrics(horizontalHeader()->font());
    return metrics.elidedText(title, Qt::ElideRight,
                              metrics.horizontalAdvance(title) - shortfall);
}

Qt::Alignment TDBGrid::ColumnAlignment(const TColumn *column) const
{
    if (!column)
        return Qt::AlignLeft;
    if (column->Alignment)
        return *column->Alignment;
    const TField *field = column->Field();
    if (!field && column->CalcValue)
        return Qt::AlignRight;
    switch (field ? field->DataType() : TFieldType::ftString) {
    case TFieldType::ftFloat:
    case TFieldType::ftInteger:
    case TFieldType::ftDateTime:
        return Qt::AlignRight;
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
        break;
    }
    return Qt::AlignLeft;
}

QColor TDBGrid::QuietTint(const QColor &base, const QColor &highlight)
{
    // A third of the way to the highlight: seen at a glance, never taken
    // for the focus.
    auto mix = [](int a, int b) { return a + (b - a) / 3; };
    return QColor(mix(base.red(), highlight.red()), mix(base.green(), highlight.green()),
                  mix(base.blue(), highlight.blue()));
}

void TDBGrid::RefreshColumns()
{
    QScopedValueRollback guard(m_applyingLayout, true);
    for (int i = 0; i < m_columns.size(); ++i) {
        const TColumn *column = m_columns.at(i);
        setColumnHidden(i, !column->UserVisible.value_or(column->Visible));
        setColumnWidth(i, column->UserWidth >= 0 ? column->UserWidth : DefaultColumnWidth(column));
    }
    showSortIndicator();
}

void TDBGrid::SetTitleFont(const QFont &font, const QColor &color)
{
    QHeaderView *header = horizontalHeader();
    header->setFont(font);
    QPalette palette = header->palette();
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::WindowText, color);
    header->setPalette(palette);
    RefreshColumns();
}

void TDBGrid::SetBackground(const QColor &color)
{
    QPalette p = palette();
    p.setColor(QPalette::Base, color);
    setPalette(p);
    viewport()->update();
}

void TDBGrid::SetOptions(TGridOptions options)
{
    m_options = options;
    horizontalHeader()->setVisible(options.testFlag(TGridOption::dgTitles));
    horizontalHeader()->setSectionResizeMode(options.testFlag(TGridOption::dgColumnResize)
                                                 ? QHeaderView::Interactive
                                                 : QHeaderView::Fixed);
    setShowGrid(options.testFlag(TGridOption::dgColLines)
                || options.testFlag(TGridOption::dgRowLines));
}

QString TDBGrid::cellText(int row, int dataCol) const
{
    TClientDataSet *ds = dataSet();
    const TColumn *column = m_columns.value(dataCol);
    if (!ds || !ds->Active() || !column || row < 0 || row >= ds->RecordCount())
        return {};
    const TField *field = column->Field();
    if (!field)
        return column->CalcText ? column->CalcText(ds, row) : QString();
    TRecordScope scope(ds, row);
    return field->ViewText();
}

QString TDBGrid::cellHint(int row, int dataCol) const
{
    TClientDataSet *ds = dataSet();
    TColumn *column = m_columns.value(dataCol);
    if (!OnCellHint || !ds || !ds->Active() || !column || row < 0 || row >= ds->RecordCount())
        return {};
    // Asked for while the view paints its tooltip: a failure is logged, not shown.
    try {
        TRecordScope scope(ds, row);
        return OnCellHint(const_cast<TDBGrid *>(this), column);
    } catch (const std::exception &e) {
        qCWarning(lcDBGrid) << objectName() << "cell hint failed:" << e.what();
    }
    return {};
}

int TDBGrid::firstVisibleColumn() const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i)->Visible)
            return i;
    }
    return -1;
}

void TDBGrid::syncCurrentIndex()
{
    QScopedValueRollback guard(m_syncing, true);
    const TClientDataSet *ds = dataSet();
    const int row = ds && ds->Active() ? ds->CurrentRow() : -1;
    if (row < 0 || row >= m_model->rowCount()) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex current = currentIndex();
    int col = current.isValid() && !isColumnHidden(current.column()) ? current.column()
                                                                     : firstVisibleColumn();
    if (col < 0)
        return;
    const QModelIndex wanted = m_model->index(row, col);
    if (wanted != current)
        selectionModel()->setCurrentIndex(wanted, QItemSelectionModel::ClearAndSelect);
    scrollTo(wanted);
}

void TDBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    // The view repaints the two cells; the tint of an unfocused grid takes rows.
    if (current.row() != previous.row())
        viewport()->update();
    if (m_syncing || !current.isValid())
        return;
    TClientDataSet *ds = dataSet();
    if (!ds || !ds->Active() || current.row() == ds->CurrentRow())
        return;
    const int row = current.row();
    {
        QScopedValueRollback guard(m_syncing, true);
        SafeCall([ds, row] { ds->MoveTo(row); });
    }
    // The move may have been refused or redirected by a handler: show where
    // the cursor really is.
    syncCurrentIndex();
}

QList<TColumn *> TDBGrid::VisibleColumns() const
{
    QList<TColumn *> shown;
    const QHeaderView *header = horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical >= 0 && logical < m_columns.size() && !isColumnHidden(logical))
            shown << m_columns.at(logical);
    }
    return shown;
}

namespace {
// A spreadsheet's paste takes a quoted cell whole, tabs and line breaks in it.
QString pastedCell(QString text)
{
    if (!text.contains(u'\t') && !text.contains(u'\n') && !text.contains(u'\r')
        && !text.contains(u'"'))
        return text;
    text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + text + u'"';
}
} // namespace

QString TDBGrid::CopyText() const
{
    const TClientDataSet *ds = dataSet();
    if (!ds || !ds->Active() || ds->IsEmpty())
        return {};
    QList<TColumn *> columns = VisibleColumns();
    QList<int> rows;
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.size() > 1) {
        QSet<int> selectedColumns;
        for (const QModelIndex &index : selected) {
            selectedColumns.insert(index.column());
            if (!rows.contains(index.row()))
                rows << index.row();
        }
        std::sort(rows.begin(), rows.end());
        columns.removeIf([&](TColumn *c) {
            return !selectedColumns.contains(int(m_columns.indexOf(c)));
        });
    } else {
        rows << ds->CurrentRow();
    }
    QStringList lines;
    QStringList cells;
    for (const TColumn *column : std::as_const(columns))
        cells << pastedCell(titleOf(column));
    lines << cells.join(u'\t');
    for (const int row : std::as_const(rows)) {
        cells.clear();
        for (const TColumn *column : std::as_const(columns))
            cells << pastedCell(cellText(row, int(m_columns.indexOf(column))));
        lines << cells.join(u'\t');
    }
    return lines.join(u'\n') + u'\n';
}

void TDBGrid::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    viewport()->update(); // the current cell changes its colour with the focus
}

void TDBGrid::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

void TDBGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        SafeCall([this] { QGuiApplication::clipboard()->setText(CopyText()); });
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}
