// Runs the setup's worker in this test program as the setup runs it: this
// thread plays the user-interface thread (it owns the progress window and
// serves its messages until the worker's quit message, then ends the run
// with the application's ExitInstance), and a second thread of the test
// answers the message boxes as a user would, from a script, and records
// them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/driver.h"

namespace upgrade_test {

struct SetupRun {
  // Buttons to press, one per message box in the order they appear; boxes
  // beyond the script get OK, or No where there is no OK.
  std::vector<int> answers;
  // Called on this thread for every text put on the progress window's second
  // status line, before the worker goes on; may press Cancel.
  std::function<void(const std::wstring&)> onDetail;
  // Called on this thread every few milliseconds while the worker runs.
  std::function<void()> tick;
};

struct SetupOutcome {
  bool finished = false;       // the worker posted its quit message in time
  DWORD workerResult = 0;      // the worker thread's exit value
  DWORD exitCode = 0;          // what ExitInstance returned
  bool engineBound = false;    // msi.dll bound when the worker ended
  bool restartPending = false; // as the worker left it
  HWND progressWindow = nullptr;  // gone by the time the run returns
  std::vector<pelorin_test::MessageBoxContent> boxes;
  std::vector<std::wstring> details;  // texts of the second status line, in order
};

// Runs SetupWorker from start to end, then ExitInstance.
SetupOutcome RunSetupWorker(const SetupRun& run);
// The same with only the answers to the message boxes.
SetupOutcome RunSetupWorker(std::vector<int> answers = {});

// Presses the progress window's Cancel button; from this thread, which owns
// the window, the press is handled before the call returns.
void PressCancel();

}  // namespace upgrade_test
