#include "support/driver.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pelorin_test {

namespace {

// ------------------------------------------------------------------ bookkeeping

// Every process started by this program: a handle of our own and its id.
struct Started {
  HANDLE handle;
  DWORD id;
};
SRWLOCK g_lock = SRWLOCK_INIT;

// The win32 thread model of MinGW has no std::mutex.
class Lock {
public:
  Lock() { AcquireSRWLockExclusive(&g_lock); }
  ~Lock() { ReleaseSRWLockExclusive(&g_lock); }
};
std::vector<Started> g_started;

// A job that holds every started process (and whatever those start), so that
// they die with this program even when it is killed by a time-out.
HANDLE Job() {
  static HANDLE job = [] {
    HANDLE created = CreateJobObjectW(nullptr, nullptr);
    if (created) {
      JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
      limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
      SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    }
    return created;
  }();
  return job;
}

// Kills leftovers after every test, and reports them on the test's output.
class LeftoverKiller : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo& test) override {
    int killed = KillLeftovers();
    if (killed > 0)
      printf("[ driver   ] %s.%s left %d process(es) running; killed\n", test.test_suite_name(), test.name(), killed);
  }
  void OnTestProgramEnd(const testing::UnitTest&) override { KillLeftovers(); }
};

// Under Wine without a window manager (Xvfb), every window that is hidden or
// closed makes its thread wait two seconds for a window manager's answer that
// never comes. Unmanaged windows do not wait. Wine's X11 driver reads this
// setting when it starts in a process, per program file name, so it is set
// for this program when it starts and for each program before it is started.
// (It stays in the test prefix; it changes nothing that the tests look at.)
void UnmanageWineWindows(const std::wstring& exePath) {
  static const bool underWine = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
  }();
  if (!underWine) return;
  std::wstring name = exePath.substr(exePath.find_last_of(L"\\/") + 1);
  std::wstring key = L"Software\\Wine\\AppDefaults\\" + name + L"\\X11 Driver";
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS)
    return;
  static const wchar_t kNo[] = L"N";
  RegSetValueExW(handle, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo), sizeof(kNo));
  RegCloseKey(handle);
}

std::wstring OwnPath() {
  wchar_t path[MAX_PATH * 2];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  return std::wstring(path, length);
}

// Done when the program starts (the listener list exists before main).
const bool g_started_up = [] {
  UnmanageWineWindows(OwnPath());
  testing::UnitTest::GetInstance()->listeners().Append(new LeftoverKiller);
  return true;
}();

bool SameText(const std::wstring& a, const wchar_t* b) { return b && lstrcmpiW(a.c_str(), b) == 0; }

std::wstring EnvironmentName(const std::wstring& entry) {
  // A name may begin with "=" (the per-drive folders of cmd): skip that one.
  size_t equals = entry.find(L'=', 1);
  return entry.substr(0, equals == std::wstring::npos ? entry.size() : equals);
}

std::vector<wchar_t> EnvironmentBlock(const std::vector<std::wstring>& changes) {
  std::vector<std::wstring> entries;
  if (wchar_t* current = GetEnvironmentStringsW()) {
    for (const wchar_t* p = current; *p; p += wcslen(p) + 1) entries.push_back(p);
    FreeEnvironmentStringsW(current);
  }
  for (const std::wstring& change : changes) {
    std::wstring name = EnvironmentName(change);
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::wstring& e) { return lstrcmpiW(EnvironmentName(e).c_str(), name.c_str()) == 0; }),
                  entries.end());
    if (change.size() > name.size() + 1) entries.push_back(change);
  }
  std::vector<wchar_t> block;
  for (const std::wstring& e : entries) {
    block.insert(block.end(), e.begin(), e.end());
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

struct FindWindowsData {
  DWORD pid;
  const wchar_t* className;
  std::vector<HWND>* out;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  FindWindowsData* data = reinterpret_cast<FindWindowsData*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != data->pid || !IsWindowVisible(window)) return TRUE;
  if (data->className && !SameText(ClassName(window), data->className)) return TRUE;
  data->out->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  std::vector<HWND>* out = reinterpret_cast<std::vector<HWND>*>(param);
  out->push_back(window);
  return TRUE;
}

