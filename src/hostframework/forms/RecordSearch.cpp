#include "RecordSearch.h"

#include "data/TClientDataSet.h"
#include "data/TField.h"

namespace RecordSearch {

namespace {
bool matches(const QString &shown, const QString &text, TSearchMode mode)
{
    return mode == TSearchMode::smStartsWith ? shown.startsWith(text, Qt::CaseInsensitive)
                                             : shown.contains(text, Qt::CaseInsensitive);
}

bool rowMatches(TClientDataSet *dataSet, int row, const QString &text, const TField *only,
                TSearchMode mode)
{
    TRecordScope scope(dataSet, row);
    if (only)
        return matches(only->DisplayText().trimmed(), text, mode);
    const auto fields = dataSet->Fields();
    for (const TField *field : fields) {
        if (field->Visible() && matches(field->DisplayText().trimmed(), text, mode))
            return true;
    }
    return false;
}
} // namespace

int findRow(TClientDataSet *dataSet, const QString &text, int startRow)
{
    return findRow(dataSet, text, startRow, TSearchOptions{});
}

int findRow(TClientDataSet *dataSet, const QString &text, int startRow,
            const TSearchOptions &options)
{
    const QString wanted = text.trimmed();
    if (!dataSet || !dataSet->Active() || dataSet->IsEmpty() || wanted.isEmpty())
        return -1;
    const TField *only =
        options.fieldName.isEmpty() ? nullptr : dataSet->FieldByName(options.fieldName);
    const int count = dataSet->RecordCount();
    const bool forward = options.direction == TSearchDirection::sdForward;
    const int start = qBound(-1, startRow, count - 1);
    const int from = start < 0 && !forward ? count : start;
    for (int step = 1; step <= count; ++step) {
        const int row = forward ? (from + step) % count : ((from - step) % count + count) % count;
        if (rowMatches(dataSet, row, wanted, only, options.mode))
            return row;
    }
    return -1;
}

} // namespace RecordSearch
