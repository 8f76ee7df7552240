#include "RecordSearch.h"

#include "data/TClientDataSet.h"
#include "data/TField.h"

namespace RecordSearch {

namespace {
bool rowContains(TClientDataSet *dataSet, int row, const QString &text)
{
    TRecordScope scope(dataSet, row);
    const auto fields = dataSet->Fields();
    for (const TField *field : fields) {
        if (field->Visible() && field->DisplayText().contains(text, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
} // namespace

int findRow(TClientDataSet *dataSet, const QString &text, int startRow)
{
    const QString wanted = text.trimmed();
    if (!dataSet || !dataSet->Active() || dataSet->IsEmpty() || wanted.isEmpty())
        return -1;
    const int count = dataSet->RecordCount();
    const int start = qBound(-1, startRow, count - 1);
    for (int step = 1; step <= count; ++step) {
        const int row = (start + step) % count;
        if (rowContains(dataSet, row, wanted))
            return row;
    }
    return -1;
}

} // namespace RecordSearch
