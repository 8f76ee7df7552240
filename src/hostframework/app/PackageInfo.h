#pragma once

// The contract between the host and a screen package (a shared library in
// the modules folder). Plain C types: the host resolves the exports by name.
extern "C" {

using PackageProc = void (*)();

// One unit of a package: its initialization and finalization, each run once
// per package load however often they are called.
struct PackageUnitEntry
{
    const char *name;
    PackageProc initialization;
    PackageProc finalization;
};

// What GetPackageInfoTable returns: the unit table in initialization order,
// and the screen the package offers (code and caption for the host's menu).
struct PackageInfoTable
{
    int unitCount;
    const PackageUnitEntry *units;
    const char *screenCode;    // "VEX00300"
    const char *screenCaption; // UTF-8
};

using GetPackageInfoTableProc = const PackageInfoTable *(*)();
}

// Export names, resolved with QLibrary::resolve.
inline constexpr const char *kIniProcExport = "IniProc";
inline constexpr const char *kInitializeExport = "Initialize";
inline constexpr const char *kFinalizeExport = "Finalize";
inline constexpr const char *kPackageInfoExport = "GetPackageInfoTable";
