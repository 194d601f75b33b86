// The reporting operations of ui/messages.h, called directly under
// Wine in English (LC_ALL=en_US.UTF-8). A message box blocks the thread that
// shows it, so each call runs on a second thread while this thread reads the
// box and presses its button, as a user would.
//
//  - ShowError with an ID that the catalogue lacks: message 15 with that ID,
//    as an error box;
//  - ReportInstallerResult: 2, 3 and 123 are told as 1619, 1605 as itself,
//    in the words of the Windows Installer message library when it has a text
//    for the code and otherwise with message 32; 1259, 1602, 1603, 1604, 1641
//    and 3010 show nothing;
//  - FormatMessageText keeps the line feed of message 20, the usage text ends
//    with one;
//  - ShowMessage gives the button pressed; the box is owned by the main
//    window, which is disabled while the box is up, and has no owner without
//    one;
//  - running out of memory is told as an error box the user sees even while
//    the main window is hidden (as it is for the engine), and gives 14.
#include <gtest/gtest.h>

#include "app/app.h"
#include "support/run.h"
#include "ui/messages.h"
#include "ui/resource.h"

using namespace pelorin_test;

namespace {

const DWORD kBoxMs = 10000;

RunScript Within() {
  RunScript script;
  script.timeoutMs = kBoxMs;
  return script;
}

// The test program is not started as a setup: the application title that
// the framework reads before start-up is set here the same way.
class Reporting : public testing::Test {
protected:
  static void SetUpTestSuite() {
    static WString title = LoadMessageText(MSG_APP_TITLE);
    App().m_pszAppName = title.c_str();
  }
  void SetUp() override {
    ASSERT_EQ(kEnglish, UiLanguage()) << "the suite runs this program with LC_ALL=en_US.UTF-8";
    App().m_pMainWnd = nullptr;
  }
  void TearDown() override { App().m_pMainWnd = nullptr; }

  // Runs `call` as the worker, reads the box it shows, presses `button` and
  // waits for the call to return.
  MessageBoxContent Answer(const std::function<void()>& call, int button = IDOK) {
    return AnswerOneBox(call, button, kBoxMs);
  }

  // Expects `call` to return by itself without showing a box.
  void ExpectNothingShown(const std::function<void()>& call) {
    RunResult run = RunInProcess(call, Within());
    EXPECT_TRUE(run.finished);
    EXPECT_TRUE(run.boxes.empty()) << "shown: " << Describe(run);
  }

  void ExpectErrorBox(const MessageBoxContent& box, const std::wstring& text) {
    EXPECT_EQ(Printable(text), Printable(box.text));
    EXPECT_EQ(Printable(Expected(MSG_APP_TITLE)), Printable(box.caption));
    EXPECT_EQ(std::vector<int>{IDOK}, box.ButtonIds());
    EXPECT_EQ((UINT)MB_ICONERROR, box.icon) << "icon";
    EXPECT_EQ(nullptr, box.owner) << "no main window, no owner";
  }
};

std::wstring SystemFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder, length) + L"\\" + name;
}

// The text for `code` of the message library `path` (a data file); empty
// when the library or the text is missing.
std::wstring LibraryText(const std::wstring& path, UINT code) {
  HMODULE library = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!library) return L"";
  wchar_t text[1024];
  int length = LoadStringW(library, code, text, 1024);
  FreeLibrary(library);
  return std::wstring(text, length > 0 ? (size_t)length : 0);
}

// The Windows Installer message library's text for `code`, as the platform
// has it in its system folder. (Wine 8 has a msimsg.dll without these texts.)
std::wstring InstallerLibraryText(UINT code) { return LibraryText(SystemFile(L"msimsg.dll"), code); }

// What ReportInstallerResult must show for a code reported as `reported`.
std::wstring ExpectedInstallerText(UINT reported) {
  std::wstring library = InstallerLibraryText(reported);
  if (!library.empty()) return library;
  return Expected(MSG_INSTALLER_ERROR, {std::to_wstring(reported)});
}

TEST_F(Reporting, ShowErrorWithMissingIdTellsMessage15WithThatId) {
  ASSERT_TRUE(LoadMessageText(99).empty()) << "the catalogue has no message 99";
  MessageBoxContent box = Answer([] { ShowError(99); });
  ExpectErrorBox(box, Expected(MSG_MISSING_TEXT, {L"99"}));
}

TEST_F(Reporting, ShowErrorFillsInserts) {
  MessageBoxContent box = Answer([] { ShowError(MSG_INSTALLER_ERROR, {(int32_t)-5}); });
  ExpectErrorBox(box, Expected(MSG_INSTALLER_ERROR, {L"-5"}));
}

// Under Wine msimsg.dll loads but has no texts for these codes: the test says
// which case it met and asserts exactly that case.
TEST_F(Reporting, PlatformMessageLibraryAsFound) {
  bool present = FileExists(SystemFile(L"msimsg.dll"));
  std::wstring text1619 = InstallerLibraryText(1619);
  std::wstring text1605 = InstallerLibraryText(1605);
  RecordProperty("msimsg", present ? (text1619.empty() ? "present, no text for 1619" : "present, with texts") : "missing");
  printf("[ info     ] msimsg.dll %s; text for 1619: \"%s\"; for 1605: \"%s\"\n", present ? "is present" : "is missing",
         Printable(text1619).c_str(), Printable(text1605).c_str());
}

TEST_F(Reporting, FileNotFoundIsToldAs1619) {
  for (UINT code : {2u, 3u, 123u}) {
    SCOPED_TRACE(code);
    MessageBoxContent box = Answer([code] { ReportInstallerResult(code); });
    ExpectErrorBox(box, ExpectedInstallerText(1619));
    EXPECT_EQ(std::wstring::npos, box.text.find(L"'" + std::to_wstring(code) + L"'")) << "told as 1619, not as itself";
  }
}

