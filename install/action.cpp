#include "install/action.h"

#include "install/installer_command.h"
#include "install/package.h"
#include "ui/messages.h"
#include "ui/resource.h"

namespace {

// Keywords are compared whole and ignoring case, the same on every system.
bool SameKeyword(const wchar_t* a, const wchar_t* b) {
  return CompareStringW(MAKELCID(0x0409, SORT_DEFAULT), NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

// Whether the package's product is installed or advertised on this system.
bool ProductPresent(const MsiApi& msi, const wchar_t* packagePath) {
  WString productCode;
  if (!ReadPackageProperty(msi, packagePath, L"SELECT `Value` FROM `Property` WHERE `Property`='ProductCode'", 40,
                           productCode))
    return false;
  INSTALLSTATE state = msi.MsiQueryProductStateW(productCode.c_str());
  return state == INSTALLSTATE_ADVERTISED || state == INSTALLSTATE_DEFAULT;
}

}  // namespace

SetupResult CheckOperation(const wchar_t* operation, bool isPatch, bool* updateMode) {
  const wchar_t* keyword = operation ? operation : L"DEFAULT";
  static const wchar_t* const kPackageKeywords[] = {L"INSTALL", L"INSTALLUPD", L"DEFAULT"};
  static const wchar_t* const kPatchKeywords[] = {L"MINPATCH", L"MAJPATCH", L"DEFAULT"};
  const wchar_t* const* allowed = isPatch ? kPatchKeywords : kPackageKeywords;
  bool known = false;
  for (int i = 0; i < 3 && !known; ++i) known = SameKeyword(keyword, allowed[i]);
  if (!known) {
    ShowError(MSG_BAD_OPERATION, {keyword});
    return kResultInvalidParameter;
  }
  *updateMode = SameKeyword(keyword, L"MINPATCH") || SameKeyword(keyword, L"INSTALLUPD") ||
                (isPatch && SameKeyword(keyword, L"DEFAULT"));
  return 0;
}

SetupResult RunInstallerAction(CPelorinApp& app, const ProductEntry& product, const wchar_t* packagePath,
                               bool isPatch, bool updateMode, const wchar_t* adminTarget) {
  // A Cancel pressed while the package was checked counts until this moment;
  // from here on the engine's own user interface is what the user sees, and
  // the engine's own Cancel.
  if (!app.m_progressDlg.HandOverToEngine()) return kResultCancelled;
  const MsiApi& msi = app.m_msi;
  msi.MsiSetInternalUI((INSTALLUILEVEL)product.uiLevel, nullptr);

  bool adminInstall = app.m_commandMode == ModeAdminInstall;
  // An update of a full package needs the product on the system; otherwise
  // it is installed as new.
  if (!isPatch && updateMode) updateMode = ProductPresent(msi, packagePath);
  InstallerCommand command = {isPatch, updateMode, adminInstall, product.commandLine, adminTarget};
  WString commandLine;
  bool noCommandLine = false;
  if (!ComposeInstallerCommand(command, commandLine, &noCommandLine)) return TellOutOfMemory();

  UINT result;
  if (isPatch) {
    result = msi.MsiApplyPatchW(packagePath, adminInstall ? adminTarget : nullptr,
                                adminInstall ? INSTALLTYPE_NETWORK_IMAGE : INSTALLTYPE_DEFAULT,
                                noCommandLine ? nullptr : commandLine.c_str());
  } else {
    result = msi.MsiInstallProductW(packagePath, commandLine.c_str());
  }
  if (result != ERROR_SUCCESS) ReportInstallerResult(result);
  return result;
}
