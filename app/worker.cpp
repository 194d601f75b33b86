#include "app/worker.h"

#include <objbase.h>

#include "app/config.h"
#include "engine/binding.h"
#include "engine/upgrade.h"
#include "install/product.h"
#include "ui/messages.h"
#include "ui/resource.h"

SetupResult EnsureInstallerEngine(CPelorinApp& app) {
  // Loaded once for both its judgement and its binding: under some systems
  // each load of msi.dll loads a dozen libraries (certificates, networking)
  // again, and the user waits for them before the first question.
  MsiApi& msi = app.m_msi;
  msi.module = LoadInstallerEngine();
  if (!IsEngineUpgradeNeeded(msi.module)) return 0;
  // An engine too old to use is let go at once: the redistributable replaces
  // its file, and the binding loads the engine that is there afterwards.
  if (msi.module) FreeLibrary(msi.module);
  msi.module = nullptr;
  if (!app.m_isAdmin) {
    ShowMessage(MSG_ADMIN_REQUIRED, MB_OK | MB_ICONERROR);
    return kResultInstallFailure;
  }
  int answer = ShowMessage(MSG_ENGINE_TOO_OLD, MB_YESNO | MB_ICONQUESTION);
  // A question that could not be shown (Yes and No are the only answers) is
  // no cancel by the user.
  if (answer != IDYES && answer != IDNO) return kResultInstallFailure;
  if (answer != IDYES) {
    ShowMessage(MSG_CANCELLED, MB_OK | MB_ICONWARNING);
    return kResultCancelled;
  }
  SetupResult result = UpgradeInstallerEngine(app);
  if (result == kResultRestartRequired) {
    // The engine works until the restart: install on, offer it at the end.
    app.m_restartPending = TRUE;
    return 0;
  }
  return result;
}

UINT SetupWorker(LPVOID parameter) {
  CPelorinApp& app = *static_cast<CPelorinApp*>(parameter);
  // The system's dialogs that this thread shows (a signature's, a proxy's
  // credentials prompt) may use COM.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  SetupResult result = EnsureInstallerEngine(app);
  if (result == 0) result = BindInstallerEngine(app.m_msi);
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
