// Cancelling a setup: Cancel in the progress window at each of the points
// where the setup looks for it (after the first status line; after
// "Downloading package" before the download starts; during the download;
// after "Verifying digital signature" before the check; during the check,
// up to the hand-over to the engine) ends the setup with message 24 and
// 1602, never with message 13, and installs nothing; so do a press while
// the window hides for the engine, and Return, Space or Esc on the focused
// Cancel. Cancel in the language dialog ends it with 1602 and no message.
//
// Two of the points lie right after a status text is written, too close for
// any click from outside to land on them reliably; there the test's hook
// library presses Cancel from inside the setup the moment the text is
// written (see install_cancel_hook.cpp). During the download the test
// presses the real Cancel button while a slow server is sending.
#include <gtest/gtest.h>

#include <commctrl.h>

#include "support/install_common.h"
#include "support/install_cancel_hook.h"

using namespace install_test;
using namespace pelorin_test;

namespace {

class CancelTest : public ScenarioTest {
protected:
  // Message 24 alone, with a warning icon, and 1602.
  static void ExpectCancelled(const RunResult& run) {
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(1602u, run.exitCode);
    ASSERT_EQ(1u, run.boxes.size()) << Describe(run);
    EXPECT_EQ(Expected(MSG_CANCELLED), run.boxes[0].content.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), run.boxes[0].content.icon);
    EXPECT_EQ(std::vector<int>{IDOK}, run.boxes[0].content.ButtonIds());
    EXPECT_TRUE(run.boxes[0].progressVisible) << "the progress window was hidden before the engine could run";
    EXPECT_TRUE(InstalledSamples().empty()) << "a product was installed";
  }

  // Cancel pressed from inside the setup as `text` is written the
  // `occurrence`-th time into `control` (or `delayMs` later): cancelled.
  RunResult RunCancellingAt(int control, int occurrence, const std::wstring& text, int delayMs = 0) {
    RunScript script;
    script.cancelAtControl = control;
    script.cancelAtOccurrence = occurrence;
    script.cancelDelayMs = delayMs;
    RunResult run = RunEnglish(setup_, script);
    EXPECT_TRUE(run.cancelPressed);
    if (!text.empty()) EXPECT_EQ(text, run.cancelText);
    ExpectCancelled(run);
    return run;
  }
};

TEST_F(CancelTest, AfterTheFirstStatusLine) {
  RunResult run = RunCancellingAt(103, 1, Expected(MSG_PLEASE_WAIT, {L"Tamaris"}));
  ASSERT_FALSE(run.boxes.empty());
  EXPECT_EQ(Expected(MSG_PLEASE_WAIT, {L"Tamaris"}), run.boxes[0].headline);
  // The setup stopped before it looked for the package.
  EXPECT_EQ(L"", run.boxes[0].detail);
  EXPECT_TRUE(server::Log().empty());
}

TEST_F(CancelTest, AfterDownloadMessageBeforeTheDownload) {
  RunResult run = RunCancellingAt(105, 1, Expected(MSG_DOWNLOADING_PACKAGE, {kPackage}));
  ASSERT_FALSE(run.boxes.empty());
  EXPECT_EQ(Expected(MSG_DOWNLOADING_PACKAGE, {kPackage}), run.boxes[0].detail);
  // The download never started.
  EXPECT_TRUE(server::Log().empty());
}

TEST_F(CancelTest, DuringTheDownload) {
  // About 12 s for the package: 256 bytes every 0.25 s.
  ASSERT_TRUE(server::Set("root=signed&mode=slow&chunk=256&delay=0.25"));
  bool pressed = false;
  int positionAtPress = 0, rangeAtPress = 0;
  RunScript script;
  script.whileRunning = [&](HWND progress) {
    if (pressed || !progress || !IsWindowVisible(progress)) return;
    // As a user would: once the bar shows that the download is under way.
    if (ControlText(progress, 105) != Expected(MSG_DOWNLOADING_PACKAGE, {kPackage})) return;
    int position = BarPosition(GetDlgItem(progress, IDC_PROGRESS));
    if (position <= 0) return;
    positionAtPress = position;
    rangeAtPress = BarUpper(GetDlgItem(progress, IDC_PROGRESS));
    pressed = ClickButton(progress, IDCANCEL);
  };
  RunResult run = RunEnglish(setup_, script);
  EXPECT_TRUE(pressed) << "the download was never seen under way";
  EXPECT_LT(positionAtPress, rangeAtPress) << "the press came after the whole package had arrived";
  ExpectCancelled(run);
  ASSERT_FALSE(run.boxes.empty());
  EXPECT_EQ(Expected(MSG_DOWNLOADING_PACKAGE, {kPackage}), run.boxes[0].detail);
  EXPECT_FALSE(run.StatusShown(105, Expected(MSG_VERIFYING_SIGNATURE, {kPackage}))) << "the signature was to be checked after a cancelled download";
  // The server saw the setup give up in the middle.
  std::vector<ServedRequest> requests = server::Log(1);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("aborted", requests[0].end);
  EXPECT_LT(requests[0].bytes, 12000u);
}

