// The Windows Installer engine's entry points, bound at run time from msi.dll:
// the setup never links against the engine, whose version it may have to
// upgrade first. Each entry is typed from the engine's own declaration.
#pragma once

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

struct MsiApi {
  HMODULE module;
  decltype(&::MsiSetInternalUI) MsiSetInternalUI;
  decltype(&::MsiInstallProductW) MsiInstallProductW;
  decltype(&::MsiApplyPatchW) MsiApplyPatchW;
  decltype(&::MsiReinstallProductW) MsiReinstallProductW;
  decltype(&::MsiQueryProductStateW) MsiQueryProductStateW;
  decltype(&::MsiOpenDatabaseW) MsiOpenDatabaseW;
  decltype(&::MsiDatabaseOpenViewW) MsiDatabaseOpenViewW;
  decltype(&::MsiViewExecute) MsiViewExecute;
  decltype(&::MsiViewFetch) MsiViewFetch;
  decltype(&::MsiRecordGetStringW) MsiRecordGetStringW;
  decltype(&::MsiCloseHandle) MsiCloseHandle;
};
