// Shows one of the setup's windows as a user sees it, for screenshots
// (tools/screenshots.sh): "progress" shows the progress window during a
// download, "language" the language dialog in front of it. Prints the
// window's rectangle on the screen once it is up ("RECT left top right
// bottom"), then stays until a line or the end of its input arrives.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/config.h"
#include "ui/language_dlg.h"
#include "ui/messages.h"
#include "ui/resource.h"

namespace {

DWORD g_mainThread = 0;

DWORD WINAPI WaitForInput(void*) {
  char line[16];
  fgets(line, sizeof(line), stdin);
  PostThreadMessageW(g_mainThread, WM_QUIT, 0, 0);
  return 0;
}

DWORD WINAPI ChooseOnWorker(void*) {
  ChooseLanguage(g_engineUpgrade.products[0].languages, GetUserDefaultLangID());
  return 0;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t className[16] = L"";
  GetClassNameW(window, className, 16);
  if (!IsWindowVisible(window) || wcscmp(className, L"#32770") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool language = argc > 1 && wcscmp(argv[1], L"language") == 0;
  g_mainThread = GetCurrentThreadId();
  CPelorinApp& app = App();
  if (!app.CWinApp::InitInstance()) return 1;
  static WString title;
  AfxLoadString(MSG_APP_TITLE, title);
  app.m_pszAppName = title.c_str();
  if (!app.m_progressDlg.Create(IDD_PROGRESS, CWnd::GetDesktopWindow())) return 1;
  app.m_pMainWnd = &app.m_progressDlg;

  HANDLE worker = nullptr;
  DWORD workerId = 0;
  if (language) {
    worker = CreateThread(nullptr, 0, ChooseOnWorker, nullptr, 0, &workerId);
  } else {
    const ProductEntry& product = g_engineUpgrade.products[0];
    app.m_progressDlg.SetHeadline(FormatMessageText(MSG_PLEASE_WAIT, {product.productName}).c_str());
    app.m_progressDlg.SetDetail(
        FormatMessageText(MSG_DOWNLOADING_PACKAGE, {product.languages[0].packageArm64}).c_str());
    app.m_progressDlg.m_progress.SetRange32(0, 100);
    app.m_progressDlg.m_progress.SetPos(42);
  }
  CloseHandle(CreateThread(nullptr, 0, WaitForInput, nullptr, 0, nullptr));

  HWND shown = nullptr;
  SetTimer(nullptr, 0, 100, nullptr);
  DWORD begin = GetTickCount();
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && !message.hwnd) {
      if (GetTickCount() - begin > 120000) break;
      HWND target = language ? nullptr : app.m_progressDlg.GetSafeHwnd();
      if (language) EnumThreadWindows(workerId, FindDialog, (LPARAM)&target);
      // Printed once the window has been painted.
      if (target && !shown && GetTickCount() - begin > 500) {
        shown = target;
        RECT rect;
        GetWindowRect(target, &rect);
        printf("RECT %ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        fflush(stdout);
      }
      continue;
    }
    if (IsDialogMessageW(app.m_progressDlg.GetSafeHwnd(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (worker) {
    HWND dialog = nullptr;
    EnumThreadWindows(workerId, FindDialog, (LPARAM)&dialog);
    if (dialog) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    while (MsgWaitForMultipleObjects(1, &worker, FALSE, 5000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    CloseHandle(worker);
  }
  app.m_progressDlg.DestroyWindow();
  return 0;
}
