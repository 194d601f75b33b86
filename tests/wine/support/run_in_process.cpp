// The in-process half of support/run.h, linked into the test programs that
// call the setup's own code.
#include "support/run.h"

#include <algorithm>
#include <atomic>

#include "app/app.h"

namespace pelorin_test {

void ReadAndAnswerLanguageDialog(HWND window, const RunScript& script, RunResult& run);
void ReadAndAnswerBox(HWND window, HWND progress, DWORD pid, const RunScript& script, RunResult& run);

namespace {

WString g_title;

// The run in progress, for the status lines' window procedure.
const RunScript* g_script = nullptr;
RunResult* g_run = nullptr;
WNDPROC g_statusProc[2] = {nullptr, nullptr};

// A status line seen from its own window: every text the worker puts there
// arrives as WM_SETTEXT on this thread while the worker waits.
LRESULT CALLBACK StatusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  int id = GetDlgCtrlID(window);
  LRESULT result = CallWindowProcW(g_statusProc[id == IDC_DETAIL], window, message, wParam, lParam);
  if (message == WM_SETTEXT && g_run) {
    std::wstring text = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"";
    g_run->statusTexts.emplace_back(id, text);
    if (g_script && g_script->onStatus) g_script->onStatus(id, text);
  }
  return result;
}

// Reads and answers the dialogs of this process from a thread of its own,
// wherever they are shown (the worker's, or this thread's at the end).
struct Answerer {
  const RunScript* script;
  RunResult* run;
  std::atomic<bool> stop{false};

  static DWORD WINAPI Run(void* self) {
    auto* answerer = static_cast<Answerer*>(self);
    std::vector<HWND> answered;
    while (!answerer->stop) {
      for (HWND window : TopLevelWindows(GetCurrentProcessId(), L"#32770")) {
        bool language = GetDlgItem(window, IDC_LANGUAGE_LIST) != nullptr;
        if (std::find(answered.begin(), answered.end(), window) != answered.end()) continue;
        if (!language && !IsMessageBox(window)) continue;
        answered.push_back(window);
        if (language)
          ReadAndAnswerLanguageDialog(window, *answerer->script, *answerer->run);
        else
          ReadAndAnswerBox(window, answerer->run->progressWindow, GetCurrentProcessId(), *answerer->script,
                           *answerer->run);
        // Gone before the next look, so that a new box in its place is seen.
        if (answerer->script->answer) WaitForWindowGone(window, 5000);
      }
      Sleep(20);
    }
    return 0;
  }
};

// Serves this thread's messages as the setup's loop does until `thread`
// ends or a quit message comes; then waits for the thread's end.
bool ServeUntilTheEnd(HANDLE thread, const RunScript& script, RunResult& run) {
  DWORD begin = GetTickCount();
  bool ended = false, quit = false;
  while (!ended && !quit && GetTickCount() - begin < script.timeoutMs) {
    ended = MsgWaitForMultipleObjects(1, &thread, FALSE, 10, QS_ALLINPUT) == WAIT_OBJECT_0;
    MSG message;
    while (!quit && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) quit = true;
      // As the setup's loop: the main window's dialog manager has its keys.
      CWnd* main = AfxGetMainWnd();
      if (quit || (main && main->IsWindow() && IsDialogMessageW(main->GetSafeHwnd(), &message))) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (!ended && !quit && script.whileRunning) script.whileRunning(run.progressWindow);
  }
  if (quit) ended = WaitForSingleObject(thread, 20000) == WAIT_OBJECT_0;
  // What the worker sent last, without the quit message it may have posted
  // as its last act: left in the queue it would end the next modal loop.
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    if (message.message != WM_QUIT) DispatchMessageW(&message);
  return ended;
}

}  // namespace

