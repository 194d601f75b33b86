// The child process runner with real child processes under Wine: the exact
// command lines, paths with blanks and letters outside ASCII, exit codes
// handed back whole, a program that is not there, and the thread's messages
// served while it waits.
//
// The child is the engine stand-in of fake_engine/: it records the command
// line it got and its own path, can be held running until the test lets it
// go, and ends with the exit code that the test chose.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "engine/child_process.h"
#include "support/driver.h"

using namespace pelorin_test;

namespace {

std::wstring FakeEngine() { return std::wstring(PELORIN_FAKE_ENGINE_DIR) + L"\\engine-2_0.exe"; }

void SetEnv(const wchar_t* name, const std::wstring& value) {
  SetEnvironmentVariableW(name, value.empty() ? nullptr : value.c_str());
}

// A named event with a name of its own per test.
struct NamedEvent {
  explicit NamedEvent(const wchar_t* role) {
    name = std::wstring(L"pelorin-child-") + role + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter);
    handle = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
  }
  ~NamedEvent() {
    if (handle) {
      SetEvent(handle);  // never leaves a child waiting
      CloseHandle(handle);
    }
  }
  std::wstring name;
  HANDLE handle = nullptr;
  static int counter;
};
int NamedEvent::counter = 0;

// Test messages that the waiting thread dispatches to a window of its own.
const UINT kTestMessage = WM_APP + 7;
std::atomic<int> g_dispatched{0};
WPARAM g_order[16];

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kTestMessage) {
    int n = g_dispatched.load();
    if (n < 16) g_order[n] = wParam;
    g_dispatched = n + 1;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window on the calling thread, recording kTestMessage.
HWND MakeRecordingWindow() {
  static ATOM atom = 0;
  if (!atom) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"PelorinChildRunnerTest";
    atom = RegisterClassW(&windowClass);
  }
  return CreateWindowW(L"PelorinChildRunnerTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                       GetModuleHandleW(nullptr), nullptr);
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

class ChildRunner : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    record_ = folder_.File(L"record.txt");
    SetEnv(L"PELORIN_FAKE_RECORD", record_);
    SetEnv(L"PELORIN_FAKE_EXIT", L"");
    SetEnv(L"PELORIN_FAKE_STARTED", L"");
    SetEnv(L"PELORIN_FAKE_HOLD", L"");
    g_dispatched = 0;
  }
  void TearDown() override {
    for (const wchar_t* name : {L"PELORIN_FAKE_RECORD", L"PELORIN_FAKE_EXIT", L"PELORIN_FAKE_STARTED",
                                L"PELORIN_FAKE_HOLD"})
      SetEnv(name, L"");
  }

  // The stand-in copied to `relative` below the test folder (folders made).
  std::wstring Place(const std::wstring& relative) {
    std::wstring path = folder_.path();
    size_t start = 0;
    for (size_t slash; (slash = relative.find(L'\\', start)) != std::wstring::npos; start = slash + 1) {
      path += L"\\" + relative.substr(start, slash - start);
      CreateDirectoryW(path.c_str(), nullptr);
    }
    std::wstring target = folder_.File(relative);
    EXPECT_TRUE(CopyFileW(FakeEngine().c_str(), target.c_str(), FALSE)) << Printable(target);
    return target;
  }

  TempFolder folder_{L"Pelorin child \u010D\u0161\u017E \u00DCber"};
  std::wstring record_;
};

// ------------------------------------------------------------ command lines

TEST_F(ChildRunner, EngineUpgradeGetsItsPathWholeInQuotesAndTheQuietSwitch) {
  // A planted program where an unquoted path would end at the first blank.
  std::wstring decoy = Place(L"Downloads\\Engine.exe");
  std::wstring engine = Place(L"Downloads\\Engine upgrade \u0161\u010D \u00E9\u00E8\\InstMSIW.exe");

  EXPECT_EQ(0u, RunEngineUpgrade(engine.c_str()));

  std::vector<ChildRun> runs = StandInRuns(record_);
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(Printable(L"\"" + engine + L"\" /c:\"msiinst /delayreboot\""), Printable(runs[0].commandLine));
  EXPECT_EQ(Printable(engine), Printable(runs[0].modulePath)) << "the planted " << Printable(decoy) << " ran";
}

TEST_F(ChildRunner, SignatureCheckGetsTheSetupAndTheFileEachWholeInQuotes) {
  std::wstring setup = Place(L"My setups\\Pelorin \u017Eelva.exe");
  std::wstring file = folder_.Write(L"Down load\u0107 \u00FC.exe", "MZ");
  ASSERT_FALSE(file.empty());

  EXPECT_EQ(0u, RunSignatureCheck(setup.c_str(), file.c_str()));

  std::vector<ChildRun> runs = StandInRuns(record_);
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(Printable(L"\"" + setup + L"\" /v \"" + file + L"\""), Printable(runs[0].commandLine));
  EXPECT_EQ(Printable(setup), Printable(runs[0].modulePath));
}

// ------------------------------------------------------------ exit codes

TEST_F(ChildRunner, ExitCodesAreHandedBackUnchanged) {
  std::wstring engine = Place(L"InstMSIW.exe");
  const DWORD codes[] = {3010, 0, 1641, 1603, 0xC0000005, 0x800B0004, 0xFFFFFFFF};
  for (DWORD code : codes) {
    SetEnv(L"PELORIN_FAKE_EXIT", std::to_wstring(code));
    EXPECT_EQ(code, RunEngineUpgrade(engine.c_str())) << "engine exit code " << code;
    EXPECT_EQ(code, RunSignatureCheck(engine.c_str(), record_.c_str())) << "check exit code " << code;
  }
  EXPECT_EQ(2 * (sizeof(codes) / sizeof(codes[0])), StandInRuns(record_).size());
}