// Direct children only (EnumChildWindows also gives grandchildren).
std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> all, direct;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&all));
  for (HWND child : all)
    if (GetParent(child) == parent) direct.push_back(child);
  return direct;
}

bool IsPushButton(HWND control) {
  if (!SameText(ClassName(control), L"Button")) return false;
  DWORD type = (DWORD)GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

bool IsIconStatic(HWND control) {
  return SameText(ClassName(control), L"Static") && ((DWORD)GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

HWND IconControl(HWND box) {
  for (HWND child : Children(box))
    if (IsIconStatic(child)) return child;
  return nullptr;
}

const struct {
  LPCWSTR resource;
  UINT style;
} kSystemIcons[] = {
    {IDI_HAND, MB_ICONERROR},
    {IDI_QUESTION, MB_ICONQUESTION},
    {IDI_EXCLAMATION, MB_ICONWARNING},
    {IDI_ASTERISK, MB_ICONINFORMATION},
};

// 32-bit pixels of a memory bitmap.
std::vector<DWORD> Pixels(HDC dc, HBITMAP bitmap, int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> pixels((size_t)width * height);
  if (!GetDIBits(dc, bitmap, 0, (UINT)height, pixels.data(), &info, DIB_RGB_COLORS)) pixels.clear();
  for (DWORD& p : pixels) p &= 0x00FFFFFF;
  return pixels;
}

unsigned long long Distance(const std::vector<DWORD>& a, const std::vector<DWORD>& b) {
  unsigned long long sum = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    for (int shift = 0; shift < 24; shift += 8) {
      int d = (int)((a[i] >> shift) & 0xFF) - (int)((b[i] >> shift) & 0xFF);
      sum += (unsigned long long)(d < 0 ? -d : d);
    }
  return sum;
}

// Tells the icon of another process's box from the screen: the control's
// pixels against each system icon drawn on the same background.
UINT IconStyleFromScreen(HWND box, HWND icon) {
  RECT rect;
  if (!GetWindowRect(icon, &rect)) return kIconUnknown;
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || width > 256 || height > 256) return kIconUnknown;
  // The box must be painted and in front.
  SetForegroundWindow(box);
  RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(300);

  UINT style = kIconUnknown;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP shot = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, shot);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, previous);
  std::vector<DWORD> seen = Pixels(memory, shot, width, height);
  if (!seen.empty()) {
    // The background: the control's bottom right corner, where no icon paints.
    DWORD background = seen.back();
    unsigned long long best = ~0ull, second = ~0ull;
    for (const auto& candidate : kSystemIcons) {
      HBITMAP drawn = CreateCompatibleBitmap(screen, width, height);
      previous = SelectObject(memory, drawn);
      HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
      RECT all = {0, 0, width, height};
      FillRect(memory, &all, brush);
      DeleteObject(brush);
      DrawIconEx(memory, 0, 0, LoadIconW(nullptr, candidate.resource), 0, 0, 0, nullptr, DI_NORMAL);
      SelectObject(memory, previous);
      unsigned long long d = Distance(seen, Pixels(memory, drawn, width, height));
      DeleteObject(drawn);
      if (d < best) {
        second = best;
        best = d;
        style = candidate.style;
      } else if (d < second) {
        second = d;
      }
    }
    // Only a clear winner counts.
    if (!(best * 4 < second)) style = kIconUnknown;
  }
  DeleteObject(shot);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return style;
}

bool WaitPumping(HANDLE handle, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return true;
    PumpMessages(0);
  }
}

}  // namespace

// ------------------------------------------------------------------ paths

