// The application shell as a user and a calling script see it: the real setup
// and setup variants (configs/) run under Wine, in English (LC_ALL=en_US.UTF-8).
//
//  - every command-line row that ends start-up: the usage text (message 37)
//    with exit code 0 or 160, and "/v" with one file, which shows nothing and
//    ends with a verdict;
//  - a setup started from a folder whose path has blanks and letters outside
//    ASCII;
//  - the single-instance guard with a second real process, and with twenty
//    started at once;
//  - the exit code of worker runs, the progress window while the worker runs,
//    and the application title as caption;
//  - the usage text and the ask-first question in each language (Language.*,
//    run once per language by the suite).
#include <gtest/gtest.h>

#include <algorithm>

#include <stdlib.h>

#include "support/run.h"

using namespace pelorin_test;

namespace {

// Wine starts a process in about a second, more on a loaded machine.
const DWORD kStartMs = 30000;
const DWORD kEndMs = 30000;
const DWORD kSubjectNotTrusted = 0x800B0004;   // TRUST_E_SUBJECT_NOT_TRUSTED
const wchar_t kGlobalMutex[] = L"Global\\_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}";

std::wstring Variant(const wchar_t* name) {
  return BinPath(std::wstring(PELORIN_TEST_SETUPS) + L"\\" + name + L".exe");
}

RunScript Within(DWORD ms = 60000) {
  RunScript script;
  script.timeoutMs = ms;
  script.recordStatus = false;
  return script;
}

// Runs `exe` and expects the usage text in `language` as its only window,
// before any window of the setup; gives the exit code.
DWORD ExpectUsage(const std::wstring& exe, const std::wstring& arguments, LANGID language = kEnglish) {
  RunResult run = RunSetup(exe, Within(), arguments);
  EXPECT_EQ(1u, run.boxes.size()) << "arguments " << Printable(arguments) << ": " << Describe(run);
  if (run.boxes.empty()) return run.exitCode;
  const MessageBoxContent& content = run.boxes[0].content;
  EXPECT_EQ(Printable(Expected(MSG_USAGE, {}, language)), Printable(content.text)) << Printable(arguments);
  EXPECT_EQ(Printable(Expected(MSG_APP_TITLE, {}, language)), Printable(content.caption));
  EXPECT_EQ(std::vector<int>{IDOK}, content.ButtonIds());
  EXPECT_EQ(nullptr, content.owner) << "the usage text comes before any window of the setup";
  EXPECT_EQ((UINT)MB_ICONINFORMATION, content.icon) << "icon";
  EXPECT_EQ(1u, run.boxes[0].windows) << "no progress window before the usage text is closed";
  return run.exitCode;
}

// Runs `exe` and expects it to end by itself without showing any window;
// gives the exit code.
DWORD ExpectNoWindow(const std::wstring& exe, const std::wstring& arguments) {
  RunResult run = RunSetup(exe, Within(), arguments);
  EXPECT_EQ(L"", run.firstWindow) << "a window appeared for " << Printable(arguments);
  return run.exitCode;
}

// Runs `exe` and expects it to end by itself without a message box (a
// progress window may come and go); gives the exit code.
DWORD ExpectNoMessage(const std::wstring& exe, const std::wstring& arguments = L"") {
  RunResult run = RunSetup(exe, Within(), arguments);
  EXPECT_TRUE(run.boxes.empty()) << "a message appeared: " << Describe(run);
  return run.exitCode;
}

// The ask-first setup, answered No twice: the question for each of its two
// products in `language`, owned by the progress window, which is there,
// captioned with the application title, and disabled while it is up; No
// skips the product, and after the last one the setup ends with 0.
void ExpectAskFirstAnsweredNo(LANGID language) {
  RunScript script = Within();
  script.questionAnswer = IDNO;
  RunResult run = RunSetup(Variant(L"ask_first"), script);
  EXPECT_EQ(0u, run.exitCode);
  ASSERT_EQ(2u, run.boxes.size()) << Describe(run);
  const wchar_t* products[] = {L"Alpha \u010Cebela", L"Beta"};
  for (int i = 0; i < 2; ++i) {
    const ShownBox& box = run.boxes[i];
    SCOPED_TRACE(Printable(products[i]));
    EXPECT_EQ(Printable(Expected(MSG_ASK_INSTALL, {products[i]}, language)), Printable(box.content.text));
    EXPECT_EQ(Printable(Expected(MSG_APP_TITLE, {}, language)), Printable(box.content.caption));
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.content.ButtonIds());
    EXPECT_EQ((UINT)MB_ICONQUESTION, box.content.icon) << "icon";
    ASSERT_TRUE(run.progressWindow) << "no progress window while the worker runs";
    EXPECT_EQ(run.progressWindow, box.content.owner) << "one progress window, which owns the question";
    EXPECT_EQ(Printable(Expected(MSG_APP_TITLE, {}, language)), Printable(box.progressCaption));
    EXPECT_FALSE(box.progressEnabled) << "the owner is disabled while the question is up";
  }
  EXPECT_FALSE(IsWindow(run.progressWindow));
}

