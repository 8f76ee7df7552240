#include "Tabvalid.h"

#include "Consiste.h"
#include "VexErrors.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/TEditMask.h"
#include "data/TField.h"

namespace Tabvalid {

namespace {
const QLatin1String kTreeCodeField("CDARVPROD");

// The row whose tree code is code (stored form), -1 when none.
int rowOfCode(TClientDataSet *dataSet, const QString &code)
{
    TField *field = dataSet->FieldByName(kTreeCodeField);
    for (int row = 0; row < dataSet->RecordCount(); ++row) {
        TRecordScope scope(dataSet, row);
        if (field->AsString().trimmed() == code)
            return row;
    }
    return -1;
}
} // namespace

bool ValidEx(TDataSource *source, TPictType pictType, QString &code,
             TValidOptions options, const QString &message, bool raise)
{
    TClientDataSet *dataSet = source ? source->DataSet() : nullptr;
    if (!dataSet || !dataSet->Active())
        throw EVexError(QStringLiteral("Tabela de produtos não está aberta para validar o código."));
    const QString typed = code.trimmed();
    if (options.testFlag(TValidOption::voAllowBlank) && Consiste::EmptyString(typed))
        return true;
    const TEditMask mask(Corvel::DBPict(pictType));
    const QString stored = mask.strip(typed).trimmed();
    const int row = stored.isEmpty() ? -1 : rowOfCode(dataSet, stored);
    if (row >= 0) {
        TRecordScope scope(dataSet, row);
        code = dataSet->FieldByName(kTreeCodeField)->AsString().trimmed();
        return true;
    }
    if (!raise)
        return false;
    throw EVexError(message.isEmpty() ? QStringLiteral("Produto não cadastrado: %1.").arg(typed)
                                      : message);
}

} // namespace Tabvalid
