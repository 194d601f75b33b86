#include "engine/upgrade.h"

#include "afx/seams.h"
#include "app/config.h"
#include "engine/binding.h"
#include "engine/child_process.h"
#include "engine/version.h"
#include "install/fetch_steps.h"
#include "install/processor.h"
#include "ui/messages.h"
#include "ui/resource.h"

bool IsEngineUpgradeNeeded(HMODULE engine) {
  // The engine that will be bound is the one judged, read from the file it
  // was loaded from.
  WString path;
  if (engine) {
    wchar_t* buffer = path.Buffer(520);
    if (buffer && GetModuleFileNameW(engine, buffer, 520) != 0) path.SetLengthFromBuffer();
  }
  if (path.empty()) return true;
  DWORD versionMS = 0;
  if (Seam(g_seams.readEngineVersion, GetFileVersionMS)(path.c_str(), &versionMS) != 0) return true;
  return VersionNumber(versionMS) < (uint32_t)g_engineUpgrade.minimumVersion;
}

namespace {

// The redistributable's steps: checked by a second instance of the setup
// ("/v", whose exit code is the verdict), told in the words of an engine
// upgrade.
class RedistributableSteps : public HeldFileSteps {
public:
  RedistributableSteps(CPelorinApp& app, const wchar_t* fileName, WString& path, UniqueHandle& held)
      : HeldFileSteps(app, fileName, MSG_ENGINE_NOT_FOUND, path, held), m_checker(app.m_exePath) {}

  bool LocalIsCurrent() override { return true; }
  bool CanDownload() override { return true; }
  SignatureCheck Check() override {
    return VerdictOfExitCode(RunSignatureCheck(m_checker.c_str(), m_path.c_str()));
  }
  void ShowStatus(FetchStatus status) override {
    if (status == FetchStatus::kDownloading)
      m_progress.SetDetail(LoadMessageText(MSG_DOWNLOADING_ENGINE).c_str());
    else
      m_progress.SetDetail(FormatMessageText(MSG_VERIFYING_SIGNATURE, {m_name}).c_str());
  }

protected:
  bool BuildUrl() override {
    if (m_url.Append(g_engineUpgrade.baseUrl) && m_url.Append(m_name)) return true;
    ShowMessage(MSG_ENGINE_UPGRADE_FAILED, MB_OK | MB_ICONERROR);
    return false;
  }

private:
  const WString& m_checker;  // the setup's own file, which checks in a second instance
};

}  // namespace

SetupResult UpgradeInstallerEngine(CPelorinApp& app) {
  const wchar_t* fileName;
  if (app.m_notNt) {
    fileName = g_engineUpgrade.ansiInstaller;
  } else if (GetNativeMachine() == IMAGE_FILE_MACHINE_I386) {
    fileName = g_engineUpgrade.unicodeInstaller;
  } else {
    // The redistributable exists for x86 only; 64-bit systems, and a
    // processor that cannot be told, are left as they are.
    return kResultPlatformUnsupported;
  }

  // The checker is the setup's own file, held since the start (without that
  // hold it might not be the program that was started), and started by its
  // path, which CreateProcess takes only below MAX_PATH. Without either no
  // redistributable can be checked, so none is fetched.
  if (!app.m_exeHold || app.m_exePath.length() >= MAX_PATH) {
    ShowMessage(MSG_ENGINE_UPGRADE_FAILED, MB_OK | MB_ICONERROR);
    return kResultInstallFailure;
  }
  WString upgradePath;
  if (!upgradePath.Append(app.m_exeDir) || !upgradePath.Append(fileName)) {
    ShowMessage(MSG_ENGINE_UPGRADE_FAILED, MB_OK | MB_ICONERROR);
    return kResultOutOfMemory;
  }
  // Held from before its check until its process has ended, so that nobody
  // can swap it in between.
  UniqueHandle held;
  RedistributableSteps steps(app, fileName, upgradePath, held);
  SetupResult fetched = FetchTrusted(steps);
  if (fetched != 0) return fetched;
  DWORD versionMS = 0;
  if (GetFileVersionMS(upgradePath.c_str(), &versionMS) != 0 || !PassesEngineGate(VersionNumber(versionMS))) {
    ShowError(MSG_ENGINE_INVALID, {upgradePath.c_str()});
    return kResultInvalidParameter;
  }

  // The last moment at which a Cancel stops the upgrade: once started, the
  // redistributable runs to its end.
  if (app.m_progressDlg.TellIfCancelled()) return kResultCancelled;
  SetupResult result = RunEngineUpgrade(upgradePath.c_str());
  switch (result) {
    case 0:
    case kResultRestartInitiated:
    case kResultRestartRequired:
      return result;
    case kResultCancelled:
      ShowMessage(MSG_CANCELLED, MB_OK | MB_ICONWARNING);
      return result;
    case kResultFileNotFound:
      ShowError(MSG_ENGINE_NOT_FOUND, {upgradePath.c_str()});
      return result;
    default:
      ShowMessage(MSG_ENGINE_UPGRADE_FAILED, MB_OK | MB_ICONERROR);
      return result;
  }
}
