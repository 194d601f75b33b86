#include "engine/upgrade.h"

#include "afx/system_library.h"
#include "app/app.h"
#include "app/config.h"
#include "engine/binding.h"
#include "engine/child_process.h"
#include "engine/version.h"
#include "install/processor.h"
#include "install/signature.h"
#include "ui/messages.h"
#include "ui/resource.h"

EngineVersionReader g_readEngineVersion = GetFileVersionMS;

bool IsEngineUpgradeNeeded() {
  WString engine;
  // The engine that will be bound is the one judged: loaded the same way,
  // and read from the file it was loaded from.
  HMODULE module = LoadInstallerEngine();
  if (module) {
    wchar_t* buffer = engine.Buffer(520);
    if (buffer && GetModuleFileNameW(module, buffer, 520) != 0) engine.SetLengthFromBuffer();
    FreeLibrary(module);
  }
  if (engine.empty()) return true;
  DWORD versionMS = 0;
  if (g_readEngineVersion(engine.c_str(), &versionMS) != 0) return true;
  return VersionNumber(versionMS) < (uint32_t)g_engineUpgrade.minimumVersion;
}

namespace {

// Has a second instance of the setup check the redistributable at `path`,
// which the caller holds open, telling the user what is checked. 0 when it
// is trusted; 1602 when Cancel came first; otherwise the verdict.
SetupResult CheckRedistributable(const wchar_t* fileName, const wchar_t* path) {
  CNapredekDlg& progress = App().m_progressDlg;
  progress.SetDetail(FormatMessageText(MSG_VERIFYING_SIGNATURE, {fileName}).c_str());
  if (progress.TellIfCancelled()) return ERROR_INSTALL_USEREXIT;
  // From here on Cancel no longer stops the upgrade.
  return RunSignatureCheck(App().m_exePath.c_str(), path);
}

// Fetches the redistributable `fileName` from the maker's server into the
// download cache and has its signature checked. 0 with `upgradePath` set
// to the cached file, or the result to end with, the user having been told.
SetupResult DownloadRedistributable(const wchar_t* fileName, WString& upgradePath, UniqueHandle& held) {
  CNapredekDlg& progress = App().m_progressDlg;
  WString url;
  if (!url.Append(g_engineUpgrade.baseUrl) || !url.Append(fileName)) {
    ShowMessage(MSG_ENGINE_UPGRADE_FAILED, MB_OK | MB_ICONERROR);
    return ERROR_OUTOFMEMORY;
  }
  progress.SetDetail(LoadMessageText(MSG_DOWNLOADING_ENGINE).c_str());
  if (progress.TellIfCancelled()) return ERROR_INSTALL_USEREXIT;

  wchar_t downloaded[520];
  HRESULT status = progress.Download(url.c_str(), downloaded, 520);
  upgradePath.Clear();
  if (SUCCEEDED(status)) {
    downloaded[519] = L'\0';
    if (!upgradePath.Append(downloaded)) {
      ShowMessage(MSG_ENGINE_UPGRADE_FAILED, MB_OK | MB_ICONERROR);
      return ERROR_OUTOFMEMORY;
    }
  }
  // Before the failure: a transfer that Cancel aborted is a cancel.
  if (progress.TellIfCancelled()) return ERROR_INSTALL_USEREXIT;
  if (FAILED(status) || upgradePath.length() >= MAX_PATH) {
    ShowError(MSG_ENGINE_NOT_FOUND, {url.c_str()});
    return ERROR_FILE_NOT_FOUND;
  }

  // A second instance of the setup checks it ("/v"); its exit code is the
  // verdict. A file that cannot be held is not trusted.
  held.Reset(OpenHeldFile(upgradePath.c_str()));
  SetupResult verdict = held ? CheckRedistributable(fileName, upgradePath.c_str())
                             : (SetupResult)TRUST_E_SUBJECT_NOT_TRUSTED;
  if (verdict == 0 || verdict == ERROR_INSTALL_USEREXIT) return verdict;
  held.Reset();
  if (verdict == (SetupResult)TRUST_E_PROVIDER_UNKNOWN) {
    ShowMessage(MSG_NO_SIGNATURES, MB_OK | MB_ICONERROR);
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  // Not trusted, and also a check that could not run: never run an
  // unchecked download.
  ShowError(MSG_NOT_TRUSTED, {upgradePath.c_str()});
  return kResultNotTrusted;
}

}  // namespace

SetupResult UpgradeInstallerEngine() {
  CPelorinApp& app = App();
  const wchar_t* fileName;
  if (app.m_notNt) {
    fileName = g_engineUpgrade.ansiInstaller;
  } else if (GetNativeMachine() == IMAGE_FILE_MACHINE_I386) {
    fileName = g_engineUpgrade.unicodeInstaller;
  } else {
    // The redistributable exists for x86 only; 64-bit systems, and a
    // processor that cannot be told, are left as they are.
    return ERROR_INSTALL_PLATFORM_UNSUPPORTED;
  }

  // The checker is the setup's own file, held since the start (without that
  // hold it might not be the program that was started), and started by its
  // path, which CreateProcess takes only below MAX_PATH. Without either no
  // redistributable can be checked, so none is fetched.
  if (!app.m_exeHold || app.m_exePath.length() >= MAX_PATH) {
    ShowMessage(MSG_ENGINE_UPGRADE_FAILED, MB_OK | MB_ICONERROR);
    return ERROR_INSTALL_FAILURE;
  }
  WString upgradePath;
  if (!upgradePath.Append(app.m_exeDir) || !upgradePath.Append(fileName)) {
    ShowMessage(MSG_ENGINE_UPGRADE_FAILED, MB_OK | MB_ICONERROR);
    return ERROR_OUTOFMEMORY;
  }
  // Held from before its check until its process has ended, so that nobody
  // can swap it in between. A copy beside the setup is checked as a download
  // is; one that is not trusted is replaced by the download.
  UniqueHandle held;
  bool trusted = false;
  LocalCopy local = HoldLocalCopy(upgradePath.c_str(), held);
  if (local == LocalCopyRefused) return kResultNotTrusted;
  if (local == LocalCopyHeld) {
    SetupResult verdict = CheckRedistributable(fileName, upgradePath.c_str());
    if (verdict == ERROR_INSTALL_USEREXIT) return verdict;
    trusted = verdict == 0;
    if (!trusted) held.Reset();
  }
  if (!trusted) {
    SetupResult downloaded = DownloadRedistributable(fileName, upgradePath, held);
    if (downloaded != 0) return downloaded;
  }
  DWORD versionMS = 0;
  if (GetFileVersionMS(upgradePath.c_str(), &versionMS) != 0 || !PassesEngineGate(VersionNumber(versionMS))) {
    ShowError(MSG_ENGINE_INVALID, {upgradePath.c_str()});
    return ERROR_INVALID_PARAMETER;
  }

  SetupResult result = RunEngineUpgrade(upgradePath.c_str());
  switch (result) {
    case 0:
    case ERROR_SUCCESS_REBOOT_INITIATED:
    case ERROR_SUCCESS_REBOOT_REQUIRED:
      return result;
    case ERROR_INSTALL_USEREXIT:
      ShowMessage(MSG_CANCELLED, MB_OK | MB_ICONWARNING);
      return result;
    case ERROR_FILE_NOT_FOUND:
      ShowError(MSG_ENGINE_NOT_FOUND, {upgradePath.c_str()});
      return result;
    default:
      ShowMessage(MSG_ENGINE_UPGRADE_FAILED, MB_OK | MB_ICONERROR);
      return result;
  }
}