bool MutexExists(const wchar_t* name) {
  HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name);
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}

// ------------------------------------------------------------------ command line

// First arguments that are not understood, "/?" included: usage text, 0.
class UsageRow : public testing::TestWithParam<const wchar_t*> {};

TEST_P(UsageRow, ShowsTheUsageTextAndEndsWithZero) { EXPECT_EQ(0u, ExpectUsage(SetupPath(), GetParam())); }

INSTANTIATE_TEST_SUITE_P(CommandLine, UsageRow,
                         testing::Values(L"/?",             // asked for
                                         L"-?",             // the other switch character
                                         L"/x",             // a switch with another letter
                                         L"-Z extra",       // the same, whatever follows
                                         L"/",              // a lone switch character
                                         L"/ab",            // three characters
                                         L"/vv file.txt",   // three characters, though it begins like /v
                                         L"ab",             // two characters without a switch
                                         L"\"/a\"",         // the switch "/a" in quotes
                                         L"\"",             // a lone opening quote
                                         L"   \t/?  "));    // blanks around

// "/v" without exactly one file: usage text, 160.
class MalformedVerifyRow : public testing::TestWithParam<const wchar_t*> {};

TEST_P(MalformedVerifyRow, ShowsTheUsageTextAndEndsWith160) {
  EXPECT_EQ((DWORD)ERROR_BAD_ARGUMENTS, ExpectUsage(SetupPath(), GetParam()));
}

INSTANTIATE_TEST_SUITE_P(CommandLine, MalformedVerifyRow,
                         testing::Values(L"/v",                      // no file
                                         L"-V   ",                   // only blanks after it
                                         L"/v first.txt second.txt", // two files
                                         L"/v \"first.txt\"second",  // text right after the closing quote
                                         L"/V \"a b.txt\" \"c.txt\""));

// "/v" with one file: no window at all, the verdict as exit code. The files
// here are not signed (the test build of the setup neither): not trusted.
// Signed files and the other verdicts: trust_verify_command.
TEST(VerifyCommand, OneQuotedFileWithBlanksShowsNothingAndEndsWithAVerdict) {
  TempFolder folder;
  ASSERT_TRUE(folder.ok());
  std::wstring file = folder.Write(L"a file.txt", "not signed\n");
  ASSERT_FALSE(file.empty());
  DWORD code = ExpectNoWindow(SetupPath(), L"/v " + Quote(file));
  EXPECT_EQ(Hex(kSubjectNotTrusted), Hex(code));
}

TEST(VerifyCommand, UnquotedFileWithTrailingBlankIsOneFile) {
  DWORD code = ExpectNoWindow(SetupPath(), L"-v " + SetupPath() + L"  ");
  EXPECT_EQ(Hex(kSubjectNotTrusted), Hex(code));
}

TEST(VerifyCommand, MissingClosingQuoteRunsToTheEnd) {
  TempFolder folder;
  ASSERT_TRUE(folder.ok());
  std::wstring file = folder.Write(L"open quote.txt", "x");
  DWORD code = ExpectNoWindow(SetupPath(), L"/V \"" + file);
  EXPECT_EQ(Hex(kSubjectNotTrusted), Hex(code));
}

// ------------------------------------------------------------------ where the setup lives

TEST(SetupFolder, RunsFromAFolderWithBlanksAndLettersOutsideAscii) {
  TempFolder folder;
  ASSERT_TRUE(folder.ok());
  std::wstring setup = folder.Copy(SetupPath(), L"Namestitev \u0160ola.exe");
  ASSERT_FALSE(setup.empty());
  EXPECT_EQ(0u, ExpectUsage(setup, L"/?"));
  DWORD code = ExpectNoWindow(setup, L"/v " + Quote(setup));
  EXPECT_EQ(Hex(kSubjectNotTrusted), Hex(code));

  std::wstring empty = folder.Copy(Variant(L"empty_table"), L"Prazna \u010Dre\u0161nja.exe");
  ASSERT_FALSE(empty.empty());
  EXPECT_EQ(0u, ExpectNoMessage(empty));
}

