#pragma once

#include "Corvel.h"

#include <QFlags>
#include <QString>

class TDataSource;

// Table validation of typed codes.
namespace Tabvalid {
enum class TValidOption {
    voAllowBlank = 0x1, // a blank code passes unchanged
};
Q_DECLARE_FLAGS(TValidOptions, TValidOption)

// Checks a product code typed in its masked form (Corvel::DBPict(pictType))
// against the rows of source's data set by their tree code (CDARVPROD).
// Found: code becomes the stored form (no mask literals) and true is
// returned. Not found: with raise, throws EVexError with message, or
// "Produto não cadastrado: <code>." when message is empty; without raise,
// returns false. A data source without an open data set throws EVexError.
bool ValidEx(TDataSource *source, TPictType pictType, QString &code, TValidOptions options,
             const QString &message, bool raise);
} // namespace Tabvalid

Q_DECLARE_OPERATORS_FOR_FLAGS(Tabvalid::TValidOptions)
