// The compiled-in records that make a setup install one particular product:
// which products, from where, with which Windows Installer operation, in which
// languages and which package serves which processor; and where an upgrade of
// the Windows Installer engine comes from. The values of one build live in one
// source file of their own (see PELORIN_CONFIG_SOURCE), and the addresses
// come from the build's options (app/build_options.h).
//
// Records are written with named fields (designated initialisers, in the
// order declared here), and a field that is not named is zero (null). So a
// new field goes at the end of its record, and its zero must mean what every
// setup did before the field existed: the records written earlier then keep
// their meaning without a change.
#pragma once

#include <stdint.h>

#include "app/build_options.h"

// One language of a product, with its package file per platform. An array of
// them ends at the first entry whose langId is 0 (an empty `{}`).
struct LanguageEntry {
  uint16_t langId;
  const wchar_t* displayName;  // in that language, as the language dialog lists it
  const wchar_t* packageNonNt;  // null: no package for that platform
  const wchar_t* packageX86;
  const wchar_t* packageX64;
  const wchar_t* packageArm64;
  const wchar_t* patchNonNt;  // patches are used only where no full package is configured
  const wchar_t* patchX86;
  const wchar_t* patchX64;
  const wchar_t* patchArm64;
};

// One product to install. The table ends at the first entry without
// productName (an empty `{}`).
struct ProductEntry {
  const wchar_t* downloadUrl;     // prefix of a package's URL; null: no download
  const wchar_t* operation;       // "INSTALL", "INSTALLUPD", "MINPATCH", "MAJPATCH", "DEFAULT"; null: "DEFAULT"
  const wchar_t* productName;     // insert of the product's messages
  const wchar_t* commandLine;     // replaces the default properties when present
  const wchar_t* productVersion;  // ProductVersion a package beside the setup must carry; null: any
  int32_t askFirst;               // nonzero: ask before anything else; 0: install without asking
  int32_t uiLevel;                // Windows Installer user-interface level (5: full)
  const LanguageEntry* languages;
};

// The setup-wide record.
struct EngineUpgradeEntry {
  const wchar_t* baseUrl;           // folder URL of the engine redistributables
  const wchar_t* ansiInstaller;     // for platforms that are not Windows NT
  const wchar_t* unicodeInstaller;  // for Windows NT on x86
  int32_t minimumVersion;           // 100 x major + minor; 200 is 2.0
  const ProductEntry* products;
};

extern const EngineUpgradeEntry g_engineUpgrade;