// ------------------------------------------------------------------ worker runs

TEST(WorkerRun, EmptyProductTableEndsWithZeroAndShowsNothing) {
  EXPECT_EQ(0u, ExpectNoMessage(Variant(L"empty_table")));
}

TEST(WorkerRun, LanguageArrayWithoutEntriesEndsWith160WithoutMessage) {
  EXPECT_EQ((DWORD)ERROR_BAD_ARGUMENTS, ExpectNoMessage(Variant(L"lang_zero")));
}

TEST(WorkerRun, ProductWithoutLanguagesEndsWith160WithoutMessage) {
  EXPECT_EQ((DWORD)ERROR_BAD_ARGUMENTS, ExpectNoMessage(Variant(L"no_languages")));
}

TEST(WorkerRun, AskFirstAnsweredNoSkipsEachProductAndEndsWithZero) { ExpectAskFirstAnsweredNo(kEnglish); }

// ------------------------------------------------------------------ single instance

// While one setup waits in its first question, a second setup ends at once
// with 1618 and shows nothing; "/?" and "/v" are still served; the mutex
// exists as long as the first setup runs.
TEST(SingleInstance, SecondSetupEndsWith1618WhileTheFirstRuns) {
  ASSERT_FALSE(MutexExists(kGlobalMutex)) << "a setup from elsewhere holds the mutex";
  Process first = Process::Start(Variant(L"ask_first"), L"");
  ASSERT_TRUE(first.ok()) << Printable(first.error());
  HWND question = WaitForMessageBox(first.id(), kStartMs, first.handle());
  ASSERT_TRUE(question) << "the first setup asks nothing; exit code " << Hex(first.ExitCode());

  EXPECT_TRUE(MutexExists(kGlobalMutex)) << "OpenMutexW: " << GetLastError();

  EXPECT_EQ((DWORD)ERROR_INSTALL_ALREADY_RUNNING, ExpectNoWindow(SetupPath(), L""));
  EXPECT_EQ((DWORD)ERROR_INSTALL_ALREADY_RUNNING, ExpectNoWindow(Variant(L"ask_first"), L""));
  EXPECT_EQ((DWORD)ERROR_INSTALL_ALREADY_RUNNING, ExpectNoWindow(SetupPath(), L"/a"));
  EXPECT_EQ(0u, ExpectUsage(SetupPath(), L"/?"));
  EXPECT_EQ((DWORD)ERROR_BAD_ARGUMENTS, ExpectUsage(SetupPath(), L"/v"));
  DWORD verdict = ExpectNoWindow(SetupPath(), L"/v " + Quote(SetupPath()));
  EXPECT_EQ(Hex(kSubjectNotTrusted), Hex(verdict));

  // The first setup was not disturbed: it still asks, and ends normally.
  EXPECT_TRUE(IsWindow(question));
  EXPECT_TRUE(first.Running());
  ASSERT_TRUE(ClickButton(question, IDNO));
  HWND next = WaitForWindow(first.id(), L"#32770", kStartMs,
                            [question](HWND w) { return w != question && IsMessageBox(w); }, first.handle());
  ASSERT_TRUE(next);
  ASSERT_TRUE(ClickButton(next, IDNO));
  DWORD code = STILL_ACTIVE;
  ASSERT_TRUE(first.Finish(kEndMs, &code));
  EXPECT_EQ(0u, code);
  EXPECT_FALSE(MutexExists(kGlobalMutex)) << "the mutex outlived its setup";

  // With the first setup gone a new one runs.
  EXPECT_EQ(0u, ExpectNoMessage(Variant(L"empty_table")));
}

