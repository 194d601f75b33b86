// The folder of an existing administrative installation given after "/a".
#pragma once

#include <wchar.h>

// Reads the folder that follows the "/a" switch in the argument text. On true,
// `*adminTarget` is the folder (cut out of `args` with a NUL) or null when no
// folder follows (a lone opening quote names no folder either). False when
// `args` is null or holds no token at all: the caller shows the usage text.
bool ParseAdminTarget(wchar_t* args, wchar_t** adminTarget);

// Whether the engine can be given `folder` as the administrative image's
// TARGETDIR, which it gets in double quotes: fewer than 260 (MAX_PATH)
// characters, since the engine overflows on a longer path, and no double
// quote, which would end the value early and let the rest of the folder
// add properties of its own (`C:\img"PATCH="\\host\x.msp`).
bool AdminTargetAcceptable(const wchar_t* folder);
