#include "support/run.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <set>

#include "support/install_cancel_hook.h"

namespace pelorin_test {

namespace {

// The cancel hook's shared block and the hook, while a run uses them.
class CancelHook {
public:
  CancelHook(int controlId, int occurrence, int delayMs) {
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(CancelHookShared),
                                  kCancelHookSharedName);
    if (mapping_) shared_ = static_cast<CancelHookShared*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (shared_) {
      ZeroMemory(shared_, sizeof *shared_);
      shared_->controlId = controlId;
      shared_->occurrence = occurrence;
      shared_->delayMs = delayMs;
    }
    library_ = LoadLibraryW((OwnDir() + L"\\install_cancel_hook.dll").c_str());
  }
  ~CancelHook() {
    if (refuseHook_) UnhookWindowsHookEx(refuseHook_);
    if (hook_) UnhookWindowsHookEx(hook_);
    if (library_) FreeLibrary(library_);
    if (shared_) UnmapViewOfFile(shared_);
    if (mapping_) CloseHandle(mapping_);
  }
  bool Install(DWORD threadId) {
    if (!shared_ || !library_) return false;
    HOOKPROC procedure = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(library_, "CancelOnStatusText")));
    if (!procedure) return false;
    hook_ = SetWindowsHookExW(WH_CALLWNDPROC, procedure, library_, threadId);
    return hook_ != nullptr;
  }
  // Refuses the windows of `windowClass` of every Pelorin.exe from now on,
  // after the first `letThrough`.
  bool RefuseWindows(const std::wstring& windowClass, int letThrough) {
    if (!shared_ || !library_ || windowClass.size() >= ARRAYSIZE(shared_->refusedClass)) return false;
    HOOKPROC procedure = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(library_, "RefuseDialogWindows")));
    if (!procedure) return false;
    lstrcpyW(shared_->refusedClass, windowClass.c_str());
    shared_->letThrough = letThrough;
    refuseHook_ = SetWindowsHookExW(WH_CBT, procedure, library_, 0);
    return refuseHook_ != nullptr;
  }
  int refused() const { return shared_ ? (int)shared_->refused : 0; }
  bool installed() const { return hook_ != nullptr; }
  bool fired() const { return shared_ && shared_->fired; }
  std::vector<std::pair<int, std::wstring>> texts() const {
    std::vector<std::pair<int, std::wstring>> texts;
    for (LONG i = 0; shared_ && i < shared_->textCount && i < kCancelHookTextCount; ++i)
      texts.emplace_back(shared_->textControl[i], shared_->texts[i]);
    return texts;
  }
  std::wstring text() const { return shared_ ? std::wstring(shared_->text) : std::wstring(); }
  void PauseAtHide() {
    if (shared_) shared_->pauseAtHide = 1;
  }
  bool paused() const { return shared_ && shared_->paused && !shared_->resumed; }
  void Resume() {
    if (shared_) InterlockedExchange(&shared_->resumed, 1);
  }

private:
  HANDLE mapping_ = nullptr;
  CancelHookShared* shared_ = nullptr;
  HMODULE library_ = nullptr;
  HHOOK hook_ = nullptr;
  HHOOK refuseHook_ = nullptr;
};

const wchar_t* IconName(UINT icon) {
  switch (icon) {
    case MB_ICONERROR: return L"error";
    case MB_ICONWARNING: return L"warning";
    case MB_ICONINFORMATION: return L"information";
    case MB_ICONQUESTION: return L"question";
    case 0: return L"none";
    default: return L"unknown";
  }
}

bool IsLanguageDialog(HWND window) { return GetDlgItem(window, IDC_LANGUAGE_LIST) != nullptr; }
bool IsProgressWindow(HWND window) {
  return GetDlgItem(window, IDC_HEADLINE) && GetDlgItem(window, IDC_DETAIL) && GetDlgItem(window, IDC_PROGRESS);
}

}  // namespace

