// A stand-in for the Windows Installer engine, built as msi.dll: it exports
// the names that the setup binds, and nothing behind them is ever called
// (the binding only looks the names up). Built twice: complete, and with
// ENGINE_STUB_WITHOUT_REINSTALL lacking MsiReinstallProductW, an entry the
// setup binds although it never calls it.
//
// PelorinTestEngine tells this engine from the system's. Under Wine the
// tests load it with the load order "native first" for msi.dll: by default
// Wine hands out its own built-in msi.dll even for a full path to another
// file of that name.
#define STUB_ENTRY(name) \
  extern "C" __declspec(dllexport) int name() { return 0; }

STUB_ENTRY(MsiSetInternalUI)
STUB_ENTRY(MsiInstallProductW)
STUB_ENTRY(MsiApplyPatchW)
#ifndef ENGINE_STUB_WITHOUT_REINSTALL
STUB_ENTRY(MsiReinstallProductW)
#endif
STUB_ENTRY(MsiQueryProductStateW)
STUB_ENTRY(MsiOpenDatabaseW)
STUB_ENTRY(MsiDatabaseOpenViewW)
STUB_ENTRY(MsiViewExecute)
STUB_ENTRY(MsiViewFetch)
STUB_ENTRY(MsiRecordGetStringW)
STUB_ENTRY(MsiCloseHandle)

STUB_ENTRY(PelorinTestEngine)
