#include "app/app.h"

#include "afx/seams.h"
#include "app/build_options.h"
#include "app/probes.h"
#include "app/worker.h"
#include "install/held_file.h"
#include "install/run_folder.h"
#include "install/signature.h"
#include "ui/messages.h"
#include "ui/resource.h"

namespace {

// The full path of the setup's own module, however long the platform makes it.
bool QueryModulePath(WString& path) {
  for (DWORD capacity = 520; capacity <= 0x8000 * 2; capacity *= 2) {
    wchar_t* buffer = path.Buffer(capacity);
    if (!buffer) return false;
    DWORD length = GetModuleFileNameW(nullptr, buffer, capacity);
    if (length == 0) return false;
    if (length < capacity) {
      path.SetLengthFromBuffer();
      return true;
    }
  }
  return false;
}

// "/v <file>": the verdict on the file's signature becomes the exit code.
SetupResult RunVerifyCommand(const wchar_t* exePath, wchar_t* args) {
  wchar_t* file = nullptr;
  SetupResult result = ReadVerifyArguments(args, &file);
  if (result != 0) return result;
  return VerifyExitCode(VerifyFileSignature(exePath, file, nullptr));
}

}  // namespace

CPelorinApp::CPelorinApp() = default;

BOOL CPelorinApp::InitInstance() {
  // Where the setup lives: packages and the engine redistributable are looked
  // for beside it. Without its own path it cannot do anything sound.
  if (!QueryModulePath(m_exePath)) return FALSE;
  const wchar_t* path = m_exePath.c_str();
  const wchar_t* lastBackslash = nullptr;
  for (const wchar_t* p = path; *p; ++p)
    if (*p == L'\\') lastBackslash = p;
  bool folderKept = lastBackslash ? m_exeDir.Append(path, (size_t)(lastBackslash - path + 1)) : m_exeDir.Append(L".\\");
  if (!folderKept) return FALSE;
  m_exeName = lastBackslash ? lastBackslash + 1 : path;

  if (!CWinApp::InitInstance()) return FALSE;

  m_langId = GetUserDefaultLangID();
  m_result = 0;
  QueryOsVersion(&m_notNt, &m_osMajor);
  m_isAdmin = UserIsAdministrator(m_notNt, m_osMajor);
  m_restartPending = FALSE;

  // The setup's own file is held against writes, renames and deletion for the
  // whole run: a second instance of it checks the signature of a downloaded
  // redistributable, and must be the program that was started. A pin of
  // "self" is the key of what is held, read before the first check ("/v").
  m_exeHold.Reset(OpenHeldFile(m_exePath.c_str()));
  PinSetupSigner(m_exePath.c_str(), m_exeHold ? m_exeHold.get() : nullptr);

  // The command line is served before the single-instance guard: the "/v"
  // check that a running setup asks of a second instance of itself must not
  // be stopped by the guard its parent holds.
  m_commandMode = ReadCommandMode(m_lpCmdLine);
  if (m_commandMode == ModeVerify) {
    m_result = RunVerifyCommand(m_exePath.c_str(), m_lpCmdLine);
    if (m_result != kResultBadArguments) return FALSE;
  }
  if (m_result == kResultBadArguments || m_commandMode == ModeUsage) {
    ShowMessage(MSG_USAGE, MB_OK | MB_ICONINFORMATION);
    return FALSE;
  }

  if (SetupAlreadyRunning(m_notNt, m_osMajor)) {
    m_result = kResultAlreadyRunning;
    return FALSE;
  }
  // No other setup runs now: what an earlier run could not remove goes.
  RemoveStaleRunFolders();

  // The main window exists before the worker starts: the worker's message
  // boxes are owned by it and its status lines are written into it. Without
  // either nothing was installed, and the exit code must not say otherwise.
  m_result = kResultInstallFailure;
  if (!m_progressDlg.Create(IDD_PROGRESS, CWnd::GetDesktopWindow())) return FALSE;
  m_pMainWnd = &m_progressDlg;

  m_workerThread = AfxBeginThread(SetupWorker, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  if (!m_workerThread) return FALSE;
  m_result = 0;
  m_workerThread->m_bAutoDelete = FALSE;
  m_workerThread->ResumeThread();
  return TRUE;
}

int CPelorinApp::ExitInstance() {
  // A download that Cancel could not stop holds the worker inside the
  // platform: the user has been told, and the run ends as cancelled without
  // waiting for it.
  const bool abandoned = m_progressDlg.DownloadAbandoned();
  if (abandoned) {
    m_result = kResultCancelled;
  } else if (m_workerThread) {
    WaitForSingleObject(m_workerThread->m_hThread, INFINITE);
    delete m_workerThread;
    m_workerThread = nullptr;
  }
  if (m_progressDlg.IsWindow()) m_progressDlg.DestroyWindow();
  if (m_msi.module && !abandoned) FreeLibrary(m_msi.module);
  // Also after a Cancel; what a download still holds stays for the next start.
  if (!abandoned) RemoveRunFolder(m_runFolder);
  m_runFolder.Clear();

  // Asked after the progress window is gone, so the question has no owner.
  if (m_restartPending) {
    bool restarting = false;
    if (ShowMessage(MSG_RESTART, MB_YESNO | MB_ICONQUESTION) == IDYES) {
      if (!m_notNt) EnableShutdownPrivilege();
      restarting = g_seams.exitWindowsEx(EWX_REBOOT, 0) != FALSE;
    }
    // A deployment tool must learn that the upgraded engine waits for a
    // restart: one still needed (3010), or one begun (1641). A failure
    // keeps its own code.
    if (m_result == 0) m_result = restarting ? kResultRestartInitiated : kResultRestartRequired;
  }
  // The process ends here: unloading the platform's libraries under the
  // worker that they still hold could stop the end of the run itself.
  if (abandoned) TerminateProcess(GetCurrentProcess(), m_result);
  CWinApp::ExitInstance();
  m_exePath = WString();
  m_exeDir = WString();
  m_exeName = L"";
  return (int)m_result;
}
