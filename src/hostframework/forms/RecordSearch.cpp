#include "RecordSearch.h"

#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "services/TextMatch.h"

namespace RecordSearch {

namespace {
bool matches(const QString &shown, const QString &wanted, TSearchMode mode)
{
    return mode == TSearchMode::smStartsWith ? TextMatch::startsWithFolded(shown, wanted)
                                             : TextMatch::containsFolded(shown, wanted);
}

bool fieldMatches(const TField *field, const QString &wanted, TSearchMode mode)
{
    if (matches(field->DisplayText().trimmed(), wanted, mode))
        return true;
    // A code is often typed as stored, without the picture's dots.
    return !field->EditMask().isEmpty() && !field->OnGetText
        && matches(field->AsString().trimmed(), wanted, mode);
}

QList<const TField *> searchedFields(const TClientDataSet *dataSet,
                                     const TSearchOptions &options)
{
    QList<const TField *> fields;
    if (!options.fieldName.isEmpty()) {
        fields << dataSet->FieldByName(options.fieldName);
    } else if (!options.fieldNames.isEmpty()) {
        for (const QString &name : options.fieldNames)
            fields << dataSet->FieldByName(name);
    } else {
        const auto all = dataSet->Fields();
        for (const TField *field : all) {
            if (field->Visible())
                fields << field;
        }
    }
    return fields;
}
} // namespace

int findRow(TClientDataSet *dataSet, const QString &text, int startRow)
{
    return findRow(dataSet, text, startRow, TSearchOptions{});
}

int findRow(TClientDataSet *dataSet, const QString &text, int startRow,
            const TSearchOptions &options)
{
    const QString wanted = TextMatch::folded(text.trimmed());
    if (!dataSet || !dataSet->Active() || dataSet->IsEmpty() || wanted.isEmpty())
        return -1;
    const QList<const TField *> fields = searchedFields(dataSet, options);
    const int count = dataSet->RecordCount();
    const bool forward = options.direction == TSearchDirection::sdForward;
    const int start = qBound(-1, startRow, count - 1);
    const int from = start < 0 && !forward ? count : start;
    for (int step = 1; step <= count; ++step) {
        const int row = forward ? (from + step) % count : ((from - step) % count + count) % count;
        TRecordScope scope(dataSet, row);
        for (const TField *field : fields) {
            if (fieldMatches(field, wanted, options.mode))
                return row;
        }
    }
    return -1;
}

} // namespace RecordSearch
