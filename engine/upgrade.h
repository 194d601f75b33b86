// Upgrading a missing or too old Windows Installer engine.
#pragma once

#include "app/setup_result.h"

// True when the engine is missing or older than the configured minimum.
bool IsEngineUpgradeNeeded();

// Runs the engine redistributable; 0, 3010 (restart needed) or a failure
// that the user has been told.
SetupResult UpgradeInstallerEngine();
