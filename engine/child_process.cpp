#include "engine/child_process.h"

#include <initializer_list>
#include <stdlib.h>

#define STRSAFE_NO_DEPRECATE
#include <strsafe.h>

#include "afx/handles.h"

namespace {

// The switch with which the engine redistributable installs quietly and
// leaves the restart to the setup (26 characters with the leading blank).
const wchar_t kUpgradeSwitch[] = L" /c:\"msiinst /delayreboot\"";
// Between the setup's path and the checked file's: the closing quote of the
// first is not part of it (5 characters).
const wchar_t kVerifySwitch[] = L" /v \"";

// Owns the command-line buffer of one run.
struct Buffer {
  explicit Buffer(size_t count) : text(static_cast<wchar_t*>(malloc(count * sizeof(wchar_t)))) {}
  ~Buffer() { free(text); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  wchar_t* text;
};

// Builds a command line from `parts` into a buffer of exactly `size`
// characters, starts it and waits for its end; the child's exit code, or
// why it could not run.
SetupResult RunChild(size_t size, std::initializer_list<const wchar_t*> parts) {
  Buffer commandLine(size);
  if (!commandLine.text) return kResultOutOfMemory;
  // Bounded copies: a size that the paths do not add up to (or one beyond
  // what a command line can hold) is refused instead of overrunning.
  const wchar_t* const* part = parts.begin();
  if (FAILED(StringCchCopyW(commandLine.text, size, *part))) return kResultInstallFailure;
  for (++part; part != parts.end(); ++part)
    if (FAILED(StringCchCatW(commandLine.text, size, *part))) return kResultInstallFailure;

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION child = {};
  // No application name: the program is the first, quoted token, so a path
  // with blanks cannot be read as a shorter program with arguments.
  if (!CreateProcessW(nullptr, commandLine.text, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                      nullptr, &startup, &child))
    return GetLastError();
  // Declared in this order so that the process handle is closed first.
  UniqueHandle thread(child.hThread);
  UniqueHandle process(child.hProcess);

  DWORD waited = WaitPumpingMessages(process.get());
  if (waited != 0) return waited;
  DWORD exitCode = 0;
  GetExitCodeProcess(process.get(), &exitCode);
  return exitCode;
}

}  // namespace

SetupResult RunEngineUpgrade(const wchar_t* upgradePath) {
  size_t size = (size_t)lstrlenW(upgradePath) + 26 + 3;
  return RunChild(size, {L"\"", upgradePath, L"\"", kUpgradeSwitch});
}

SetupResult RunSignatureCheck(const wchar_t* exePath, const wchar_t* filePath) {
  size_t size = (size_t)lstrlenW(exePath) + (size_t)lstrlenW(filePath) + 9;
  return RunChild(size, {L"\"", exePath, L"\"", kVerifySwitch, filePath, L"\""});
}

DWORD WaitPumpingMessages(HANDLE process) {
  for (;;) {
    // MWMO_INPUTAVAILABLE: wake while anything is queued, not only for
    // messages that arrived since the queue was last looked at. Otherwise a
    // second message already waiting when one is taken would stay in the
    // queue until the child ends, as only one is taken per wake-up.
    DWORD wait = MsgWaitForMultipleObjectsEx(1, &process, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (wait == WAIT_OBJECT_0) return 0;
    if (wait != WAIT_OBJECT_0 + 1) return GetLastError();
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      // WM_QUIT included: the wait ends only with the child.
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}
