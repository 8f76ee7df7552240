#pragma once

class TfrmAcomPOL;

// "Exportar..." of the tracking window: the grid with the focus, the chain
// of the current branch, or the chain of the whole filtering, to XLSX or CSV.
namespace Cli_vex00300Export {
// The menu item (Ctrl+E) in mnuManutencao and the tool button after sbtFechar.
void install(TfrmAcomPOL *window);
// The command itself.
void mnuExportarClick(TfrmAcomPOL *window);
} // namespace Cli_vex00300Export