// ------------------------------------------------------------ programs that cannot run

TEST_F(ChildRunner, MissingProgramGivesThePlatformsReasonWithoutWaiting) {
  HWND window = MakeRecordingWindow();
  ASSERT_NE(nullptr, window);
  // Waiting would dispatch this message; a start that failed does not wait.
  PostMessageW(window, kTestMessage, 1, 0);

  std::wstring missingFile = folder_.File(L"InstMSIW.exe");
  std::wstring missingFolder = folder_.File(L"gone\\InstMSIW.exe");
  EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, RunEngineUpgrade(missingFile.c_str()));
  // Windows says 3 for a folder that is not there; Wine 8 says 2.
  DWORD noFolder = RunEngineUpgrade(missingFolder.c_str());
  EXPECT_TRUE(noFolder == ERROR_PATH_NOT_FOUND || noFolder == ERROR_FILE_NOT_FOUND) << noFolder;
  EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, RunSignatureCheck(missingFile.c_str(), record_.c_str()));

  EXPECT_EQ(0, g_dispatched.load());
  MSG message;
  EXPECT_TRUE(PeekMessageW(&message, window, kTestMessage, kTestMessage, PM_REMOVE));
  DestroyWindow(window);
}

TEST_F(ChildRunner, WaitingOnSomethingThatIsNoProcessFailsWithTheReason) {
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, WaitPumpingMessages((HANDLE)(ULONG_PTR)0x7FF0));
}

// ------------------------------------------------------------ messages while waiting

// Runs the stand-in, held, on a thread of its own that owns a recording
// window; `whileRunning` runs on this thread once the child has started and
// gets that thread's ID and window; then the child is let go.
struct HeldRun {
  SetupResult result = 0xDEADBEEF;
  std::atomic<bool> returned{false};
  bool quitLeftInQueue = true;
};

void RunHeld(const std::wstring& engine, HeldRun& run, const std::function<void(DWORD, HWND)>& whileRunning) {
  NamedEvent started(L"started"), hold(L"hold");
  ASSERT_NE(nullptr, started.handle);
  ASSERT_NE(nullptr, hold.handle);
  SetEnv(L"PELORIN_FAKE_STARTED", started.name);
  SetEnv(L"PELORIN_FAKE_HOLD", hold.name);
  SetEnv(L"PELORIN_FAKE_EXIT", L"3010");

  std::atomic<HWND> window{nullptr};
  Worker waiting([&] {
    window = MakeRecordingWindow();
    run.result = RunEngineUpgrade(engine.c_str());
    run.returned = true;
    MSG message;
    run.quitLeftInQueue = PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    DestroyWindow(window);
  });
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started.handle, 20000)) << "the child did not start";
  ASSERT_TRUE(WaitFor([&] { return window.load() != nullptr; }, 5000));

  whileRunning(waiting.threadId(), window.load());

  SetEvent(hold.handle);
  EXPECT_TRUE(waiting.Wait(20000));
  EXPECT_TRUE(run.returned.load());
}

TEST_F(ChildRunner, MessagesPostedWhileTheChildRunsAreAllDispatchedAndTheWaitGoesOn) {
  std::wstring engine = Place(L"InstMSIW.exe");
  HeldRun run;
  RunHeld(engine, run, [&](DWORD, HWND window) {
    // Several at once: each is taken in a wake-up of its own, and none may
    // stay behind in the queue until the child ends.
    for (WPARAM n = 1; n <= 3; ++n) PostMessageW(window, kTestMessage, n, 0);
    EXPECT_TRUE(WaitFor([] { return g_dispatched.load() == 3; }, 5000))
        << "dispatched " << g_dispatched.load() << " of 3 while the child ran";
    EXPECT_FALSE(run.returned.load()) << "the wait ended before the child";
    // And one more, later, alone.
    PostMessageW(window, kTestMessage, 4, 0);
    EXPECT_TRUE(WaitFor([] { return g_dispatched.load() == 4; }, 5000));
  });
  EXPECT_EQ(3010u, run.result);
  ASSERT_EQ(4, g_dispatched.load());
  for (WPARAM n = 1; n <= 4; ++n) EXPECT_EQ(n, g_order[n - 1]);
}

TEST_F(ChildRunner, QuitMessageIsTakenWithoutEndingTheWait) {
  std::wstring engine = Place(L"InstMSIW.exe");
  HeldRun run;
  RunHeld(engine, run, [&](DWORD threadId, HWND window) {
    PostThreadMessageW(threadId, WM_QUIT, 0, 0);
    // Messages are taken in order: this one's dispatch means the quit
    // message before it has been taken.
    PostMessageW(window, kTestMessage, 1, 0);
    EXPECT_TRUE(WaitFor([] { return g_dispatched.load() == 1; }, 5000));
    Sleep(200);
    EXPECT_FALSE(run.returned.load()) << "the quit message ended the wait";
  });
  EXPECT_EQ(3010u, run.result) << "the wait did not go on to the child's end";
  EXPECT_FALSE(run.quitLeftInQueue) << "the quit message was not taken";
}

TEST_F(ChildRunner, WaitForAProcessThatHasEndedReturnsAtOnce) {
  std::wstring engine = Place(L"InstMSIW.exe");
  Process child = Process::Start(engine, L"");
  ASSERT_TRUE(child.ok()) << Printable(child.error());
  ASSERT_TRUE(child.WaitForExit(20000));
  EXPECT_EQ(0u, WaitPumpingMessages(child.handle()));
}

}  // namespace
