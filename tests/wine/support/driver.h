// A small library for the Windows test programs (GoogleTest, run under Wine):
// start a setup executable and read its whole exit code, find and read its
// windows (message boxes, dialogs), press their buttons, and make the folders
// and copies a scenario needs.
//
// Every process started here is killed at the latest at the end of the test
// that started it (and when the test program itself ends), so that one
// failing test cannot leave a setup behind that holds the single-instance
// mutex or waits in a message box for ever.
//
// Under Wine the driver sets "Managed"="N" for the X11 driver of this program
// and of every program it starts (HKCU\Software\Wine\AppDefaults\<file
// name>\X11 Driver): without a window manager (Xvfb) Wine otherwise waits two
// seconds each time a window is hidden or closed.
//
// The language of a child's texts. Under Wine a process takes its user
// interface language from the Unix locale variables (LC_ALL, LC_MESSAGES,
// LANG) that its Unix process was started with. A child started with
// CreateProcessW gets the Unix environment of its parent, whatever Windows
// environment block is passed: "LC_ALL=sl_SI.UTF-8" in that block is seen
// by GetEnvironmentVariableW in the child but changes neither
// GetUserDefaultUILanguage() nor the language that the resource loader picks
// (checked with Wine 8.0). A test that needs another language therefore runs
// its whole test program in that locale: the suite registers the program
// once per language with LC_ALL in the ctest ENVIRONMENT property
// (pelorin_per_language), and the program checks UiLanguage() before it
// trusts the result; the Language fixture of cases/shell_test.cpp checks the
// fact itself first. StartOptions::environment still sets the Windows
// environment of the child, for what it is worth there.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace pelorin_test {

// ------------------------------------------------------------------ paths

// The build folder as Windows sees it (PELORIN_TEST_BIN_DIR, drive Z: under Wine).
std::wstring BinDir();
// A file below the build folder: BinPath(L"Pelorin.exe").
std::wstring BinPath(const std::wstring& relative);
// The shipped setup of this build.
std::wstring SetupPath();
// The folder of the running test program.
std::wstring OwnDir();
// Folder part of a path, without the final backslash.
std::wstring FolderOf(const std::wstring& path);
bool FileExists(const std::wstring& path);
// The registry view of this build, named: where the program, built alike,
// reads its own keys. Any other read names the view it means (check_views.py).
constexpr REGSAM kOwnView = sizeof(void*) == 4 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// A new, empty folder below the user's temporary folder, removed with all its
// content when the object goes. `name` becomes part of the folder's name; the
// default holds blanks and letters outside ASCII, as user folders often do.
class TempFolder {
public:
  explicit TempFolder(const std::wstring& name = L"Pelorin test \u010D\u0161\u017E \u00DCber");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::wstring& path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
  // Copies `source` into the folder, as `name` or under its own name; the
  // copy's full path, or empty on failure.
  std::wstring Copy(const std::wstring& source, const std::wstring& name = L"") const;
  // Writes a file of bytes; its full path, or empty on failure.
  std::wstring Write(const std::wstring& name, const std::string& bytes) const;

private:
  std::wstring path_;
};