// What both kinds of run do with a dialog: read it and answer it by the
// script. A box is recorded with the progress window's state beside it.
void ReadAndAnswerLanguageDialog(HWND window, const RunScript& script, RunResult& run) {
  run.languageDialogShown = true;
  run.languageCaption = WindowText(window);
  HWND combo = GetDlgItem(window, IDC_LANGUAGE_LIST);
  run.languageItems = ComboItems(combo);
  run.languageSelectedAtOpen = ComboSelection(combo);
  int count = (int)run.languageItems.size();
  if (!script.answer) return;
  if (script.cancelLanguage) {
    ClickButton(window, IDCANCEL);
    return;
  }
  if (!script.language.empty()) {
    int index = -1;
    for (int i = 0; i < count; ++i)
      if (lstrcmpiW(run.languageItems[i].c_str(), script.language.c_str()) == 0) index = i;
    if (index < 0) ADD_FAILURE() << "the language list has no " << Printable(script.language);
    SendMessageW(combo, CB_SETCURSEL, index, 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  }
  ClickButton(window, IDOK);
}

void ReadAndAnswerBox(HWND window, HWND progress, DWORD pid, const RunScript& script, RunResult& run) {
  ShownBox box;
  box.seenAt = GetTickCount();
  box.content = ReadMessageBox(window);
  box.namedFile = QuotedFileBytes(box.content.text);
  box.windows = TopLevelWindows(pid).size();
  if (progress && IsWindow(progress)) {
    box.headline = ControlText(progress, IDC_HEADLINE);
    box.detail = ControlText(progress, IDC_DETAIL);
    box.progressCaption = WindowText(progress);
    box.progressVisible = IsWindowVisible(progress) != FALSE;
    box.progressEnabled = IsWindowEnabled(progress) != FALSE;
  }
  size_t index = run.boxes.size();
  run.boxes.push_back(box);
  if (!script.answer) return;
  std::vector<int> ids = box.content.ButtonIds();
  int answer = ids.empty() ? IDOK : ids.front();
  for (int id : ids)
    if (id == (index < script.answers.size() ? script.answers[index] : script.questionAnswer)) answer = id;
  ClickButton(window, answer);
}

namespace {

// One look at the setup's windows: the progress window found, the dialogs
// answered (each once), any other window noted.
void Look(DWORD pid, const RunScript& script, CancelHook* hook, std::set<HWND>& answered, RunResult& run) {
  const std::vector<HWND> windows = TopLevelWindows(pid);
  // The progress window first: a box that came with it in this look is read
  // beside it.
  for (HWND window : windows) {
    if (run.firstWindow.empty()) run.firstWindow = ClassName(window) + L" \"" + WindowText(window) + L"\"";
    if (lstrcmpiW(ClassName(window).c_str(), L"#32770") != 0 || !IsProgressWindow(window)) continue;
    run.progressWindow = window;
    run.progressSeen = true;
    if (hook && !hook->installed()) hook->Install(GetWindowThreadProcessId(window, nullptr));
  }
  for (HWND window : windows) {
    if (lstrcmpiW(ClassName(window).c_str(), L"#32770") != 0 || IsProgressWindow(window)) continue;
    if (answered.count(window)) continue;
    bool language = IsLanguageDialog(window);
    if (!language && !IsMessageBox(window)) continue;
    answered.insert(window);
    // The worker waits in the dialog: the hook is in place before it goes on.
    if (hook && !hook->installed()) {
      HWND owner = GetWindow(window, GW_OWNER);
      if ((!owner || !hook->Install(GetWindowThreadProcessId(owner, nullptr))) && language)
        ADD_FAILURE() << "the status hook could not be put in place";
    }
    if (language)
      ReadAndAnswerLanguageDialog(window, script, run);
    else
      ReadAndAnswerBox(window, run.progressWindow, pid, script, run);
  }
}

const DWORD kLiveRegionChanged = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED
std::vector<std::pair<int, DWORD>>* g_lineEvents = nullptr;
void CALLBACK RecordLineEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG, LONG, DWORD, DWORD) {
  if (g_lineEvents && (event == EVENT_OBJECT_NAMECHANGE || event == kLiveRegionChanged))
    g_lineEvents->emplace_back(window ? GetDlgCtrlID(window) : 0, event);
}

// A screen reader's out-of-context hook of the setup's name and live-region
// events, while the run lasts.
struct LineEventHook {
  LineEventHook(DWORD pid, RunResult& run) {
    if (!pid) return;
    g_lineEvents = &run.lineEvents;
    hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, kLiveRegionChanged, nullptr, RecordLineEvent, pid, 0,
                           WINEVENT_OUTOFCONTEXT);
    if (!hook) ADD_FAILURE() << "no event hook";
  }
  ~LineEventHook() {
    if (hook) UnhookWinEvent(hook);
    g_lineEvents = nullptr;
  }
  HWINEVENTHOOK hook = nullptr;
};

}  // namespace

