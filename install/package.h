// Which file is installed for the chosen language and the running system, and
// where it comes from: beside the setup when it is current, otherwise
// downloaded and checked for a trusted signature.
#pragma once

#include "afx/handles.h"
#include "afx/wstring.h"
#include "app/app.h"
#include "app/config.h"

struct PackageChoice {
  const wchar_t* file;  // bare file name
  bool isPatch;         // taken from the patch fields
};

// The full package for the platform, or the patch where no full package is
// configured; 0, or 1633 after message 36 when neither exists.
SetupResult ChoosePackage(const LanguageEntry& language, BOOL notNt, PackageChoice* choice);

// The path of a usable copy of `packageFile`: beside the setup when it is
// current and trusted, otherwise downloaded into the run's folder and
// trusted. `held` receives the file opened for reading and shared for reading
// only, from before its check; the caller keeps it until the engine has
// returned. 0, or 2, 4, 14, 120, 1602 after the message that tells why.
SetupResult AcquirePackage(CPelorinApp& app, const ProductEntry& product, const wchar_t* packageFile,
                           WString& packagePath, UniqueHandle& held);

// Whether the package at `path` carries the ProductVersion `productVersion`.
bool IsLocalPackageCurrent(const MsiApi& msi, const wchar_t* path, const wchar_t* productVersion);

// The first column of the first row of `query` run on the package at `path`,
// when it is shorter than `capacity` characters.
bool ReadPackageProperty(const MsiApi& msi, const wchar_t* path, const wchar_t* query, DWORD capacity,
                         WString& value);
