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
// The typed code without the mask's literals and blanks, as typed: a
// character the mask would drop must not turn the code into another one.
QString withoutLiterals(const QString &typed, const QString &mask)
{
    static const QString pictureChars = QStringLiteral("09aAlLcC#<>\\");
    const QString picture = mask.section(QLatin1Char(';'), 0, 0);
    const QString blank = mask.count(QLatin1Char(';')) >= 2 ? mask.section(QLatin1Char(';'), -1)
                                                            : QStringLiteral("_");
    QString plain;
    for (const QChar c : typed) {
        const bool literal = picture.contains(c) && !pictureChars.contains(c);
        if (!literal && !blank.contains(c) && c != QLatin1Char(' '))
            plain += c;
    }
    return plain;
}
} // namespace

bool ValidEx(TDataSource *source, TPictType pictType, QString &code, TValidOptions options,
             const QString &message, bool raise)
{
    TClientDataSet *dataSet = source ? source->DataSet() : nullptr;
    if (!dataSet || !dataSet->Active())
        throw EVexError(
            QStringLiteral("Tabela de produtos não está aberta para validar o código."));
    const QString typed = code.trimmed();
    if (options.testFlag(TValidOption::voAllowBlank) && Consiste::EmptyString(typed))
        return true;
    const TEditMask mask(Corvel::DBPict(pictType));
    const QString stored = mask.strip(typed).trimmed();
    const bool clean = withoutLiterals(typed, mask.mask()) == stored;
    const int row = stored.isEmpty() || !clean ? -1 : rowOfCode(dataSet, stored);
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