RunResult RunInProcess(const std::function<void()>& work, const RunScript& script) {
  RunResult run;
  CWnd* main = AfxGetMainWnd();
  HWND progress = main && main->IsWindow() ? main->GetSafeHwnd() : nullptr;
  run.progressWindow = progress;
  run.progressSeen = run.statusRecorded = progress != nullptr;
  for (int i = 0; progress && i < 2; ++i)
    g_statusProc[i] = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        GetDlgItem(progress, i ? IDC_DETAIL : IDC_HEADLINE), GWLP_WNDPROC, (LONG_PTR)StatusProc));
  g_script = &script;
  g_run = &run;

  Answerer answerer;
  answerer.script = &script;
  answerer.run = &run;
  HANDLE answering = script.answer ? CreateThread(nullptr, 0, Answerer::Run, &answerer, 0, nullptr) : nullptr;

  {
    Worker worker(work);
    run.started = worker.handle() != nullptr;
    if (!run.started) ADD_FAILURE() << "no worker thread";
    run.finished = run.started && ServeUntilTheEnd(worker.handle(), script, run);
    if (run.started && !run.finished) {
      ADD_FAILURE() << "the worker did not end within " << script.timeoutMs << " ms";
      TerminateThread(worker.handle(), 0xDEAD);
    }
  }
  for (int i = 0; progress && i < 2; ++i)
    SetWindowLongPtrW(GetDlgItem(progress, i ? IDC_DETAIL : IDC_HEADLINE), GWLP_WNDPROC, (LONG_PTR)g_statusProc[i]);
  g_script = nullptr;
  g_run = nullptr;
  // The end of the run, as the framework calls it; a question it asks is
  // answered like every other box.
  if (script.atEnd) run.exitCode = script.atEnd();
  if (answering) {
    answerer.stop = true;
    WaitForSingleObject(answering, 20000);
    CloseHandle(answering);
  }
  return run;
}

MessageBoxContent AnswerOneBox(const std::function<void()>& call, int button, DWORD timeoutMs) {
  RunScript script;
  script.answers = {button};
  script.timeoutMs = timeoutMs;
  RunResult run = RunInProcess(call, script);
  EXPECT_EQ(1u, run.boxes.size()) << Describe(run);
  return run.boxes.empty() ? MessageBoxContent() : run.boxes[0].content;
}

namespace {

// The window made anew, under the application title as it stands.
HWND Remake() {
  CPelorinApp& app = App();
  if (app.m_progressDlg.IsWindow()) app.m_progressDlg.DestroyWindow();
  if (!app.m_progressDlg.Create(IDD_PROGRESS, CWnd::GetDesktopWindow())) return nullptr;
  app.m_pMainWnd = &app.m_progressDlg;
  return app.m_progressDlg.GetSafeHwnd();
}

}  // namespace

HWND MakeProgressWindow() {
  CPelorinApp& app = App();
  // The progress bar's class, as the framework's start-up registers it.
  static bool classes = app.CWinApp::InitInstance();
  if (!classes) return nullptr;
  if (g_title.empty() && !AfxLoadString(MSG_APP_TITLE, g_title)) g_title.Append(L"Pelorin");
  app.m_pszAppName = g_title.c_str();
  app.m_nThreadID = GetCurrentThreadId();
  return Remake();
}

void PressCancel() {
  HWND window = App().m_progressDlg.GetSafeHwnd();
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem(window, IDCANCEL));
}

void ProgressWindowTest::SetUp() { ASSERT_TRUE(MakeProgressWindow()); }

void ProgressWindowTest::TearDown() {
  if (progress().IsWindow()) progress().DestroyWindow();
  App().m_pMainWnd = nullptr;
  progress().m_cancelled.Restart();
}

void ProgressWindowTest::Recreate() { ASSERT_TRUE(Remake()); }

CNapredekDlg& ProgressWindowTest::progress() { return App().m_progressDlg; }
HWND ProgressWindowTest::window() { return App().m_progressDlg.GetSafeHwnd(); }

}  // namespace pelorin_test