std::wstring BinDir() { return PELORIN_TEST_BIN_DIR; }
std::wstring BinPath(const std::wstring& relative) { return BinDir() + L"\\" + relative; }
std::wstring SetupPath() { return BinPath(L"Pelorin.exe"); }

std::wstring OwnDir() { return FolderOf(OwnPath()); }

std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TempFolder::TempFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  DWORD length = GetTempPathW(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH) return;
  std::wstring base(temp, length);
  if (!base.empty() && base.back() == L'\\') base.pop_back();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring candidate = base + L"\\" + name + L" " + std::to_wstring(GetCurrentProcessId()) + L"-" +
                             std::to_wstring(GetTickCount() + (DWORD)attempt);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
}

TempFolder::~TempFolder() {
  if (!path_.empty()) RemoveFolder(path_);
}

std::wstring TempFolder::Copy(const std::wstring& source, const std::wstring& name) const {
  if (path_.empty()) return L"";
  std::wstring target = File(name.empty() ? source.substr(source.find_last_of(L"\\/") + 1) : name);
  return CopyFileW(source.c_str(), target.c_str(), FALSE) ? target : L"";
}

std::wstring TempFolder::Write(const std::wstring& name, const std::string& bytes) const {
  if (path_.empty()) return L"";
  std::wstring target = File(name);
  HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return L"";
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size();
  CloseHandle(file);
  return ok ? target : L"";
}

void RemoveFolder(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolder(full);
      } else {
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        // A process that just ended may hold its image a moment longer.
        for (int i = 0; i < 20 && !DeleteFileW(full.c_str()); ++i) Sleep(50);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

SavedRegistryValue::SavedRegistryValue(HKEY root, const wchar_t* key, const wchar_t* name, REGSAM view)
    : root_(root), path_(key), name_(name), view_(view) {
  DWORD disposition = 0, size = 0;
  if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | view, nullptr, &key_,
                      &disposition) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot open " << Printable(path_);
    key_ = nullptr;
    return;
  }
  createdKey_ = disposition == REG_CREATED_NEW_KEY;
  if (RegQueryValueExW(key_, name, nullptr, &type_, nullptr, &size) != ERROR_SUCCESS) return;
  saved_.resize(size);
  hadValue_ = RegQueryValueExW(key_, name, nullptr, &type_, saved_.data(), &size) == ERROR_SUCCESS;
  saved_.resize(size);
}

SavedRegistryValue::~SavedRegistryValue() {
  if (!key_) return;
  if (hadValue_)
    RegSetValueExW(key_, name_.c_str(), 0, type_, saved_.data(), (DWORD)saved_.size());
  else
    RegDeleteValueW(key_, name_.c_str());
  RegCloseKey(key_);
  if (createdKey_) RegDeleteKeyExW(root_, path_.c_str(), view_, 0);
}

