#pragma once

class TClientDataSet;
class TDBGrid;
class QWidget;

namespace Procurar {
// Opens the search window (SearchDialog) on dataSet, modal over parent (the
// active window when null); a closed or empty data set opens nothing.
void Procura(TClientDataSet *dataSet, QWidget *parent = nullptr);
// The same on a grid's data set: what can be searched is what the grid
// shows, and its current column comes chosen.
void Procura(TDBGrid *grid, QWidget *parent = nullptr);
} // namespace Procurar
