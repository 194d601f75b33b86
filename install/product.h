// Installing one product of the compiled-in table.
#pragma once

#include "app/app.h"
#include "app/config.h"

// Asks first when so configured, lets the user choose the language, obtains
// the package and hands it to the Windows Installer engine. 0 goes on with the
// next product; anything else ends the run, the user having been told.
SetupResult InstallProduct(CPelorinApp& app, const ProductEntry& product);