bool SavedRegistryValue::SetText(const std::wstring& text) {
  return key_ && RegSetValueExW(key_, name_.c_str(), 0, REG_SZ, (const BYTE*)text.c_str(),
                                (DWORD)((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  // A file that the setup still holds, or is removing, can be read.
  HANDLE in = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(in, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(in);
  return bytes;
}

std::vector<ChildRun> StandInRuns(const std::wstring& recordFile) {
  std::vector<ChildRun> runs;
  std::string bytes = ReadBytes(recordFile);
  std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  size_t start = 0;
  for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
    std::wstring line = text.substr(start, end - start);
    size_t bar = line.rfind(L'|');
    runs.push_back({line.substr(0, bar), bar == std::wstring::npos ? L"" : line.substr(bar + 1)});
  }
  return runs;
}

// ------------------------------------------------------------------ processes

Process::~Process() {
  Kill();
  if (handle_) CloseHandle(handle_);
}

Process::Process(Process&& other) noexcept : handle_(other.handle_), id_(other.id_), error_(std::move(other.error_)) {
  other.handle_ = nullptr;
  other.id_ = 0;
}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Kill();
    if (handle_) CloseHandle(handle_);
    handle_ = other.handle_;
    id_ = other.id_;
    error_ = std::move(other.error_);
    other.handle_ = nullptr;
    other.id_ = 0;
  }
  return *this;
}

Process Process::Start(const std::wstring& exe, const std::wstring& arguments, const StartOptions& options) {
  Process process;
  std::wstring commandLine = Quote(exe);
  if (!arguments.empty()) commandLine += L" " + arguments;
  std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
  writable.push_back(L'\0');
  std::vector<wchar_t> environment;
  if (!options.environment.empty()) environment = EnvironmentBlock(options.environment);

  UnmanageWineWindows(exe);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  DWORD flags = CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT;
  if (!CreateProcessW(exe.c_str(), writable.data(), nullptr, nullptr, FALSE, flags,
                      environment.empty() ? nullptr : environment.data(),
                      options.currentDir.empty() ? nullptr : options.currentDir.c_str(), &startup, &info)) {
    process.error_ = L"CreateProcessW failed with " + std::to_wstring(GetLastError()) + L" for " + commandLine;
    return process;
  }
  if (HANDLE job = Job()) AssignProcessToJobObject(job, info.hProcess);
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);
  process.handle_ = info.hProcess;
  process.id_ = info.dwProcessId;

  HANDLE own = nullptr;
  if (DuplicateHandle(GetCurrentProcess(), info.hProcess, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    Lock guard;
    g_started.push_back({own, info.dwProcessId});
  }
  return process;
}

bool Process::WaitForExit(DWORD timeoutMs) const {
  return handle_ && WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0;
}

bool Process::Running() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }

DWORD Process::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (handle_) GetExitCodeProcess(handle_, &code);
  return code;
}

bool Process::Finish(DWORD timeoutMs, DWORD* exitCode) {
  if (!WaitForExit(timeoutMs)) {
    Kill();
    return false;
  }
  if (exitCode) *exitCode = ExitCode();
  return true;
}

void Process::Kill() {
  if (Running()) {
    TerminateProcess(handle_, 0xDEAD);
    WaitForSingleObject(handle_, 5000);
  }
}

std::wstring Quote(const std::wstring& text) { return L"\"" + text + L"\""; }

int KillLeftovers() {
  std::vector<Started> started;
  {
    Lock guard;
    started.swap(g_started);
  }
  int killed = 0;
  for (const Started& s : started) {
    if (WaitForSingleObject(s.handle, 0) == WAIT_TIMEOUT) {
      TerminateProcess(s.handle, 0xDEAD);
      WaitForSingleObject(s.handle, 5000);
      ++killed;
    }
    CloseHandle(s.handle);
  }
  return killed;
}

LANGID UiLanguage() { return GetUserDefaultUILanguage(); }

// ------------------------------------------------------------------ windows

std::vector<HWND> TopLevelWindows(DWORD pid, const wchar_t* className) {
  std::vector<HWND> windows;
  FindWindowsData data = {pid, className, &windows};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&data));
  return windows;
}

HWND WaitForWindow(DWORD pid, const wchar_t* className, DWORD timeoutMs, const std::function<bool(HWND)>& accept,
                   HANDLE process) {
  DWORD start = GetTickCount();
  for (;;) {
    for (HWND window : TopLevelWindows(pid, className))
      if (!accept || accept(window)) return window;
    bool ended = process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    if (ended || GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(20);
  }
}

bool IsMessageBox(HWND window) {
  if (!SameText(ClassName(window), L"#32770")) return false;
  bool hasText = false, hasButton = false;
  for (HWND child : Children(window)) {
    std::wstring cls = ClassName(child);
    if (SameText(cls, L"Static")) {
      if (!IsIconStatic(child)) hasText = true;
    } else if (SameText(cls, L"Button")) {
      if (!IsPushButton(child)) return false;
      hasButton = true;
    } else {
      return false;  // the setup's dialogs have a progress bar or a list
    }
  }
  return hasText && hasButton;
}

HWND WaitForMessageBox(DWORD pid, DWORD timeoutMs, HANDLE process) {
  return WaitForWindow(pid, L"#32770", timeoutMs, IsMessageBox, process);
}

std::wstring ClassName(HWND window) {
  wchar_t name[256];
  int length = GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? (size_t)length : 0);
}

