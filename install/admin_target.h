// The folder of an existing administrative installation given after "/a".
#pragma once

#include <wchar.h>

// Reads the folder that follows the "/a" switch in the argument text. On true,
// `*adminTarget` is the folder (cut out of `args` with a NUL) or null when no
// folder follows (a lone opening quote names no folder either). False when
// `args` is null or holds no token at all: the caller shows the usage text.
bool ParseAdminTarget(wchar_t* args, wchar_t** adminTarget);