RunResult RunSetup(const std::wstring& exe, const RunScript& script, const std::wstring& arguments) {
  RunResult run;
  std::unique_ptr<CancelHook> hook;
  if (script.recordStatus || script.cancelAtControl || script.whileHeldForTheEngine || !script.refuseWindows.empty())
    hook.reset(new CancelHook(script.cancelAtControl, script.cancelAtOccurrence, script.cancelDelayMs));
  if (script.whileHeldForTheEngine) hook->PauseAtHide();
  if (!script.refuseWindows.empty() && !hook->RefuseWindows(script.refuseWindows, script.refuseAfter)) {
    ADD_FAILURE() << "the hook that refuses windows could not be put in place";
    return run;
  }
  Process setup = Process::Start(exe, arguments);
  run.started = setup.ok();
  if (!setup.ok()) {
    ADD_FAILURE() << "cannot start " << Printable(exe) << ": " << Printable(setup.error());
    return run;
  }
  LineEventHook lineEvents(script.recordEvents ? setup.id() : 0, run);
  std::set<HWND> answered;
  DWORD start = GetTickCount();
  while (setup.Running()) {
    if (GetTickCount() - start > script.timeoutMs) {
      // Where it stands: whether its window still answers, and what it says.
      HWND progress = run.progressWindow;
      DWORD_PTR ignored = 0;
      bool answers = progress && SendMessageTimeoutW(progress, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
      ADD_FAILURE() << "the setup did not end within " << script.timeoutMs / 1000 << " s; it showed: " << Describe(run)
                    << "; its window " << (answers ? "answers" : "does not answer") << ", detail: "
                    << Printable(progress ? ControlText(progress, IDC_DETAIL) : L"");
      setup.Kill();
      return run;
    }
    Look(setup.id(), script, hook.get(), answered, run);
    if (script.whileRunning) script.whileRunning(run.progressWindow);
    if (script.whileHeldForTheEngine && hook->paused()) {
      script.whileHeldForTheEngine();
      run.heldForTheEngine = true;
      hook->Resume();
    }
    PumpMessages(script.answer ? 50 : 20);
  }
  run.finished = true;
  run.exitCode = setup.ExitCode();
  if (!hook) return run;
  run.cancelPressed = hook->fired();
  run.cancelText = hook->text();
  run.statusRecorded = hook->installed();
  run.statusTexts = hook->texts();
  run.windowsRefused = hook->refused();
  return run;
}

RunResult RunEnglish(const std::wstring& exe, RunScript script) {
  script.language = L"English";
  return RunSetup(exe, script);
}

bool RunResult::StatusShown(int control, const std::wstring& text) const {
  for (const auto& shown : statusTexts)
    if (shown.first == control && shown.second == text) return true;
  return false;
}

std::vector<std::wstring> RunResult::StatusTexts(int control) const {
  std::vector<std::wstring> texts;
  for (const auto& shown : statusTexts)
    if (shown.first == control) texts.push_back(shown.second);
  return texts;
}

std::string Describe(const RunResult& run) {
  std::wstring text;
  if (run.boxes.empty()) text = L"no message";
  for (const ShownBox& box : run.boxes) {
    if (!text.empty()) text += L"; ";
    text += std::wstring(IconName(box.content.icon)) + L": " + box.content.text;
  }
  return Printable(text);
}

void ExpectOneError(const RunResult& run, DWORD exitCode, const std::wstring& text) {
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(exitCode, run.exitCode);
  ASSERT_EQ(1u, run.boxes.size()) << Describe(run);
  EXPECT_EQ(Printable(text), Printable(run.boxes[0].content.text));
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), run.boxes[0].content.icon);
  EXPECT_EQ(std::vector<int>{IDOK}, run.boxes[0].content.ButtonIds());
}

HWND OpenDialog(HWND except) {
  for (HWND window : TopLevelWindows(GetCurrentProcessId(), L"#32770"))
    if (window != except && !IsMessageBox(window)) return window;
  return nullptr;
}

void PumpWhile(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD begin = GetTickCount();
  while (condition() && GetTickCount() - begin < timeoutMs) PumpMessages(10);
}

int BarPosition(HWND bar) { return (int)SendMessageW(bar, PBM_GETPOS, 0, 0); }
int BarUpper(HWND bar) { return (int)SendMessageW(bar, PBM_GETRANGE, FALSE, 0); }

std::vector<std::wstring> RunFolders() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::vector<std::wstring> folders;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((std::wstring(temp) + L"Pelorin-*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return folders;
  do folders.push_back(std::wstring(temp) + found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return folders;
}

std::string Hex(DWORD code) {
  char text[16];
  snprintf(text, sizeof(text), "0x%08lX", (unsigned long)code);
  return text;
}

std::string QuotedFileBytes(const std::wstring& text) {
  size_t first = text.find(L'\''), last = text.rfind(L'\'');
  if (first == std::wstring::npos || last <= first + 1) return "";
  return ReadBytes(text.substr(first + 1, last - first - 1));
}

}  // namespace pelorin_test
