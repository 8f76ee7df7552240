#pragma once

#include <QString>

class TDataSource;

namespace Pesqlista {
// Modal multi-selection over source's data set, marked by keyField. The rows
// whose key is in list come pre-marked (with marcaTodos and an empty list,
// every row). OK writes the marked keys in the data set's order,
// comma-separated with no spaces ("0001,0007"; nothing marked gives ""), and
// returns true. Cancel, or an empty data set ("Nenhum registro para
// selecionar."), leaves list unchanged and returns false. A key holding a
// comma or anything but letters and digits, or longer than keyField's size,
// is refused with a message and the window stays open.
bool PesquisaLista(TDataSource *source, const QString &keyField, const QString &title,
                   bool marcaTodos, QString &list);
} // namespace Pesqlista
