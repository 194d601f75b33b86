// The progress window on screen: what it shows, its icons and cursor, the
// Cancel button and Esc, what the worker does with it, and how it shows and
// watches a download from the reports of its download state.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>

#include "app/app.h"
#include "afx/seams.h"
#include "ui/resource.h"
#include "support/run.h"

using namespace pelorin_test;

namespace {

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
  // The same, and a tick: where the bar then stands, and of how much.
  std::pair<int, int> Bar(uint32_t received, uint32_t total) {
    Report(received, total);
    Tick();
    HWND bar = GetDlgItem(App().m_progressDlg.GetSafeHwnd(), IDC_PROGRESS);
    return {BarPosition(bar), BarUpper(bar)};
  }
};

// The cursor that this thread shows after `window` has been told that the
// pointer is over it, as the system tells it (WM_SETCURSOR, hit-test
// `hitTest`), starting from one that none of the windows would set.
HCURSOR CursorOver(HWND window, int hitTest = HTCLIENT) {
  SetCursor(LoadCursorW(nullptr, IDC_CROSS));
  SendMessageW(window, WM_SETCURSOR, (WPARAM)window, MAKELPARAM(hitTest, WM_MOUSEMOVE));
  return GetCursor();
}

SIZE IconSize(HICON icon) {
  SIZE size = {0, 0};
  ICONINFO info;
  if (!GetIconInfo(icon, &info)) return size;
  BITMAP bitmap;
  if (GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap)) {
    size.cx = bitmap.bmWidth;
    size.cy = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return size;
}

bool IconAlive(HICON icon) {
  ICONINFO info;
  if (!GetIconInfo(icon, &info)) return false;
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return true;
}

// What a user sees of the window.
struct Look {
  std::wstring caption, headline, detail, cancelLabel;
  int position, upper;
  bool visible, enabled, cancelEnabled;
  RECT rect;
  bool operator==(const Look& o) const {
    return caption == o.caption && headline == o.headline && detail == o.detail && cancelLabel == o.cancelLabel &&
           position == o.position && upper == o.upper && visible == o.visible && enabled == o.enabled &&
           cancelEnabled == o.cancelEnabled && EqualRect(&rect, &o.rect);
  }
};

Look LookOf(HWND window) {
  Look look;
  look.caption = WindowText(window);
  look.headline = WindowText(GetDlgItem(window, IDC_HEADLINE));
  look.detail = WindowText(GetDlgItem(window, IDC_DETAIL));
  look.cancelLabel = WindowText(GetDlgItem(window, IDCANCEL));
  look.position = BarPosition(GetDlgItem(window, IDC_PROGRESS));
  look.upper = BarUpper(GetDlgItem(window, IDC_PROGRESS));
  look.visible = IsWindowVisible(window) != FALSE;
  look.enabled = IsWindowEnabled(window) != FALSE;
  look.cancelEnabled = IsWindowEnabled(GetDlgItem(window, IDCANCEL)) != FALSE;
  GetWindowRect(window, &look.rect);
  return look;
}

std::function<void()> g_beforeQuit;

void CALLBACK QuitLoop(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  g_beforeQuit();
  PostQuitMessage(0);
}

// Runs the setup's own message loop (and its end, which destroys the window)
// for `ms` milliseconds; `beforeQuit` looks at the window just before.
void RunSetupMessageLoop(UINT ms, const std::function<void()>& beforeQuit) {
  g_beforeQuit = beforeQuit;
  SetTimer(nullptr, 0, ms, QuitLoop);
  App().Run();
}

}  // namespace

// ---------------------------------------------------------------- on screen

class ProgressWindow : public ProgressWindowTest {
protected:
  // `key` pressed on Cancel, through the setup's message loop: whether the
  // window is still there, and looks as it did.
  static bool KeyLeavesTheWindowAsItWas(WPARAM key, LPARAM scanCode) {
    Look before = LookOf(window());
    PostMessageW(control(IDCANCEL), WM_KEYDOWN, key, 0x00000001 | scanCode << 16);
    PostMessageW(control(IDCANCEL), WM_KEYUP, key, 0xC0000001 | scanCode << 16);
    bool unchanged = false;
    RunSetupMessageLoop(300, [&] { unchanged = progress().IsWindow() && LookOf(window()) == before; });
    return unchanged;
  }
};

