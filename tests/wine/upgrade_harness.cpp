#include "upgrade_harness.h"

#include <gtest/gtest.h>

#include <atomic>

#include "app/app.h"
#include "app/worker.h"
#include "ui/resource.h"

using namespace pelorin_test;

namespace upgrade_test {

namespace {

// The run in progress, for the window procedure below.
const SetupRun* g_run = nullptr;
SetupOutcome* g_outcome = nullptr;
WNDPROC g_detailProc = nullptr;
WString g_title;

// The second status line, seen from its own window: every text the worker
// puts there arrives as WM_SETTEXT on this thread while the worker waits.
LRESULT CALLBACK DetailProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProcW(g_detailProc, window, message, wParam, lParam);
  if (message == WM_SETTEXT && g_outcome) {
    std::wstring text = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"";
    g_outcome->details.push_back(text);
    if (g_run && g_run->onDetail) g_run->onDetail(text);
  }
  return result;
}

// Answers the message boxes of this process, wherever they are shown.
struct Answerer {
  const std::vector<int>* answers;
  std::vector<MessageBoxContent> boxes;
  std::atomic<bool> stop{false};

  static DWORD WINAPI Run(void* self) {
    auto* answerer = static_cast<Answerer*>(self);
    while (!answerer->stop) {
      for (HWND box : TopLevelWindows(GetCurrentProcessId(), L"#32770")) {
        if (!IsMessageBox(box)) continue;
        MessageBoxContent content = ReadMessageBox(box);
        size_t index = answerer->boxes.size();
        answerer->boxes.push_back(content);
        int answer = index < answerer->answers->size() ? (*answerer->answers)[index] : IDOK;
        if (!ClickButton(box, answer) && !ClickButton(box, IDOK)) ClickButton(box, IDNO);
        WaitForWindowGone(box, 5000);
      }
      Sleep(20);
    }
    return 0;
  }
};

}  // namespace

void PressCancel() {
  HWND window = App().m_progressDlg.GetSafeHwnd();
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem(window, IDCANCEL));
}

SetupOutcome RunSetupWorker(const SetupRun& run) {
  SetupOutcome outcome;
  CPelorinApp& app = App();

  // As start-up does: the progress bar's class, the title, the progress
  // window as the main window; this thread is the user-interface thread.
  static bool classes = app.CWinApp::InitInstance();
  EXPECT_TRUE(classes);
  if (g_title.empty() && !AfxLoadString(MSG_APP_TITLE, g_title)) g_title.Append(L"Pelorin");
  app.m_pszAppName = g_title.c_str();
  app.m_nThreadID = GetCurrentThreadId();
  app.m_restartPending = FALSE;
  app.m_result = 0;
  app.m_msi = MsiApi();
  if (!app.m_progressDlg.Create(IDD_PROGRESS, CWnd::GetDesktopWindow())) {
    ADD_FAILURE() << "no progress window";
    return outcome;
  }
  app.m_pMainWnd = &app.m_progressDlg;
  HWND progress = app.m_progressDlg.GetSafeHwnd();
  outcome.progressWindow = progress;
  HWND detail = GetDlgItem(progress, IDC_DETAIL);
  g_detailProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(detail, GWLP_WNDPROC, (LONG_PTR)DetailProc));
  g_run = &run;
  g_outcome = &outcome;

  Answerer answerer;
  answerer.answers = &run.answers;
  HANDLE answering = CreateThread(nullptr, 0, Answerer::Run, &answerer, 0, nullptr);

  app.m_workerThread = AfxBeginThread(SetupWorker, &app, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  if (!app.m_workerThread) {
    ADD_FAILURE() << "no worker thread";
  } else {
    app.m_workerThread->m_bAutoDelete = FALSE;
    HANDLE worker = app.m_workerThread->m_hThread;
    app.m_workerThread->ResumeThread();

    // The setup's message loop, until the worker's quit message.
    DWORD start = GetTickCount();
    while (!outcome.finished && GetTickCount() - start < 120000) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
          outcome.finished = true;
          break;
        }
        if (IsWindow(progress) && IsDialogMessageW(progress, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      if (!outcome.finished && run.tick) run.tick();
    }
    if (!outcome.finished) {
      ADD_FAILURE() << "the worker did not post its quit message within two minutes";
      TerminateThread(worker, 0xDEAD);
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, 20000));
    GetExitCodeThread(worker, &outcome.workerResult);
    outcome.engineBound = app.m_msi.module != nullptr;
    outcome.restartPending = app.m_restartPending != FALSE;
  }
  g_run = nullptr;
  g_outcome = nullptr;

  // The end of the run, as the framework calls it; the restart question is
  // answered by the answerer like every other box.
  outcome.exitCode = (DWORD)app.ExitInstance();
  app.m_pMainWnd = nullptr;

  answerer.stop = true;
  WaitForSingleObject(answering, 20000);
  CloseHandle(answering);
  outcome.boxes = answerer.boxes;
  return outcome;
}

SetupOutcome RunSetupWorker(std::vector<int> answers) {
  SetupRun run;
  run.answers = std::move(answers);
  return RunSetupWorker(run);
}

}  // namespace upgrade_test
