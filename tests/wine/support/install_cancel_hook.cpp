// A hook library that presses the progress window's Cancel button at the
// exact moment a status line changes, for the tests of the cancellation
// points that lie right after a status text is written (the first status
// line; message 18 before the download; message 19 before the signature
// check). A person can press Cancel there too, but no test can time a click
// that finely from outside, so the press is made from inside the setup's
// user-interface thread: the test installs CancelOnStatusText as a
// WH_CALLWNDPROC hook on that thread, the system loads this library into the
// setup, and the hook sees each WM_SETTEXT before the status control does.
//
// While the worker thread of the setup waits for its WM_SETTEXT to be
// served, the hook sends the Cancel command to the progress window, so the
// cancel flag is set before the worker can look at it.
//
// What to wait for is read from a shared memory block that the test makes
// (kCancelHookSharedName): the control and the how-many-th text written into
// it. The hook records the text it acted on, and every status text written
// (so a test knows which status lines a run showed, however briefly).
//
// On request it presses Cancel as the window hides for the engine, or holds
// the setup there: the worker waits in that call, so a test can act between the
// package's check and its installation.
//
// RefuseDialogWindows, put in place for every thread before the setup
// starts, makes the creation of its windows of one class fail (the progress
// window, the language dialog, a question), as it can where the system is
// out of resources: nothing else here can.
#include "install_cancel_hook.h"

namespace {

bool IsProgressWindow(HWND window) {
  return window && GetDlgItem(window, 103) && GetDlgItem(window, 105) && GetDlgItem(window, IDCANCEL);
}

bool IsClass(const wchar_t* name, const wchar_t* wanted) {
  const WORD kDialogAtom = 0x8002;  // WC_DIALOG, "#32770"
  if (IS_INTRESOURCE(name))
    return LOWORD(reinterpret_cast<ULONG_PTR>(name)) == kDialogAtom && lstrcmpiW(wanted, L"#32770") == 0;
  return lstrcmpiW(name, wanted) == 0;
}

LONG g_pressDelayMs = 0;
DWORD WINAPI PressCancelLater(void* window) {
  Sleep(g_pressDelayMs);
  SendMessageW((HWND)window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem((HWND)window, IDCANCEL));
  return 0;
}

bool IsRefusedProgram() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  int suffix = lstrlenW(kRefusedProgram);
  return length >= (DWORD)suffix && length < MAX_PATH && lstrcmpiW(path + length - suffix, kRefusedProgram) == 0;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK RefuseDialogWindows(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const CBT_CREATEWNDW* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
    if (IsRefusedProgram()) {
      HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, kCancelHookSharedName);
      CancelHookShared* shared =
          mapping ? static_cast<CancelHookShared*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
      bool refuse = shared && shared->refusedClass[0] && IsClass(create->lpcs->lpszClass, shared->refusedClass) &&
                    InterlockedIncrement(&shared->matched) > shared->letThrough;
      if (refuse) InterlockedIncrement(&shared->refused);
      if (shared) UnmapViewOfFile(shared);
      if (mapping) CloseHandle(mapping);
      if (refuse) return 1;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK CancelOnStatusText(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (call->message == WM_SHOWWINDOW && !call->wParam && IsProgressWindow(call->hwnd)) {
      HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, kCancelHookSharedName);
      CancelHookShared* shared =
          mapping ? static_cast<CancelHookShared*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
      if (shared && shared->controlId == kCancelAtHide && !shared->fired) {
        shared->fired = 1;
        PressCancelLater(call->hwnd);
      }
      if (shared && shared->pauseAtHide && !shared->paused) {
        InterlockedExchange(&shared->paused, 1);
        for (int waited = 0; !shared->resumed && waited < 2000; ++waited) Sleep(10);
      }
      if (shared) UnmapViewOfFile(shared);
      if (mapping) CloseHandle(mapping);
    }
    if (call->message == WM_SETTEXT) {
      HWND parent = GetParent(call->hwnd);
      if (IsProgressWindow(parent)) {
        HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, kCancelHookSharedName);
        CancelHookShared* shared =
            mapping ? static_cast<CancelHookShared*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
        if (shared) {
          const wchar_t* written = reinterpret_cast<const wchar_t*>(call->lParam);
          int control = GetDlgCtrlID(call->hwnd);
          if ((control == 103 || control == 105) && shared->textCount < kCancelHookTextCount) {
            shared->textControl[shared->textCount] = control;
            lstrcpynW(shared->texts[shared->textCount], written ? written : L"", kCancelHookTextCapacity);
            ++shared->textCount;
          }
          if (shared->controlId && GetDlgCtrlID(call->hwnd) == shared->controlId && !shared->fired &&
              ++shared->seen == shared->occurrence) {
            lstrcpynW(shared->text, written ? written : L"", kCancelHookTextCapacity);
            // Same thread: the Cancel command is served right here. Later:
            // from a thread of its own, while the setup works on.
            g_pressDelayMs = shared->delayMs;
            if (g_pressDelayMs) CloseHandle(CreateThread(nullptr, 0, PressCancelLater, parent, 0, nullptr));
            if (!g_pressDelayMs) PressCancelLater(parent);
            shared->fired = 1;
          }
          UnmapViewOfFile(shared);
        }
        if (mapping) CloseHandle(mapping);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