TEST_F(ProgressWindow, OpensCaptionedWithEmptyStatusAndFocusOnCancel) {
  EXPECT_TRUE(IsWindowVisible(window()));
  EXPECT_EQ(Printable(App().m_pszAppName), Printable(WindowText(window())));
  EXPECT_EQ("", Printable(WindowText(control(IDC_HEADLINE))));
  EXPECT_EQ("", Printable(WindowText(control(IDC_DETAIL))));
  EXPECT_EQ(0, BarPosition(control(IDC_PROGRESS)));
  EXPECT_EQ(control(IDCANCEL), GetFocus());
  EXPECT_EQ(CancelState::kRunning, progress().m_cancelled.phase());
  // The window is a top-level window centred on the screen.
  RECT rect;
  GetWindowRect(window(), &rect);
  int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_NEAR(screenWidth / 2, (rect.left + rect.right) / 2, 2);
  EXPECT_NEAR(screenHeight / 2, (rect.top + rect.bottom) / 2, 2);
  // The picture beside the headline.
  EXPECT_NE(nullptr, (HICON)SendMessageW(control(IDC_APP_ICON), STM_GETICON, 0, 0));
}

TEST_F(ProgressWindow, CaptionIsTheApplicationTitleWhateverTheTemplateSays) {
  // A title that the catalogue lacks is the executable's name: the caption
  // follows the title, not the template.
  App().m_pszAppName = L"Tamaris-4.12-setup";
  Recreate();
  EXPECT_EQ("Tamaris-4.12-setup", Printable(WindowText(window())));
}

TEST_F(ProgressWindow, CarriesTheApplicationIconAtBothSystemSizes) {
  HICON small = (HICON)SendMessageW(window(), WM_GETICON, ICON_SMALL, 0);
  HICON big = (HICON)SendMessageW(window(), WM_GETICON, ICON_BIG, 0);
  ASSERT_NE(nullptr, small);
  ASSERT_NE(nullptr, big);
  EXPECT_EQ(progress().m_smallIcon, small);
  EXPECT_EQ(progress().m_bigIcon, big);
  SIZE smallSize = IconSize(small), bigSize = IconSize(big);
  EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), smallSize.cx);
  EXPECT_EQ(GetSystemMetrics(SM_CYSMICON), smallSize.cy);
  EXPECT_EQ(GetSystemMetrics(SM_CXICON), bigSize.cx);
  EXPECT_EQ(GetSystemMetrics(SM_CYICON), bigSize.cy);
}

TEST_F(ProgressWindow, DestroyingItFreesItsOwnIcons) {
  HICON small = progress().m_smallIcon, big = progress().m_bigIcon;
  ASSERT_TRUE(IconAlive(small));
  ASSERT_TRUE(IconAlive(big));
  progress().DestroyWindow();
  EXPECT_EQ(nullptr, progress().m_smallIcon);
  EXPECT_EQ(nullptr, progress().m_bigIcon);
  EXPECT_FALSE(IconAlive(small));
  EXPECT_FALSE(IconAlive(big));
}

TEST_F(ProgressWindow, MadeAgainItWorksWithItsNewControls) {
  HWND oldCancel = progress().m_cancelButton.GetSafeHwnd();
  Recreate();
  EXPECT_NE(oldCancel, progress().m_cancelButton.GetSafeHwnd());
  EXPECT_EQ(control(IDCANCEL), progress().m_cancelButton.GetSafeHwnd());
  EXPECT_EQ(control(IDC_PROGRESS), progress().m_progress.GetSafeHwnd());
  EXPECT_EQ(control(IDC_HEADLINE), progress().m_headline.GetSafeHwnd());
  EXPECT_EQ(control(IDC_DETAIL), progress().m_detail.GetSafeHwnd());
  EXPECT_EQ(control(IDC_APP_ICON), progress().m_icon.GetSafeHwnd());
  ShownDownload shown;
  EXPECT_EQ(std::make_pair(750, 1000), shown.Bar(3, 4));
}

// ---------------------------------------------------------------- cursor

TEST_F(ProgressWindow, ShowsTheWaitCursorEverywhereButOverCancel) {
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  EXPECT_EQ(wait, CursorOver(window()));
  EXPECT_EQ(wait, CursorOver(window(), HTCAPTION));
  EXPECT_EQ(wait, CursorOver(control(IDC_APP_ICON)));
  EXPECT_EQ(wait, CursorOver(control(IDC_HEADLINE)));
  EXPECT_EQ(wait, CursorOver(control(IDC_DETAIL)));
  EXPECT_EQ(wait, CursorOver(control(IDC_PROGRESS)));
  EXPECT_EQ(arrow, CursorOver(control(IDCANCEL)));
}

