// The package's exports: what the host resolves by name.
#include "Cli_vex00300.h"
#include "Cli_vex00301.h"

#include "app/PackageInfo.h"

#include <QtGlobal>

namespace {
// Initialization order: the dialog's unit, then the window's.
const PackageUnitEntry kUnits[] = {
    {"Cli_vex00301", &Cli_vex00301::Initialization, &Cli_vex00301::Finalization},
    {"Cli_vex00300", &Cli_vex00300::Initialization, &Cli_vex00300::Finalization},
};
constexpr int kUnitCount = int(sizeof(kUnits) / sizeof(kUnits[0]));

const PackageInfoTable kInfoTable = {kUnitCount, kUnits, "VEX00300",
                                     "Acompanhamento de Pedidos OL"};
} // namespace

extern "C" {

Q_DECL_EXPORT void IniProc()
{
    Cli_vex00300::IniProc();
}

Q_DECL_EXPORT void Initialize()
{
    for (int i = 0; i < kUnitCount; ++i)
        kUnits[i].initialization();
}

Q_DECL_EXPORT void Finalize()
{
    for (int i = kUnitCount - 1; i >= 0; --i)
        kUnits[i].finalization();
}

Q_DECL_EXPORT const PackageInfoTable *GetPackageInfoTable()
{
    return &kInfoTable;
}

} // extern "C"
