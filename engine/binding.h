// Finding and binding the Windows Installer engine (msi.dll) at run time, and
// reading file versions.
#pragma once

#include <windows.h>

#include "afx/wstring.h"
#include "app/setup_result.h"
#include "engine/msi_api.h"

// Where the engine registers its folder.
#define INSTALLER_KEY L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer"

// Resolves the entries of the engine in `msi.module` into `msi`, loading the
// engine first (LoadInstallerEngine) when none is loaded; 0, or 1603 after
// message 29. The module stays loaded, also after a failure, for its owner to
// release.
SetupResult BindInstallerEngine(MsiApi& msi);

// Loads the engine the setup works with: the registered one when it loads,
// else the system's. Null when neither does.
HMODULE LoadInstallerEngine();

// Reads "InstallerLocation" from the open Installer key. True with the stored
// folder (possibly empty); false, with `folder` empty, for a missing value or
// one that is not a well-formed string.
bool ReadInstallerLocation(HKEY key, WString& folder);

// The registered engine file: the stored folder followed by "\msi.dll". False
// when no usable location is registered; a location that is not a full path
// is not usable.
bool RegisteredEnginePath(WString& path);

// The most significant 32 bits of the file's version; 0 or a Win32 error.
// `*versionMS` is 0xFFFFFFFF on every failure, and also when the file's
// version information holds no fixed-version record (then with status 0).
DWORD GetFileVersionMS(const wchar_t* path, DWORD* versionMS);
