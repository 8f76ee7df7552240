// A small screen package for the host's tests, built in several variants
// (see CMakeLists.txt). Every call is appended to the file named by
// $VEX_TESTPKG_LOG, so the order survives the package's unloading.
#include "app/PackageInfo.h"
#include "app/TApplication.h"
#include "forms/TfrmPadrao.h"
#include "services/Exceptions.h"

#include <QFile>
#include <QPointer>

namespace {
void note(const char *what)
{
    QFile log(qEnvironmentVariable("VEX_TESTPKG_LOG"));
    if (log.open(QIODevice::Append))
        log.write(QByteArray(PKG_CODE) + ':' + what + '\n');
}

class TestScreen : public TfrmPadrao
{
protected:
    void FormClose(TCloseAction &action) override
    {
        TfrmPadrao::FormClose(action);
        note("FormClose");
    }
};

QPointer<TestScreen> g_screen;

void unitInit() { note("unit-init"); }
void unitFinal() { note("unit-final"); }

const PackageUnitEntry kUnits[] = {{"TestUnit", unitInit, unitFinal}};
const PackageInfoTable kInfo = {1, kUnits, PKG_CODE, PKG_CAPTION};
} // namespace

extern "C" {
Q_DECL_EXPORT void Initialize()
{
    note("Initialize");
    kUnits[0].initialization();
}

Q_DECL_EXPORT void Finalize()
{
    kUnits[0].finalization();
    note("Finalize");
}

#ifndef WITHOUT_INFO
Q_DECL_EXPORT const PackageInfoTable *GetPackageInfoTable()
{
    return &kInfo;
}
#endif

#ifndef WITHOUT_INIPROC
Q_DECL_EXPORT void IniProc()
{
    note("IniProc");
#ifdef INIPROC_THROWS
    throw EVexError(QStringLiteral("Falha ao abrir a tela de teste."));
#else
    if (!g_screen)
        g_screen = TApplication::instance()->CreateForm<TestScreen>();
    TApplication::instance()->ShowForm(g_screen);
#endif
}
#endif
}
