// Upgrading a missing or too old Windows Installer engine.
#pragma once

#include <windows.h>

#include "app/app.h"

// True when `engine` (the loaded engine, LoadInstallerEngine; null when none
// loads) is older than the configured minimum, or missing.
bool IsEngineUpgradeNeeded(HMODULE engine);

// Upgrades the engine with the platform maker's redistributable, taken from
// the setup's folder or downloaded (and then checked by a second instance of
// the setup). 0 or 3010 (upgraded; 3010: restart needed) to go on; any
// other result ends the setup, the user having been told where there is
// something to tell. Runs on the worker thread, with no engine loaded.
SetupResult UpgradeInstallerEngine(CPelorinApp& app);
