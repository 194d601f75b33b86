#include "app/worker.h"

#include <objbase.h>

#include "app/app.h"
#include "app/config.h"
#include "app/probes.h"
#include "app/seams.h"
#include "engine/binding.h"
#include "engine/upgrade.h"
#include "install/run_folder.h"
#include "install/product.h"
#include "ui/messages.h"
#include "ui/resource.h"

SetupResult EnsureInstallerEngine() {
  if (!IsEngineUpgradeNeeded()) return 0;
  CPelorinApp& app = App();
  if (!app.m_isAdmin) {
    ShowMessage(MSG_ADMIN_REQUIRED, MB_OK | MB_ICONERROR);
    return ERROR_INSTALL_FAILURE;
  }
  int answer = ShowMessage(MSG_ENGINE_TOO_OLD, MB_YESNO | MB_ICONQUESTION);
  // A question that could not be shown (Yes and No are the only answers) is
  // no cancel by the user.
  if (answer != IDYES && answer != IDNO) return ERROR_INSTALL_FAILURE;
  if (answer != IDYES) {
    ShowMessage(MSG_CANCELLED, MB_OK | MB_ICONWARNING);
    return ERROR_INSTALL_USEREXIT;
  }
  SetupResult result = UpgradeInstallerEngine();
  if (result == ERROR_SUCCESS_REBOOT_REQUIRED) {
    // The engine works until the restart: install on, offer it at the end.
    app.m_restartPending = TRUE;
    return 0;
  }
  return result;
}

UINT SetupWorker(LPVOID) {
  CPelorinApp& app = App();
  // The system's dialogs that this thread shows (a signature's, a proxy's
  // credentials prompt) may use COM.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  SetupResult result = EnsureInstallerEngine();
  if (result == 0) result = BindInstallerEngine();
  if (result == 0) {
    for (const ProductEntry* product = g_engineUpgrade.products; product && product->productName; ++product) {
      result = InstallProduct(app, *product);
      if (result != 0) break;
    }
  }
  // A calling script reads the outcome from the exit code. The user-interface
  // thread reads it only after it has waited for this thread's end.
  app.m_result = result;
  if (SUCCEEDED(com)) CoUninitialize();
  // The last act: after it this thread touches no window.
  PostThreadMessageW(app.m_nThreadID, WM_QUIT, 0, 0);
  return result;
}

int CPelorinApp::ExitInstance() {
  // A download that Cancel could not stop holds the worker inside the
  // platform: the user has been told, and the run ends as cancelled without
  // waiting for it.
  const bool abandoned = m_progressDlg.DownloadAbandoned();
  if (abandoned) {
    m_result = ERROR_INSTALL_USEREXIT;
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
    if (m_result == 0) m_result = restarting ? ERROR_SUCCESS_REBOOT_INITIATED : ERROR_SUCCESS_REBOOT_REQUIRED;
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
