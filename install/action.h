// Turning the product's configured operation into one call of the Windows
// Installer engine, and telling the user what the engine answered.
#pragma once

#include "app/app.h"
#include "app/config.h"

// Whether `operation` (null is "DEFAULT") is allowed for a full package or a
// patch, and whether it refreshes an existing installation; 0, or 87 after
// message 34.
SetupResult CheckOperation(const wchar_t* operation, bool isPatch, bool* updateMode);

// Hides the progress window and runs the engine on `packagePath`; gives the
// engine's result unchanged, having told the user about a failure.
SetupResult RunInstallerAction(CPelorinApp& app, const ProductEntry& product, const wchar_t* packagePath,
                               bool isPatch, bool updateMode, const wchar_t* adminTarget);
