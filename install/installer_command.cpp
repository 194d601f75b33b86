// The property command line for MsiInstallProductW / MsiApplyPatchW.
#include "install/installer_command.h"

bool ComposeInstallerCommand(const InstallerCommand& command, WString& out, bool* isNull) {
  out.Clear();
  if (isNull) *isNull = false;

  if (command.isPatch) {
    // A patch is applied to an administrative image through the install type,
    // never through ACTION=ADMIN, so "/a" changes nothing here.
    if (command.configured) return out.Append(command.configured);
    if (command.updateMode) return out.Append(REINSTALL_PATCH_PROPERTIES);
    if (isNull) *isNull = true;
    return true;
  }

  bool ok = true;
  if (command.configured)
    ok = out.Append(command.configured);  // replaces the update text as well
  else if (command.updateMode)
    ok = out.Append(REINSTALL_PACKAGE_PROPERTIES);

  if (ok && command.adminInstall) {
    ok = out.Append(L" ACTION=ADMIN");
    if (ok && command.adminTarget)
      ok = out.Append(L" TARGETDIR=\"") && out.Append(command.adminTarget) && out.Append(L'"');
  }
  return ok;
}