std::wstring WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return L"";
  std::vector<wchar_t> buffer(length + 2);
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                           SMTO_ABORTIFHUNG, 5000, &copied))
    return L"";
  return std::wstring(buffer.data(), std::min<size_t>(copied, length));
}

namespace {

std::wstring ComboItem(HWND combo, int index) {
  LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return std::wstring();
  std::wstring text(length + 1, L'\0');
  SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(wcslen(text.c_str()));
  return text;
}

}  // namespace

std::vector<std::wstring> ComboItems(HWND combo) {
  std::vector<std::wstring> items;
  int count = (int)SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) items.push_back(ComboItem(combo, i));
  return items;
}

std::wstring ComboSelection(HWND combo) {
  int selected = (int)SendMessageW(combo, CB_GETCURSEL, 0, 0);
  return selected >= 0 ? ComboItem(combo, selected) : std::wstring();
}

std::wstring ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control ? WindowText(control) : L"";
}

std::vector<int> MessageBoxContent::ButtonIds() const {
  std::vector<int> ids;
  for (const Button& b : buttons) ids.push_back(b.id);
  return ids;
}

MessageBoxContent ReadMessageBox(HWND box) {
  MessageBoxContent content;
  content.caption = WindowText(box);
  content.owner = GetWindow(box, GW_OWNER);
  for (HWND child : Children(box)) {
    if (IsPushButton(child)) {
      if (IsWindowVisible(child)) content.buttons.push_back({GetDlgCtrlID(child), WindowText(child)});
    } else if (SameText(ClassName(child), L"Static") && !IsIconStatic(child)) {
      content.text = WindowText(child);
    }
  }
  content.icon = IconStyle(box);
  return content;
}

UINT IconStyle(HWND box) {
  HWND icon = IconControl(box);
  if (!icon || !IsWindowVisible(icon)) return 0;
  DWORD pid = 0;
  GetWindowThreadProcessId(box, &pid);
  if (pid == GetCurrentProcessId()) {
    HICON shown = reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0));
    if (!shown) return 0;
    for (const auto& candidate : kSystemIcons)
      if (LoadIconW(nullptr, candidate.resource) == shown) return candidate.style;
  }
  // The box may not be painted yet: look again a little later.
  UINT style = kIconUnknown;
  for (int attempt = 0; attempt < 3 && style == kIconUnknown; ++attempt) style = IconStyleFromScreen(box, icon);
  return style;
}

bool ClickButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (!button || !IsWindowEnabled(button)) return false;
  return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != FALSE;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    PumpMessages(20);
  }
  return true;
}

// ------------------------------------------------------------------ in-process tests

Worker::Worker(std::function<void()> work) : work_(std::move(work)) {
  thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
}

Worker::~Worker() {
  if (thread_) {
    Wait(10000);
    CloseHandle(thread_);
  }
}

DWORD WINAPI Worker::Run(void* self) {
  static_cast<Worker*>(self)->work_();
  return 0;
}

bool Worker::Wait(DWORD timeoutMs) { return thread_ && WaitPumping(thread_, timeoutMs); }

void PumpMessages(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (ms) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (GetTickCount() - start < ms);
}

// ------------------------------------------------------------------ text

std::string Printable(const std::wstring& text) {
  std::wstring shown;
  for (wchar_t c : text) {
    if (c == L'\n') shown += L"\\n";
    else if (c == L'\r') shown += L"\\r";
    else shown += c;
  }
  int size = WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), (int)shown.size(), nullptr, 0, nullptr, nullptr);
  std::string out((size_t)(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), (int)shown.size(), &out[0], size, nullptr, nullptr);
  return out;
}

}  // namespace pelorin_test