TEST_F(Reporting, OtherCodeIsToldAsItself) {
  MessageBoxContent box = Answer([] { ReportInstallerResult(1605); });
  ExpectErrorBox(box, ExpectedInstallerText(1605));
}

TEST_F(Reporting, QuietCodesShowNothing) {
  for (UINT code : {1602u, 1603u, 1604u, 1641u, 3010u, 1259u}) {
    SCOPED_TRACE(code);
    ExpectNothingShown([code] { ReportInstallerResult(code); });
  }
}

TEST_F(Reporting, FormattedQuestionKeepsItsLineFeed) {
  WString text = FormatMessageText(MSG_ASK_INSTALL, {L"Tamaris"});
  EXPECT_EQ(Printable(Expected(MSG_ASK_INSTALL, {L"Tamaris"})), Printable(text.c_str()));
  EXPECT_NE(std::wstring::npos, std::wstring(text.c_str()).find(L"now?\nIf")) << Printable(text.c_str());
}

TEST_F(Reporting, UsageTextEndsWithLineFeed) {
  WString usage = LoadMessageText(MSG_USAGE);
  EXPECT_EQ(Printable(Expected(MSG_USAGE)), Printable(usage.c_str()));
  ASSERT_FALSE(usage.empty());
  EXPECT_EQ(L'\n', usage.c_str()[usage.length() - 1]);
}

TEST_F(Reporting, MissingIdGivesEmptyText) { EXPECT_TRUE(LoadMessageText(99).empty()); }

TEST_F(Reporting, ShowMessageGivesTheButtonPressed) {
  for (int button : {IDYES, IDNO}) {
    int answer = 0;
    MessageBoxContent box = Answer([&answer] { answer = ShowMessage(MSG_RESTART, MB_YESNO | MB_ICONQUESTION); }, button);
    EXPECT_EQ(button, answer);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.ButtonIds());
    EXPECT_EQ((UINT)MB_ICONQUESTION, box.icon) << "icon";
  }
  int answer = 0;
  MessageBoxContent box = Answer([&answer] { answer = ShowMessage(MSG_CANCELLED, MB_OK | MB_ICONWARNING); });
  EXPECT_EQ(IDOK, answer);
  EXPECT_EQ(Printable(Expected(MSG_CANCELLED)), Printable(box.text));
  EXPECT_EQ((UINT)MB_ICONWARNING, box.icon) << "icon";
}

// A msimsg.dll with texts of its own beside the program and in its working
// folder, as in a Downloads folder: the texts shown are still those of the
// system's library (or message 32), never the plant's.
TEST_F(Reporting, PlantedMessageLibraryIsNotRead) {
  std::wstring plant = BinPath(PELORIN_TEST_PLANT);
  ASSERT_TRUE(FileExists(plant)) << Printable(plant);
  std::wstring beside = OwnDir() + L"\\msimsg.dll";
  ASSERT_TRUE(CopyFileW(plant.c_str(), beside.c_str(), FALSE));
  TempFolder working(L"Pelorin msimsg");
  ASSERT_FALSE(working.Copy(plant, L"msimsg.dll").empty());
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(working.path().c_str()));
  // The plant is what a bare-name load would find.
  EXPECT_EQ(L"Planted text 1619", LibraryText(L"msimsg.dll", 1619)) << "control: the plant is not found by name";

  for (UINT code : {2u, 1605u}) {
    SCOPED_TRACE(code);
    MessageBoxContent box = Answer([code] { ReportInstallerResult(code); });
    EXPECT_EQ(std::wstring::npos, box.text.find(L"Planted")) << "the planted library was read";
    ExpectErrorBox(box, ExpectedInstallerText(code == 2 ? 1619 : code));
  }
  SetCurrentDirectoryW(previous);
  DeleteFileW(beside.c_str());
}

// Like the worker's boxes: shown on another thread, owned by the main window
// of this thread, which is disabled while the box is up.
TEST_F(Reporting, BoxIsOwnedByTheMainWindow) {
  HWND window = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(window);
  CWnd main;
  main.m_hWnd = window;
  App().m_pMainWnd = &main;

  RunResult run = RunInProcess([] { ShowError(99); }, Within());
  ASSERT_EQ(1u, run.boxes.size());
  EXPECT_EQ(window, run.boxes[0].content.owner);
  EXPECT_FALSE(run.boxes[0].progressEnabled) << "the owner is disabled while the box is up";
  EXPECT_TRUE(run.finished);
  PumpMessages(50);
  EXPECT_TRUE(IsWindowEnabled(window)) << "and enabled again after it";

  App().m_pMainWnd = nullptr;
  main.m_hWnd = nullptr;
  DestroyWindow(window);
}

// The progress window is hidden while the engine works; a box it owns then
// must still be seen, or the setup would end without a word.
TEST_F(Reporting, OutOfMemoryIsToldWhileTheMainWindowIsHidden) {
  HWND window = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(window);
  ASSERT_FALSE(IsWindowVisible(window));
  CWnd main;
  main.m_hWnd = window;
  App().m_pMainWnd = &main;

  SetupResult result = 0;
  MessageBoxContent content = Answer([&result] { result = TellOutOfMemory(); });
  EXPECT_EQ(Printable(Expected(MSG_OUT_OF_MEMORY)), Printable(content.text));
  EXPECT_EQ((UINT)MB_ICONERROR, content.icon) << "icon";
  EXPECT_EQ((SetupResult)ERROR_OUTOFMEMORY, result);

  App().m_pMainWnd = nullptr;
  main.m_hWnd = nullptr;
  DestroyWindow(window);
}

}  // namespace