TEST_F(CancelTest, AfterVerifyMessageBeforeTheSignatureCheck) {
  // An unsigned package: had its signature been checked, message 22 would
  // follow instead of 24.
  ASSERT_TRUE(server::Set("root=unsigned"));
  RunResult run = RunCancellingAt(105, 2, Expected(MSG_VERIFYING_SIGNATURE, {kPackage}));
  ASSERT_FALSE(run.boxes.empty());
  EXPECT_EQ(Expected(MSG_VERIFYING_SIGNATURE, {kPackage}), run.boxes[0].detail);
  std::vector<ServedRequest> requests = server::Log();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("complete", requests[0].end);
}

// While the signature of the download, or of a package beside the setup, is
// checked (the first check of a run takes a few hundred milliseconds), after
// the last look at Cancel before it: the press still counts until the engine
// has the package.
TEST_F(CancelTest, DuringTheSignatureCheckOfTheDownloadOrOfAPackageBesideTheSetup) {
  for (bool beside : {false, true}) {
    SCOPED_TRACE(beside ? "beside the setup" : "downloaded");
    ASSERT_TRUE(server::Reset() && server::Set("root=signed"));
    if (beside) setup_ = CopySetup(L"tamaris", L"signed", kPackage);
    RunCancellingAt(105, beside ? 1 : 2, Expected(MSG_VERIFYING_SIGNATURE, {kPackage}), 50);
    std::vector<ServedRequest> requests = server::Log();
    ASSERT_EQ(beside ? 0u : 1u, requests.size());
    if (!beside) EXPECT_EQ("complete", requests[0].end);
  }
}

// As the window hides for the engine, the last moment a user can press.
TEST_F(CancelTest, WhileTheWindowHidesForTheEngine) { RunCancellingAt(kCancelAtHide, 0, L""); }

// Return, Space and Esc on the focused control, as a keyboard user presses
// them once the bar moves, without a Tab first: each cancels.
TEST_F(CancelTest, ReturnSpaceOrEscapeDuringTheDownload) {
  for (WPARAM key : {VK_RETURN, VK_SPACE, VK_ESCAPE}) {
    SCOPED_TRACE(key);
    ASSERT_TRUE(server::Reset() && server::Set("root=signed&mode=slow&chunk=256&delay=0.25"));
    int focused = 0;
    RunScript script;
    script.whileRunning = [&](HWND progress) {
      if (focused || !progress || ControlText(progress, 105) != Expected(MSG_DOWNLOADING_PACKAGE, {kPackage})) return;
      if (SendMessageW(GetDlgItem(progress, 104), PBM_GETPOS, 0, 0) <= 0) return;
      GUITHREADINFO input = {sizeof(input)};
      GetGUIThreadInfo(GetWindowThreadProcessId(progress, nullptr), &input);
      focused = input.hwndFocus ? GetDlgCtrlID(input.hwndFocus) : -1;
      PostMessageW(input.hwndFocus, WM_KEYDOWN, key, 1);
      PostMessageW(input.hwndFocus, WM_KEYUP, key, 0xC0000001);
    };
    RunResult run = RunEnglish(setup_, script);
    EXPECT_EQ(IDCANCEL, focused);
    ExpectCancelled(run);
    // The server saw the setup give up (and logs it before the next row).
    std::vector<ServedRequest> requests = server::Log(1);
    EXPECT_EQ("aborted", requests.empty() ? "" : requests[0].end);
    UninstallSamples();
  }
}

TEST_F(CancelTest, InTheLanguageDialog) {
  RunScript script;
  script.cancelLanguage = true;
  RunResult run = RunSetup(setup_, script);
  ASSERT_TRUE(run.finished);
  EXPECT_TRUE(run.languageDialogShown);
  EXPECT_EQ(1602u, run.exitCode);
  EXPECT_TRUE(run.boxes.empty()) << Describe(run);
  EXPECT_TRUE(run.statusTexts.empty()) << "a status line was written after the language was cancelled";
  EXPECT_TRUE(server::Log().empty());
  EXPECT_TRUE(InstalledSamples().empty());
}

}  // namespace
