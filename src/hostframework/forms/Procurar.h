#pragma once

class TClientDataSet;
class QWidget;

namespace Procurar {
// Opens the search window (SearchDialog) on dataSet, modal over parent (the
// active window when null); a closed or empty data set opens nothing.
void Procura(TClientDataSet *dataSet, QWidget *parent = nullptr);
} // namespace Procurar
