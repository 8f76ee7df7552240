#pragma once

#include "TCanvas.h"

#include <QColor>
#include <QFlags>
#include <QFont>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QTableView>

#include <functional>
#include <optional>
#include <memory>

class TClientDataSet;
class TDataLink;
class TDataSource;
class TField;
class QMenu;

enum class TGridDrawStateFlag { gdSelected = 0x1, gdFocused = 0x2, gdFixed = 0x4 };
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridDrawState)

enum class TGridOption { dgTitles = 0x1, dgColumnResize = 0x2, dgColLines = 0x4, dgRowLines = 0x8 };
Q_DECLARE_FLAGS(TGridOptions, TGridOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridOptions)

// One grid column: a field by name, a width (-1: from the field's display
// width and title) and visibility. The title is the field's label.
struct TColumn
{
    QString FieldName;
    int Width = -1;
    bool Visible = true;
    // Unset: numbers and dates to the right, everything else to the left.
    std::optional<Qt::Alignment> Alignment;
    // What the user made of the design: -1 / unset while untouched.
    int UserWidth = -1;
    std::optional<bool> UserVisible;
    TField *Field() const; // resolved on the grid's data set; may be null
    // A column no field backs: FieldName names it in layouts and sorts, Title
    // is its title, and these give a row's value (it sorts by it) and text.
    QString Title;
    std::function<QVariant(const TClientDataSet *dataSet, int row)> CalcValue;
    std::function<QString(const TClientDataSet *dataSet, int row)> CalcText;
    class TDBGrid *Grid = nullptr;
};

// Read-only grid over a data source with an explicit column list. The
// current row is the data set's cursor: clicking or moving the current cell
// moves the cursor (running AfterScroll synchronously, through SafeCall).
class TDBGrid : public QTableView
{
    Q_OBJECT
public:
    using TDrawColumnCellEvent = std::function<void(TDBGrid *sender, TCanvas &canvas,
                                                    const QRect &rect, int dataCol,
                                                    TColumn *column, TGridDrawState state)>;

    explicit TDBGrid(QWidget *parent = nullptr);
    ~TDBGrid() override;

    TDataSource *DataSource() const;
    void SetDataSource(TDataSource *source);

    TColumn *AddColumn(const QString &fieldName, int width = -1, bool visible = true);
    QList<TColumn *> Columns() const;

    void SetTitleFont(const QFont &font, const QColor &color);
    void SetBackground(const QColor &color);

    // Runs after the default drawing of every data cell; the canvas comes
    // with the brush the grid chose for the cell and the grid's font.
    TDrawColumnCellEvent OnDrawColumnCell;

    // Text of a data cell as painted by default (the field's display text).
    QString cellText(int row, int dataCol) const;

    // Adds a screen's own commands to the header's menu, after the columns.
    std::function<void(QMenu &menu)> OnHeaderMenu;

    // A cell's tooltip; field reads inside it go to the row asked about.
    std::function<QString(TDBGrid *sender, TColumn *column)> OnCellHint;
    QString cellHint(int row, int dataCol) const;

    // Titles, column resizing and grid lines; all on by default. Column and
    // row lines are drawn together (either one turns the lines on).
    TGridOptions Options() const { return m_options; }
    void SetOptions(TGridOptions options);

    // Re-applies widths and visibility after TColumn members were changed.
    void RefreshColumns();
    // Width a column takes until the user sets one: its design width or, for
    // width -1, the field's display width in characters; never narrower than
    // its title in the font in use, since design widths were made for a
    // smaller font.
    int DefaultColumnWidth(const TColumn *column) const;
    // What the column's title needs to show whole in the title font.
    int TitleWidth(const TColumn *column) const;
    Qt::Alignment ColumnAlignment(const TColumn *column) const;
    // How a grid without the focus shows its current row and block.
    static QColor QuietTint(const QColor &base, const QColor &highlight);

    // The user's layout: widths, order (headers can be dragged), hidden
    // columns and sort (a header click: ascending, descending, load order).
    // As "name=value" lines keyed by the grid's objectName, for the screen's
    // layout file; lines of other grids or of unknown columns are skipped.
    // Only widths the user set are written. A grid without a name has no
    // layout: it would share the key of every other nameless grid.
    QStringList LayoutLines() const;
    void RestoreLayout(const QStringList &lines);
    void RestoreDesignLayout(); // "Restaurar colunas"
    // Cycles the sort of one column (by its position in Columns()).
    void ToggleSort(int dataCol);

    // The columns shown, in their on-screen order.
    QList<TColumn *> VisibleColumns() const;
    // Ctrl+C: the selected cells (or, with one cell selected, the current
    // row) as tab-separated display text under the column titles.
    QString CopyText() const;

Q_SIGNALS:
    void layoutChanged(); // the user changed a width, the order, a column shown or the sort

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    class Model;
    class Delegate;
    TClientDataSet *dataSet() const;
    void wireLink();
    void onDataReset();
    void syncCurrentIndex();
    int firstVisibleColumn() const;
    int titleShortfall(int dataCol) const;
    bool titleElided(int dataCol) const;
    QString shownTitle(int dataCol) const;
    QString titleOf(const TColumn *column) const;
    int titleWidth(const TColumn *column, bool sortMark) const;
    void wireHeader();
    void showHeaderMenu(const QPoint &pos);
    void showSortIndicator();
    void sortBy(const TColumn *column, Qt::SortOrder order);

    std::unique_ptr<Model> m_model;
    QList<TColumn *> m_columns;
    TDataLink *m_link;
    TGridOptions m_options = TGridOptions(0xF);
    bool m_syncing = false;
    bool m_applyingLayout = false;
};
