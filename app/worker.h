// The worker thread that carries a setup run, and the engine gate it passes first.
#pragma once

#include <windows.h>

#include "app/setup_result.h"

// The worker thread: engine gate, engine binding, then each product in table
// order until one fails. Its result becomes the process exit code.
UINT SetupWorker(LPVOID unused);

// Upgrades the Windows Installer engine first when it is missing or too old,
// with the user's consent; 0 to go on.
SetupResult EnsureInstallerEngine();
