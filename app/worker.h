// The worker thread that carries a setup run, and the engine gate it passes first.
#pragma once

#include <windows.h>

#include "app/app.h"

// The worker thread, started with the application object as `app`: engine
// gate, engine binding, then each product in table order until one fails.
// Its result becomes the process exit code.
UINT SetupWorker(LPVOID app);

// Upgrades the Windows Installer engine first when it is missing or too old,
// with the user's consent; 0 to go on. The engine that passes stays loaded in
// app.m_msi for its binding.
SetupResult EnsureInstallerEngine(CPelorinApp& app);