TEST_F(ProgressWindow, RealPointerOverCancelAndOverTheBar) {
  // The pointer moved by the system, as a user moves it.
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  auto pointAt = [](HWND target) {
    RECT rect;
    GetWindowRect(target, &rect);
    POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    // Windows of other programs on the same display must not be in the way.
    EXPECT_EQ(window(), GetAncestor(WindowFromPoint(point), GA_ROOT)) << "another window is in the way";
    SetCursorPos(point.x, point.y);
    SetCursor(LoadCursorW(nullptr, IDC_CROSS));
    DWORD begin = GetTickCount();
    // The system sends WM_SETCURSOR when it handles the pointer's move.
    while (GetTickCount() - begin < 500) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      Sleep(10);
    }
    return GetCursor();
  };
  SetWindowPos(window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(window());
  EXPECT_EQ(wait, pointAt(control(IDC_PROGRESS)));
  EXPECT_NE(wait, pointAt(control(IDCANCEL)));
  EXPECT_EQ(wait, pointAt(control(IDC_HEADLINE)));
}

// ---------------------------------------------------------------- cancel

TEST_F(ProgressWindow, CancelRaisesTheFlagAndChangesNothingOnScreen) {
  progress().SetHeadline(L"Please wait while 'Tamaris' is downloaded...");
  progress().SetDetail(L"Downloading package 'Tamaris.x64.Sl.msi' ...");
  ShownDownload shown;
  shown.Report(300, 1000);
  shown.Tick();
  Look before = LookOf(window());
  SendMessageW(control(IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_EQ(CancelState::kCancelAsked, progress().m_cancelled.phase());
  EXPECT_TRUE(progress().IsWindow());
  EXPECT_TRUE(LookOf(window()) == before);
  EXPECT_EQ(control(IDCANCEL), GetFocus());
}

TEST_F(ProgressWindow, CancelPressedAgainKeepsTheFlagAtOne) {
  SendMessageW(control(IDCANCEL), BM_CLICK, 0, 0);
  SendMessageW(control(IDCANCEL), BM_CLICK, 0, 0);
  SendMessageW(control(IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_EQ(CancelState::kCancelAsked, progress().m_cancelled.phase());
}

TEST_F(ProgressWindow, EscapeInTheSetupsMessageLoopIsCancel) {
  EXPECT_TRUE(KeyLeavesTheWindowAsItWas(VK_ESCAPE, 0x01));
  EXPECT_EQ(CancelState::kCancelAsked, progress().m_cancelled.phase());
}

TEST_F(ProgressWindow, EnterNeitherClosesNorHidesTheWindow) { EXPECT_TRUE(KeyLeavesTheWindowAsItWas(VK_RETURN, 0x1C)); }

// ---------------------------------------------------------------- the worker's calls

TEST_F(ProgressWindow, WorkerWritesStatusLinesAndHidesTheWindowSynchronously) {
  std::wstring headlineSeen, detailSeen;
  bool visibleAfterHide = true;
  HWND headline = control(IDC_HEADLINE), detail = control(IDC_DETAIL);
  RunScript watchOnly;
  watchOnly.answer = false;
  ASSERT_TRUE(RunInProcess([&] {
    progress().SetHeadline(L"Prosimo, po\u010Dakajte. Prena\u0161anje datoteke 'Tamaris' ...");
    headlineSeen = WindowText(headline);
    progress().SetDetail(L"Prenos datoteke 'Tamaris.x64.Sl.msi' ...");
    detailSeen = WindowText(detail);
    progress().SetDetail(L"Preverjanje digitalnega podpisa 'Tamaris.x64.Sl.msi' ...");
    progress().Hide();
    visibleAfterHide = IsWindowVisible(window()) != FALSE;
  }, watchOnly).finished);
  EXPECT_EQ(Printable(L"Prosimo, po\u010Dakajte. Prena\u0161anje datoteke 'Tamaris' ..."), Printable(headlineSeen));
  EXPECT_EQ("Prenos datoteke 'Tamaris.x64.Sl.msi' ...", Printable(detailSeen));
  // Each text replaces the line's previous one.
  EXPECT_EQ("Preverjanje digitalnega podpisa 'Tamaris.x64.Sl.msi' ...", Printable(WindowText(detail)));
  EXPECT_FALSE(visibleAfterHide);
  EXPECT_TRUE(progress().IsWindow());
}

// ---------------------------------------------------------------- progress reports

// A request of the transfer, as the window sees it: a value it closes to
// stop the transfer (the platform refuses one that is no request).
void* const kSomeRequest = reinterpret_cast<void*>(0x5A5A0);

TEST_F(ProgressWindow, ProgressReportsMoveTheBarAndAbortOnceCancelled) {
  ShownDownload shown;
  progress().m_download.Publish(kSomeRequest);
  // The bar counts in thousandths of the announced size.
  EXPECT_EQ(std::make_pair(250, 1000), shown.Bar(250, 1000));
  // A new size too.
  EXPECT_EQ(std::make_pair(200, 1000), shown.Bar(400, 2000));
  // Nothing is stopped while the download goes on; Cancel stops it at once.
  EXPECT_EQ(kSomeRequest, progress().m_download.TakeRequest());
  progress().m_download.Publish(kSomeRequest);
  SendMessageW(control(IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_EQ(nullptr, progress().m_download.TakeRequest());
  // And again on every tick: a request made after the press is stopped too.
  progress().m_download.Publish(kSomeRequest);
  EXPECT_EQ(300, shown.Bar(600, 2000).first);
  EXPECT_EQ(nullptr, progress().m_download.TakeRequest());
  // Sizes of 2 GiB and more: no negative range, the same proportion.
  EXPECT_EQ(std::make_pair(750, 1000), shown.Bar(0xC0000000u, 0xFFFFFFFFu));
}

TEST_F(ProgressWindow, ReportWithoutTotalLeavesTheBarEmpty) {
  ShownDownload shown;
  EXPECT_EQ(std::make_pair(0, 0), shown.Bar(4096, 0));
}

TEST_F(ProgressWindow, ReportsAfterTheWindowIsGoneStillAnswerByTheFlag) {
  progress().DestroyWindow();
  ShownDownload::Report(10, 100);
  EXPECT_FALSE(progress().m_cancelled.stopping());
  progress().m_cancelled.Ask();
  ShownDownload::Report(20, 100);
  EXPECT_TRUE(progress().m_cancelled.stopping());
}

// ---------------------------------------------------------------- one download after another

TEST_F(ProgressWindow, EachDownloadStartsFromNothing) {
  HWND bar = control(IDC_PROGRESS);
  {
    ShownDownload first;
    first.Report(900, 1000);
    first.Tick();
    EXPECT_EQ(900, BarPosition(bar));
  }
  ShownDownload second;
  EXPECT_EQ(0u, progress().m_download.received());
  EXPECT_EQ(0u, progress().m_download.announced());
  second.Tick();
  EXPECT_EQ(0, BarUpper(bar));
  EXPECT_EQ(0, BarPosition(bar));
}

TEST_F(ProgressWindow, ReportsOutsideADownloadMoveNothing) {
  HWND bar = control(IDC_PROGRESS);
  ShownDownload::Report(500, 1000);
  SendMessageW(window(), WM_TIMER, 1, 0);
  EXPECT_EQ(0, BarPosition(bar));
  // Nor does Cancel stop anything then.
  progress().m_download.Publish(kSomeRequest);
  SendMessageW(control(IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_EQ(kSomeRequest, progress().m_download.TakeRequest());
}

TEST_F(ProgressWindow, TheEndOfADownloadShowsWhereItEnded) {
  {
    ShownDownload shown;
    shown.Report(1, 2);
  }
  EXPECT_EQ(500, BarPosition(control(IDC_PROGRESS)));
}

TEST_F(ProgressWindow, NoDataForTheLimitStopsTheTransfer) {
  ScopedSeams seams;
  seams->downloadNoDataLimitMs = 200;
  ShownDownload shown;
  progress().m_download.Publish(kSomeRequest);
  shown.Tick();
  EXPECT_EQ(kSomeRequest, progress().m_download.TakeRequest());
  EXPECT_FALSE(progress().m_download.stalled());
  progress().m_download.Publish(kSomeRequest);
  Sleep(250);
  shown.Tick();
  EXPECT_TRUE(progress().m_download.stalled());
  EXPECT_EQ(nullptr, progress().m_download.TakeRequest());
  // Nothing of the user's: no Cancel.
  EXPECT_EQ(CancelState::kRunning, progress().m_cancelled.phase());
}
