// Holding a file that the setup installs or runs, from before its check
// until its use: open for reading and shared for reading only, so that
// nobody can write, rename or delete it meanwhile.
#pragma once

#include <windows.h>

#include "afx/handles.h"
#include "install/fetch.h"

// Opens `path` for reading as the setup holds a file between its check and
// its use. Fails (invalid handle) when someone has it open for writing.
HANDLE OpenHeldFile(const wchar_t* path);

// A file beside the setup (a package or redistributable), held for its check
// and use into `held`; refused (the user told, message 22) when someone has
// it open for writing. The engine takes no path of MAX_PATH characters or
// more (it overflows on one), so such a copy counts as not there.
LocalCopyState HoldLocalCopy(const wchar_t* path, UniqueHandle& held);
