#pragma once

#include "TDataPacket.h"
#include "TField.h"
#include "TDataSetState.h"
#include "TFieldType.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class TDataSource;

// In-memory data set with persistent fields declared in code, a cursor and
// an after-scroll event. Events are plain callbacks run synchronously so an
// exception from a handler reaches whoever moved the cursor or loaded data.
class TClientDataSet : public QObject
{
    Q_OBJECT
public:
    explicit TClientDataSet(const QString &name = {}, QObject *parent = nullptr);
    ~TClientDataSet() override;

    TField *AddField(const QString &fieldName, TFieldType type, int size = 0);
    QList<TField *> Fields() const;
    TField *FindField(const QString &fieldName) const;  // nullptr when absent
    TField *FieldByName(const QString &fieldName) const; // throws EVexError

    // Replaces all rows: closes (if open), matches packet columns to fields
    // by name (extra columns ignored), opens on the first row and fires
    // AfterScroll once when there is a row. A missing column throws
    // EDataPacketError naming the data set and the column; the data set is
    // then left closed. A handler's exception propagates after the rows
    // are in place.
    void LoadFromPacket(const TDataPacket &packet);
    void Close();

    bool Active() const { return m_state == TDataSetState::dsBrowse; }
    TDataSetState State() const { return m_state; }
    bool IsEmpty() const { return m_rows.empty(); }
    int RecordCount() const { return int(m_rows.size()); }

    // Cursor, 0-based; -1 when closed or empty. Moves fire AfterScroll only
    // when the row really changes.
    int CurrentRow() const { return m_current; }
    void MoveTo(int row);
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const;
    bool Bof() const;

    // Rows in the order of one field, ascending or descending, or back in the
    // order they were loaded. The order holds for later loads too (their
    // first row is the first in that order). The current record stays
    // current (no after-scroll: it is the same record), so sorting asks
    // nobody for anything; views, searches and exports see the new order.
    // Values sort by type: numbers and dates as such, text as text, and a
    // field with a get-text handler by the word it shows. Nulls come first.
    void SortBy(const QString &fieldName, Qt::SortOrder order); // throws for an unknown field
    void ClearSort();
    // Rows in the order of values no field holds (a grid's calculated
    // column), reported by SortField() under `name`; key gives a row's value
    // (numbers as numbers, nulls first). Resort() applies the order again
    // once those values changed.
    using TSortKey = std::function<QVariant(const TClientDataSet *dataSet, int row)>;
    void SortByKey(const QString &name, Qt::SortOrder order, TSortKey key);
    void Resort();
    QString SortField() const { return m_sortField; } // "" when in load order
    Qt::SortOrder SortOrder() const { return m_sortOrder; }

    // Rows the filter refuses are set aside: the cursor, views, searches and
    // exports see only the others, in the same order, and RecordCount counts
    // them. The filter holds for later loads. Setting it, or Refilter() when
    // its answers may have changed, keeps the current record current when it
    // passes, else moves to the first row that does (after-scroll fires
    // then). Field reads inside it go to the row asked about. Empty: all rows.
    using TFilterRecordEvent = std::function<bool(TClientDataSet *sender)>;
    void SetFilter(TFilterRecordEvent accept);
    void Refilter();
    bool Filtered() const { return bool(m_filter); }

    // The row field reads go to: the cursor unless a TRecordScope is active.
    int ActiveRecord() const;
    QVariant RawValue(int row, int fieldIndex) const;
    // Writes one value in place (selection marks); no event but
    // fieldsChanged, so views repaint. Throws EVexError out of range.
    void SetRawValue(int row, int fieldIndex, const QVariant &value);

    std::function<void(TClientDataSet *sender)> AfterScroll;

Q_SIGNALS:
    void stateChanged(TDataSetState state);
    void dataReset();             // rows replaced or cleared
    void currentRowChanged(int row);
    void fieldsChanged();         // a field's label, format or mask changed

private:
    friend class TRecordScope;
    friend class TField;
    friend class TDataSource;
    void setState(TDataSetState state);
    void notifyFieldChanged();
    int indexOfField(const TField *field) const;
    void moveCursor(int row, bool bof, bool eof);
    std::vector<QVariantList> convertRows(const TDataPacket &packet) const;

    std::vector<std::unique_ptr<TField>> m_fields;
    std::vector<int> sortedPositions() const;
    void reorder(const std::vector<int> &positions); // positions[i] goes to row i
    void permute(const std::vector<int> &positions); // as reorder, silently
    void showHidden();
    void hideRefused();
    bool accepts(int row);

    std::vector<QVariantList> m_rows; // values in field order
    std::vector<int> m_loadOrder;     // each row's position in the loaded packet
    TFilterRecordEvent m_filter;
    std::vector<QVariantList> m_hiddenRows; // refused by the filter
    std::vector<int> m_hiddenLoadOrder;
    QString m_sortField;
    TSortKey m_sortKey; // set when sorted by values of no field
    std::vector<int> positionsByKey() const;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    TDataSetState m_state = TDataSetState::dsInactive;
    int m_current = -1;
    int m_scopeRow = -1;
    int m_scopeDepth = 0;
    bool m_bof = true;
    bool m_eof = true;
    // Data sources run their state handlers directly, not through a signal,
    // so a handler's exception reaches whoever changed the state.
    QList<QPointer<TDataSource>> m_sources;
};

// Points field reads at another row for the scope's lifetime, without moving
// the cursor or firing events (grid painting, text handlers).
class TRecordScope final
{
public:
    TRecordScope(TClientDataSet *dataSet, int row);
    ~TRecordScope();
    TRecordScope(const TRecordScope &) = delete;
    TRecordScope &operator=(const TRecordScope &) = delete;

private:
    TClientDataSet *m_dataSet;
    int m_previous;
};
