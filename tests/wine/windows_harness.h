// What the tests of the setup's two windows share: the progress window made
// as start-up makes it, and a worker thread beside this thread, which serves
// the windows' messages as the setup's user-interface thread does.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/app.h"
#include "ui/progress_dlg.h"

namespace windows_test {

// The setup's progress window, created on this thread from its template,
// parented to the desktop and made the application's main window, with the
// application title read as start-up reads it. Destroyed after each test.
class ProgressWindowTest : public testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // Destroys the window and makes it again, as start-up does.
  void Recreate();

  static CNapredekDlg& progress() { return App().m_progressDlg; }
  static HWND window() { return App().m_progressDlg.GetSafeHwnd(); }
  static HWND control(int id) { return GetDlgItem(window(), id); }
};

// A download under way as far as the window knows, for a test that plays
// the transfer's reports itself; Tick() is its timer's, which moves the bar.
struct ShownDownload {
  ShownDownload() { SendMessageW(App().m_progressDlg.GetSafeHwnd(), kDownloadMessage, 1, 0); }
  ~ShownDownload() { SendMessageW(App().m_progressDlg.GetSafeHwnd(), kDownloadMessage, 0, 0); }
  void Tick() { SendMessageW(App().m_progressDlg.GetSafeHwnd(), WM_TIMER, 1, 0); }
  // The transfer has `received` bytes of `total` (0: not announced).
  static void Report(uint32_t received, uint32_t total) {
    App().m_progressDlg.m_download.Announce(total);
    App().m_progressDlg.m_download.Restart(received, GetTickCount());
  }
};

// Runs `work` on a second thread, as the setup's worker, while this thread
// serves its messages as the setup's message loop does. `tick`, when given,
// runs on this thread every few milliseconds, with the worker's thread ID.
// False (and a failure) when the work has not ended within `timeoutMs`.
bool RunAsWorker(const std::function<void()>& work, const std::function<void(DWORD)>& tick = nullptr,
                 DWORD timeoutMs = 30000);

// Serves this thread's messages while `condition` holds, at most `timeoutMs`.
void PumpWhile(const std::function<bool()>& condition, DWORD timeoutMs);

// The visible dialog that thread `threadId` shows, or null.
HWND DialogOfThread(DWORD threadId);

std::wstring TextOf(HWND window);
// Progress bar state.
int BarPosition(HWND bar);
int BarUpper(HWND bar);
// The cursor that this thread shows after `window` has been told that the
// pointer is over it, as the system tells it (WM_SETCURSOR to the window
// under the pointer, hit-test `hitTest`).
HCURSOR CursorOver(HWND window, int hitTest = HTCLIENT);

std::string Utf8(const std::wstring& text);

}  // namespace windows_test
