#include "engine/upgrade.h"

#include <windows.h>

#include "afx/system_library.h"
#include "app/config.h"
#include "engine/binding.h"
#include "engine/version.h"

bool IsEngineUpgradeNeeded() {
  WString engine;
  if (!RegisteredEnginePath(engine)) {
    // The engine the platform would load for the bare name.
    HMODULE module = LoadSystemLibrary(L"msi.dll");
    if (module) {
      wchar_t* buffer = engine.Buffer(520);
      if (buffer && GetModuleFileNameW(module, buffer, 520) != 0) engine.SetLengthFromBuffer();
      FreeLibrary(module);
    }
  }
  if (engine.empty()) return true;
  DWORD versionMS = 0;
  if (GetFileVersionMS(engine.c_str(), &versionMS) != 0) return true;
  return VersionNumber(versionMS) < (uint32_t)g_engineUpgrade.minimumVersion;
}

// Placeholder until the engine upgrade is built: reports that the platform is
// not supported rather than pretending an upgrade happened.
SetupResult UpgradeInstallerEngine() { return ERROR_INSTALL_PLATFORM_UNSUPPORTED; }