// Deletes a folder and everything in it.
void RemoveFolder(const std::wstring& path);
// A registry value put back as it was (or removed, and its key with it when
// the key was made here) when the object goes: a test changes it freely.
class SavedRegistryValue {
public:
  SavedRegistryValue(HKEY root, const wchar_t* key, const wchar_t* name, REGSAM view);
  ~SavedRegistryValue();
  SavedRegistryValue(const SavedRegistryValue&) = delete;
  SavedRegistryValue& operator=(const SavedRegistryValue&) = delete;
  HKEY key() const { return key_; }
  bool SetText(const std::wstring& text);  // as REG_SZ

private:
  HKEY root_, key_ = nullptr;
  std::wstring path_, name_;
  REGSAM view_;
  bool createdKey_ = false, hadValue_ = false;
  DWORD type_ = 0;
  std::vector<BYTE> saved_;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadBytes(const std::wstring& path);

// What the stand-ins of standins/fake_engine recorded in the file named by
// PELORIN_FAKE_RECORD: one run each, in order.
struct ChildRun {
  std::wstring commandLine;
  std::wstring modulePath;
};
std::vector<ChildRun> StandInRuns(const std::wstring& recordFile);

// ------------------------------------------------------------------ processes

struct StartOptions {
  // "NAME=value" entries that are set in (or, with an empty value, removed
  // from) a copy of this program's environment, which the child gets. See
  // the note at the top about LC_ALL under Wine.
  std::vector<std::wstring> environment;
  // Working folder of the child; empty: this program's.
  std::wstring currentDir;
};

// A started setup. Not copyable; killed when it goes out of scope while it
// still runs.
class Process {
public:
  Process() = default;
  ~Process();
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts `exe` with the command line `"exe" arguments` (arguments as they
  // stand: quote them yourself, see Quote). ok() tells whether it started;
  // error() then holds the reason.
  static Process Start(const std::wstring& exe, const std::wstring& arguments, const StartOptions& options = {});

  bool ok() const { return handle_ != nullptr; }
  const std::wstring& error() const { return error_; }
  HANDLE handle() const { return handle_; }
  DWORD id() const { return id_; }

  // Waits for the end; true when the process has ended within the time.
  bool WaitForExit(DWORD timeoutMs) const;
  bool Running() const;
  // The whole 32-bit exit code (GetExitCodeProcess); STILL_ACTIVE (259)
  // while the process runs.
  DWORD ExitCode() const;
  // Waits for the end and gives the exit code, or nothing (false) after the
  // time-out; the process is then killed.
  bool Finish(DWORD timeoutMs, DWORD* exitCode);
  // Ends the process at once (exit code 0xDEAD), when it still runs.
  void Kill();

private:
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
  std::wstring error_;
};

// `text` in double quotes (for paths with blanks; no quote may be inside).
std::wstring Quote(const std::wstring& text);

// Kills every process that this program started and that still runs; the
// number killed. Called by itself after each test.
int KillLeftovers();

// The user-interface language of this program, which its children share
// under Wine (see the note at the top).
LANGID UiLanguage();

// ------------------------------------------------------------------ windows

// Visible top-level windows of process `pid`, optionally only of one window
// class ("#32770" is the class of dialogs and message boxes).
std::vector<HWND> TopLevelWindows(DWORD pid, const wchar_t* className = nullptr);

// Waits up to `timeoutMs` for a visible top-level window of `pid` of the
// class for which `accept` (when given) is true; null after the time-out.
// Gives up early when `process` (when given) ends.
HWND WaitForWindow(DWORD pid, const wchar_t* className, DWORD timeoutMs,
                   const std::function<bool(HWND)>& accept = nullptr, HANDLE process = nullptr);

// Whether a dialog window is a message box: a "#32770" with a static text
// control and push buttons only, and none of the setup's own controls.
bool IsMessageBox(HWND window);
// Waits for a message box of `pid` (see WaitForWindow).
HWND WaitForMessageBox(DWORD pid, DWORD timeoutMs, HANDLE process = nullptr);
// Window class and text (the text through WM_GETTEXT, which also works for
// windows of other processes).
std::wstring ClassName(HWND window);
std::wstring WindowText(HWND window);

// The items of a combo box in list order, and the one selected (empty when
// none is).
std::vector<std::wstring> ComboItems(HWND combo);
std::wstring ComboSelection(HWND combo);
// The text of the dialog's control `id`; empty when there is none.
std::wstring ControlText(HWND dialog, int id);

struct Button {
  int id;  // IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7, ...
  std::wstring text;
};

struct MessageBoxContent {
  std::wstring caption;
  std::wstring text;
  std::vector<Button> buttons;  // visible push buttons, in window order
  // MB_ICONERROR (0x10), MB_ICONQUESTION (0x20), MB_ICONWARNING (0x30),
  // MB_ICONINFORMATION (0x40), 0 for no icon, or kIconUnknown when the icon
  // could not be told (see IconStyle).
  UINT icon;
  HWND owner;
  std::vector<int> ButtonIds() const;
};
const UINT kIconUnknown = 0xFFFFFFFFu;

MessageBoxContent ReadMessageBox(HWND box);

// The MB_ICON style of a message box, told from its icon control: by the
// icon handle when the box belongs to this process; otherwise (or when the
// handle is none of the system icons) by comparing the control's pixels on
// screen with each system icon drawn here. kIconUnknown when it cannot be
// told.
UINT IconStyle(HWND box);

// Presses button `id` of a dialog or message box by posting WM_COMMAND
// (BN_CLICKED) to it; false when the dialog has no such enabled button.
bool ClickButton(HWND dialog, int id);

// Waits until `window` no longer exists; true when it went in time.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);

// ------------------------------------------------------------------ in-process tests

// Runs `work` on a new thread (for calls that block in a message box).
class Worker {
public:
  explicit Worker(std::function<void()> work);
  ~Worker();  // waits for the thread (and gives up after 10 s)
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;
  // Waits for the end while serving this thread's messages; true when ended.
  bool Wait(DWORD timeoutMs);
  DWORD threadId() const { return threadId_; }
  HANDLE handle() const { return thread_; }

private:
  static DWORD WINAPI Run(void* self);
  std::function<void()> work_;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
};

// Serves this thread's messages for `ms` milliseconds.
void PumpMessages(DWORD ms);

// ------------------------------------------------------------------ text

// For failure messages: UTF-8, with line feeds shown as \n.
std::string Printable(const std::wstring& text);

}  // namespace pelorin_test