// Twenty setups started at once, five times over: exactly one goes on and
// shows its language dialog; the nineteen others end with 1618 without
// showing anything. "/?" and "/v" are still served meanwhile.
TEST(SingleInstance, OfTwentyStartedAtOnceExactlyOneGoesOn) {
  ASSERT_FALSE(MutexExists(kGlobalMutex)) << "a setup from elsewhere holds the mutex";
  for (int round = 1; round <= 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<Process> setups;
    for (int i = 0; i < 20; ++i) {
      setups.push_back(Process::Start(SetupPath(), L""));
      ASSERT_TRUE(setups.back().ok()) << Printable(setups.back().error());
    }
    // Until all but one have ended, noting any window of those that end.
    std::vector<bool> showed(setups.size(), false);
    DWORD start = GetTickCount();
    size_t running = setups.size();
    while (GetTickCount() - start < 4 * kStartMs) {
      running = 0;
      for (size_t i = 0; i < setups.size(); ++i) {
        if (!setups[i].Running()) continue;
        ++running;
        if (!TopLevelWindows(setups[i].id()).empty()) showed[i] = true;
      }
      if (running <= 1) break;
      Sleep(20);
    }
    ASSERT_EQ(1u, running) << "setups still running";
    size_t goesOn = setups.size();
    for (size_t i = 0; i < setups.size(); ++i) {
      if (setups[i].Running()) {
        goesOn = i;
        continue;
      }
      EXPECT_EQ((DWORD)ERROR_INSTALL_ALREADY_RUNNING, setups[i].ExitCode()) << "setup " << i;
      EXPECT_FALSE(showed[i]) << "setup " << i << " showed a window before it ended";
    }
    ASSERT_LT(goesOn, setups.size());
    Process& one = setups[goesOn];
    // The language dialog, told by its list (1000) from the progress window.
    HWND dialog = WaitForWindow(one.id(), L"#32770", kStartMs, [](HWND w) { return GetDlgItem(w, 1000) != nullptr; },
                                one.handle());
    ASSERT_TRUE(dialog) << "the setup that went on shows no language dialog";

    if (round == 1) {
      EXPECT_EQ(0u, ExpectUsage(SetupPath(), L"/?"));
      DWORD verdict = ExpectNoWindow(SetupPath(), L"/v " + Quote(SetupPath()));
      EXPECT_EQ(Hex(kSubjectNotTrusted), Hex(verdict));
    }
    ASSERT_TRUE(ClickButton(dialog, IDCANCEL));
    DWORD code = STILL_ACTIVE;
    ASSERT_TRUE(one.Finish(kEndMs, &code));
    EXPECT_EQ((DWORD)ERROR_INSTALL_USEREXIT, code);
  }
  EXPECT_FALSE(MutexExists(kGlobalMutex));
}

// ------------------------------------------------------------------ each language

// The texts in the user-interface language of the run. The suite runs these
// once per catalogue language, with LC_ALL set to its locale and
// PELORIN_EXPECT_LANGID to its LANGID: under Wine a child takes its language
// from the Unix locale of its parent, not from the environment block it is
// started with (see support/driver.h), which the fixture checks first.
class Language : public testing::Test {
protected:
  static void SetUpTestSuite() {
    StartOptions options;
    options.environment = {L"LC_ALL=sl_SI.UTF-8", L"LANG=sl_SI.UTF-8", L"LC_MESSAGES=sl_SI.UTF-8"};
    if (UiLanguage() == 1060) options.environment = {L"LC_ALL=en_US.UTF-8", L"LANG=en_US.UTF-8"};
    Process setup = Process::Start(SetupPath(), L"/?", options);
    HWND box = WaitForMessageBox(setup.id(), kStartMs, setup.handle());
    s_usageOfTheChild = box ? ReadMessageBox(box).text : L"";
    if (box) ClickButton(box, IDOK);
    setup.Finish(kEndMs, nullptr);
  }
  void SetUp() override {
    wchar_t value[16] = {};
    GetEnvironmentVariableW(L"PELORIN_EXPECT_LANGID", value, 16);
    language_ = (LANGID)wcstoul(value, nullptr, 10);
    ASSERT_NE(0, language_) << "PELORIN_EXPECT_LANGID is not set: the suite sets it with LC_ALL";
    ASSERT_EQ(language_, UiLanguage()) << "the locale of LC_ALL is not in effect";
    ASSERT_EQ(Printable(Expected(MSG_USAGE, {}, language_)), Printable(s_usageOfTheChild))
        << "precondition: a child started with another LC_ALL in its environment block speaks the language of "
           "this program's locale, which the per-language runs of these tests rely on";
  }
  LANGID language_ = 0;
  static std::wstring s_usageOfTheChild;
};
std::wstring Language::s_usageOfTheChild;

TEST_F(Language, UsageTextWithTheApplicationTitleAsCaption) { EXPECT_EQ(0u, ExpectUsage(SetupPath(), L"/?", language_)); }

TEST_F(Language, UsageTextAfterMalformedVerify) {
  EXPECT_EQ((DWORD)ERROR_BAD_ARGUMENTS, ExpectUsage(SetupPath(), L"/v", language_));
}

TEST_F(Language, AskFirstQuestionAndProgressWindow) { ExpectAskFirstAnsweredNo(language_); }

}  // namespace
