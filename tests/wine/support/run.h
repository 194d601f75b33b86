// The one way the tests start the setup and read what it showed.
//
//   RunSetup(exe, script, arguments)  the setup executable as a process, as a
//                                     user or a calling script starts it;
//   RunInProcess(work, script)        the setup's own code in this test
//                                     program: `work` on a worker thread while
//                                     this thread is the user-interface thread.
//
// Both answer the setup's dialogs by a RunScript while it runs and tell in a
// RunResult what it showed and how it ended. Lower-level pieces (processes,
// windows, message boxes) are in support/driver.h.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/catalogue.h"
#include "support/driver.h"

class CNapredekDlg;

namespace pelorin_test {

struct RunScript {
  // False: nothing is answered or pressed; whileRunning plays the user.
  bool answer = true;
  // The language dialog: the name to choose (empty: leave the selection as
  // it opens) and whether to press Cancel instead of OK.
  std::wstring language;
  bool cancelLanguage = false;
  // Buttons to press, one per message box in the order the boxes appear;
  // beyond them `questionAnswer` where the box has it, else its first button.
  std::vector<int> answers;
  int questionAnswer = IDYES;
  // Called about every 20-50 ms with the progress window (null until seen),
  // for what a test does while the setup works (press Cancel, ...).
  std::function<void(HWND progress)> whileRunning;
  DWORD timeoutMs = 180000;

  // -- a process only (through the hook library install_cancel_hook.dll)
  // Record the status texts (statusTexts); a run that looks only at the
  // windows goes without the hook.
  bool recordStatus = true;
  // Hear the setup's name and live-region events as a screen reader's
  // out-of-context hook does (lineEvents).
  bool recordEvents = false;
  // Press Cancel from inside the setup when the `cancelAtOccurrence`-th text
  // is written into status control `cancelAtControl` (103 or 105); 0: never;
  // kCancelAtHide: as the progress window hides for the engine.
  // Or that long after the text, while the setup works on.
  int cancelAtControl = 0;
  int cancelAtOccurrence = 0;
  int cancelDelayMs = 0;
  // Called once while the setup is held where its progress window is hidden
  // for the engine: after the package's check, before its installation.
  std::function<void()> whileHeldForTheEngine;
  // Refuse every window of this class ("#32770") that Pelorin.exe tries to
  // create after the first `refuseAfter`, as a system out of resources would.
  std::wstring refuseWindows;
  int refuseAfter = 0;

  // -- in this process only
  // Called on this thread for every text put on a status line (control,
  // text), before the worker goes on; may press Cancel.
  std::function<void(int, const std::wstring&)> onStatus;
  // Called on this thread after the worker has ended, as the framework calls
  // the application's end; its value is the run's exit code.
  std::function<DWORD()> atEnd;
};

struct ShownBox {
  MessageBoxContent content;
  // The progress window's state while the box was open.
  std::wstring headline;
  std::wstring detail;
  std::wstring progressCaption;
  bool progressVisible = false;
  bool progressEnabled = false;
  // Top-level windows of the setup when the box was seen.
  size_t windows = 0;
  DWORD seenAt = 0;  // GetTickCount() when first seen (within about 50 ms)
  // The bytes of the file that the text names between single quotes, read
  // while the box was open (the setup holds its download until the run
  // ends, and then removes it); empty when it names none.
  std::string namedFile;
};

struct RunResult {
  bool started = false;
  bool finished = false;
  DWORD exitCode = 0;
  std::vector<ShownBox> boxes;
  // A window that is neither a message box nor a setup dialog, or any window
  // at all: the first one's class and text.
  std::wstring firstWindow;
  // The language dialog, when shown.
  bool languageDialogShown = false;
  std::wstring languageCaption;
  std::vector<std::wstring> languageItems;  // in list order
  std::wstring languageSelectedAtOpen;
  // The cancel hook: whether it pressed Cancel, and the text then written.
  bool cancelPressed = false;
  std::wstring cancelText;
  // Every text written into the status lines, in order, as (control, text),
  // once the recording was in place (a process: its hook).
  bool statusRecorded = false;
  std::vector<std::pair<int, std::wstring>> statusTexts;
  bool StatusShown(int control, const std::wstring& text) const;
  std::vector<std::wstring> StatusTexts(int control) const;
  // Each name-change or live-region event the setup raised, as (control,
  // event), as a screen reader's out-of-context hook received them.
  std::vector<std::pair<int, DWORD>> lineEvents;
  bool progressSeen = false;
  HWND progressWindow = nullptr;  // gone by the time the run returns
  bool heldForTheEngine = false;
  int windowsRefused = 0;
};

// Starts `exe` with `arguments`, answers its dialogs by `script` until it
// ends, and tells what it showed and how it ended.
RunResult RunSetup(const std::wstring& exe, const RunScript& script = {}, const std::wstring& arguments = L"");
// RunSetup with English chosen in the language dialog.
RunResult RunEnglish(const std::wstring& exe, RunScript script = {});

// Runs `work` on a second thread, as the setup's worker, while this thread
// serves the messages as the setup's loop does (the main window's dialog
// keys included) until the work ends or posts its quit message; message
// boxes are answered from a third thread, by `script`. `finished` tells
// whether the work ended within `script.timeoutMs`.
RunResult RunInProcess(const std::function<void()>& work, const RunScript& script = {});
// RunInProcess of a call that shows one message box, answered with
// `button`: the box (empty, and a failure, when none came).
MessageBoxContent AnswerOneBox(const std::function<void()>& call, int button = IDOK, DWORD timeoutMs = 20000);

// The setup's progress window made as start-up makes it, on this thread,
// parented to the desktop and made the application's main window, with the
// application title read as start-up reads it; null when it cannot be made.
HWND MakeProgressWindow();
// Presses the progress window's Cancel button from this thread, which owns
// it: the press is handled before the call returns.
void PressCancel();

// A test of the setup's own windows in this process: the progress window
// made by MakeProgressWindow before each test and destroyed after it.
class ProgressWindowTest : public testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // Destroys the window and makes it again, as start-up does.
  void Recreate();
  static CNapredekDlg& progress();
  static HWND window();
  static HWND control(int id) { return GetDlgItem(window(), id); }
};
// The progress bar's position and upper limit.
int BarPosition(HWND bar);
int BarUpper(HWND bar);
// The run folders (Pelorin-*) in the temporary folder now.
std::vector<std::wstring> RunFolders();

// The bytes of the file that `text` names between its first and last single
// quote; empty when there is none.
std::string QuotedFileBytes(const std::wstring& text);
// For failure messages: each box as "icon: text".
std::string Describe(const RunResult& run);
// The run ended with `exitCode` after one error box with `text` (OK only).
void ExpectOneError(const RunResult& run, DWORD exitCode, const std::wstring& text);

// A visible dialog of this process that is neither a message box nor
// `except`; null when there is none.
HWND OpenDialog(HWND except = nullptr);
// Serves this thread's messages while `condition` holds, at most `timeoutMs`.
void PumpWhile(const std::function<bool()>& condition, DWORD timeoutMs);
// The whole exit code in hexadecimal, for comparisons that print well.
std::string Hex(DWORD code);

}  // namespace pelorin_test
