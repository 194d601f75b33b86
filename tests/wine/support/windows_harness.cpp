#include "support/windows_harness.h"

#include <commctrl.h>

#include "afx/wstring.h"
#include "ui/resource.h"

namespace windows_test {

namespace {

WString g_title;

struct WorkerStart {
  const std::function<void()>* work;
};

DWORD WINAPI WorkerThread(void* parameter) {
  (*static_cast<WorkerStart*>(parameter)->work)();
  return 0;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t className[16] = L"";
  GetClassNameW(window, className, 16);
  if (IsWindowVisible(window) && wcscmp(className, L"#32770") == 0) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

void ProgressWindowTest::SetUp() {
  // The progress bar's class, as the framework's start-up registers it.
  ASSERT_TRUE(App().CWinApp::InitInstance());
  if (!AfxLoadString(MSG_APP_TITLE, g_title)) g_title.Append(L"Pelorin");
  App().m_pszAppName = g_title.c_str();
  ASSERT_TRUE(progress().Create(IDD_PROGRESS, CWnd::GetDesktopWindow()));
  App().m_pMainWnd = &progress();
}

void ProgressWindowTest::TearDown() {
  if (progress().IsWindow()) progress().DestroyWindow();
  App().m_pMainWnd = nullptr;
  progress().m_cancelled.Restart();
}

void ProgressWindowTest::Recreate() {
  if (progress().IsWindow()) progress().DestroyWindow();
  ASSERT_TRUE(progress().Create(IDD_PROGRESS, CWnd::GetDesktopWindow()));
  App().m_pMainWnd = &progress();
}

bool RunAsWorker(const std::function<void()>& work, const std::function<void(DWORD)>& tick, DWORD timeoutMs) {
  WorkerStart start = {&work};
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, WorkerThread, &start, 0, &threadId);
  if (!thread) {
    ADD_FAILURE() << "no worker thread";
    return false;
  }
  DWORD begin = GetTickCount();
  bool ended = false;
  while (!ended && GetTickCount() - begin < timeoutMs) {
    ended = MsgWaitForMultipleObjects(1, &thread, FALSE, 10, QS_ALLINPUT) == WAIT_OBJECT_0;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      // As the setup's loop: the main window's dialog manager has its keys.
      CWnd* main = AfxGetMainWnd();
      if (main && main->IsWindow() && IsDialogMessageW(main->GetSafeHwnd(), &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (!ended && tick) tick(threadId);
  }
  if (!ended) {
    ADD_FAILURE() << "the worker did not end within " << timeoutMs << " ms";
    TerminateThread(thread, 1);
  }
  CloseHandle(thread);
  return ended;
}

void PumpWhile(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD begin = GetTickCount();
  while (condition() && GetTickCount() - begin < timeoutMs) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
}

HWND DialogOfThread(DWORD threadId) {
  HWND found = nullptr;
  EnumThreadWindows(threadId, FindDialog, (LPARAM)&found);
  return found;
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  return text;
}

int BarPosition(HWND bar) { return (int)SendMessageW(bar, PBM_GETPOS, 0, 0); }
int BarUpper(HWND bar) { return (int)SendMessageW(bar, PBM_GETRANGE, FALSE, 0); }

HCURSOR CursorOver(HWND window, int hitTest) {
  // Something that none of the windows would set, so that a message that is
  // not handled shows.
  SetCursor(LoadCursorW(nullptr, IDC_CROSS));
  SendMessageW(window, WM_SETCURSOR, (WPARAM)window, MAKELPARAM(hitTest, WM_MOUSEMOVE));
  return GetCursor();
}

std::string Utf8(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
  std::string result((size_t)size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &result[0], size, nullptr, nullptr);
  return result;
}

}  // namespace windows_test
