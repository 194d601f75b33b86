// The property command line handed to the Windows Installer engine.
#pragma once

#include "afx/wstring.h"

// Full package reinstalled in update mode.
#define REINSTALL_PACKAGE_PROPERTIES L"REINSTALL=ALL REINSTALLMODE=vomus"
// Patch applied in update mode.
#define REINSTALL_PATCH_PROPERTIES L"REINSTALL=ALL REINSTALLMODE=omus"

struct InstallerCommand {
  bool isPatch;
  bool updateMode;            // for a full package: already confirmed against the system
  bool adminInstall;          // "/a"
  const wchar_t* configured;  // the product's own command line, or null
  const wchar_t* adminTarget; // folder after "/a", or null
};

// Composes the command line. `*isNull` tells that the engine gets no command
// line at all (a patch without properties). False only when memory runs out.
bool ComposeInstallerCommand(const InstallerCommand& command, WString& out, bool* isNull);
