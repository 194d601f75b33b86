// Results of the setup's operations: Windows error and Windows Installer codes.
#pragma once

#include <stdint.h>

typedef uint32_t SetupResult;

// A downloaded file is not trusted (a plain 4, ERROR_TOO_MANY_OPEN_FILES by number).
const SetupResult kResultNotTrusted = 4;
// The framework's own initialisation failed: no other code applies yet.
const SetupResult kResultStartupFailed = 713;
