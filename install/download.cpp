#include "install/download.h"

#include "afx/system_library.h"
#include "afx/afxwin.h"
#include "afx/seams.h"

#include <sddl.h>
#include <wininet.h>

namespace {

// The download cache hands back a path of at most 519 characters.
const DWORD kCachePathCapacity = 520;
// Sent to the worker's wake window: stop the current transfer.
const UINT kStopMessage = WM_APP + 2;
const wchar_t kWakeWindowClass[] = L"PelorinDownloadWake";

}  // namespace

HRESULT CDownload::Run(IBindStatusCallback* callback, HWND watch, const wchar_t* url, WString& path) {
  path.Clear();
  // urlmon is not one of the libraries every process has: it comes from the
  // system folder. Once loaded it stays: after an abandoned download its
  // network library goes on working on threads of its own for a while, and
  // unloading it under them brings the process down.
  static HMODULE urlmon = LoadSystemLibrary(L"urlmon.dll");
  auto downloadToCache = MODULE_PROC(urlmon, URLDownloadToCacheFileW);
  if (!downloadToCache) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

  // Without its wake window neither Cancel nor the no-data limit could stop
  // a transfer that has stalled: no download then.
  WNDCLASSW wakeClass = {};
  wakeClass.lpfnWndProc = WakeWindowProc;
  wakeClass.hInstance = AfxGetInstanceHandle();
  wakeClass.lpszClassName = kWakeWindowClass;
  RegisterClassW(&wakeClass);  // fails harmlessly from the second download on
  m_wakeWindow = CreateWindowExW(0, kWakeWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 AfxGetInstanceHandle(), nullptr);
  if (!m_wakeWindow) return E_OUTOFMEMORY;
  SetWindowLongPtrW(m_wakeWindow, GWLP_USERDATA, (LONG_PTR)this);
  m_lastDataTick = (LONG)GetTickCount();

  wchar_t cached[kCachePathCapacity] = {};
  m_cancel.EnterDownload();
  SendMessageW(watch, kWatchMessage, 0, (LPARAM)this);
  HRESULT result = downloadToCache(nullptr, url, cached, kCachePathCapacity, 0, callback);
  // Too late: the window has told the cancel and ends the run, which must
  // see nothing more of this thread.
  if (!m_cancel.LeaveDownload()) Sleep(INFINITE);
  SendMessageW(watch, kWatchMessage, 0, 0);
  DestroyWindow(m_wakeWindow);
  m_wakeWindow = nullptr;
  if (m_binding) m_binding->Release();
  m_binding = nullptr;

  if (FAILED(result) && m_stalled) result = INET_E_CONNECTION_TIMEOUT;
  // Some platforms save an error page as the download although OnResponse
  // asked them to stop: an HTTP error is a failed download all the same.
  if (SUCCEEDED(result) && m_status >= 400) result = INET_E_DOWNLOAD_FAILURE;
  // Some also save what arrived of a transfer that the connection cut
  // short, or read on past the announced size when the server sends more:
  // a file of another size than announced is no download.
  if (SUCCEEDED(result) && m_announced && m_received != m_announced) result = INET_E_DOWNLOAD_FAILURE;
  cached[kCachePathCapacity - 1] = L'\0';
  // The Windows Installer takes no path of MAX_PATH characters or more.
  if (SUCCEEDED(result) && (!cached[0] || lstrlenW(cached) >= MAX_PATH)) result = INET_E_DOWNLOAD_FAILURE;
  if (SUCCEEDED(result) && !path.Append(cached)) result = E_OUTOFMEMORY;
  return result;
}

HRESULT CDownload::OnStart(IBinding* binding) {
  if (m_cancel.stopping() || m_stalled) return E_ABORT;
  if (m_binding) m_binding->Release();
  m_binding = binding;
  if (m_binding) m_binding->AddRef();
  return S_OK;
}

HRESULT CDownload::OnProgress(ULONG progress, ULONG progressMax) {
  if (progressMax > m_announced) m_announced = progressMax;
  if (progress > m_received) {
    m_received = progress;
    m_lastDataTick = (LONG)GetTickCount();
  }
  // Stops the transfer while data flows; during a silence the wake window
  // stops it instead.
  return m_cancel.stopping() || m_stalled ? E_ABORT : S_OK;
}

void CDownload::OnStop() {
  if (m_binding) m_binding->Release();
  m_binding = nullptr;
}

HRESULT CDownload::OnResponse(DWORD status) {
  m_status = status;
  return status >= 400 ? E_ABORT : S_OK;
}

// The platform's download waits for network events only: during a stalled
// transfer it calls nothing of ours, so a flag alone would not be seen. The
// binding may only be stopped on the worker's thread that owns it, so the
// worker is woken there: its wait serves messages sent to its windows, and a
// posted message wakes a wait that looks for posted ones only.
void CDownload::Wake() {
  if (m_wakeWindow) {
    SendNotifyMessageW(m_wakeWindow, kStopMessage, 0, 0);
    PostMessageW(m_wakeWindow, WM_NULL, 0, 0);
  }
  // A blocking read of the setup's own request ends when it is closed.
  CloseRequest();
}

bool CDownload::Watch() {
  if (GetTickCount() - (DWORD)m_lastDataTick >= g_seams.downloadNoDataLimitMs) m_stalled = 1;
  const bool cancelled = m_cancel.stopping();
  if (cancelled && !m_stopAsked) {
    m_stopAsked = true;
    m_stopAskedAt = GetTickCount();
  }
  // Again on every tick until the transfer ends: a wake that came before
  // the binding existed found nothing to stop.
  if (cancelled || m_stalled) Wake();
  // A platform that reads on through a long body after Abort holds the
  // worker for as long as the server sends. The user asked to stop: the run
  // ends as cancelled without the worker.
  return m_stopAsked && GetTickCount() - m_stopAskedAt >= kCancelGraceMs && m_cancel.Abandon();
}

LRESULT CALLBACK CDownload::WakeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kStopMessage) return DefWindowProcW(window, message, wParam, lParam);
  auto download = reinterpret_cast<CDownload*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (download && download->m_binding) download->m_binding->Abort();
  return 0;
}

// ------------------------------------------------------------ downloads written by the setup

namespace {

// Once loaded, wininet stays, as urlmon does (see CDownload::Run).
HMODULE WinInet() {
  static HMODULE wininet = LoadSystemLibrary(L"wininet.dll");
  return wininet;
}

// Waits before the next try: 2 s, 4 s, then 8 s, or what the server asked
// for (Retry-After), up to 30 s.
DWORD WaitBeforeTry(unsigned triesMade, DWORD retryAfter) {
  if (retryAfter) return retryAfter < 30 ? retryAfter : 30;
  return triesMade == 1 ? 2 : triesMade == 2 ? 4 : 8;
}

// A header of the answer as text (empty when absent).
void QueryHeader(HINTERNET request, DWORD header, WString& value) {
  auto query = MODULE_PROC(WinInet(), HttpQueryInfoW);
  value.Clear();
  DWORD size = 0;
  query(request, header, nullptr, &size, nullptr);
  wchar_t* buffer = size ? value.Buffer(size / sizeof(wchar_t) + 1) : nullptr;
  if (!buffer) return;
  DWORD capacity = size;
  if (query(request, header, buffer, &capacity, nullptr)) {
    value.SetLengthFromBuffer();
  } else {
    value.Clear();
  }
}

ULONGLONG ParseNumber(const wchar_t*& p) {
  ULONGLONG n = 0;
  while (*p >= L'0' && *p <= L'9') n = n * 10 + (ULONGLONG)(*p++ - L'0');
  return n;
}

// "bytes START-END/TOTAL": false when it does not read so.
bool ParseContentRange(const wchar_t* text, ULONGLONG* start, ULONGLONG* total) {
  if (wcsncmp(text, L"bytes ", 6) != 0) return false;
  const wchar_t* p = text + 6;
  const wchar_t* digits = p;
  *start = ParseNumber(p);
  if (p == digits || *p++ != L'-') return false;
  ParseNumber(p);
  if (*p++ != L'/') return false;
  digits = p;
  *total = ParseNumber(p);
  return p != digits && *p == L'\0';
}

bool SameText(const WString& a, const WString& b) { return a.length() == b.length() && wcscmp(a.c_str(), b.c_str()) == 0; }

bool Truncate(HANDLE file) { return SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && SetEndOfFile(file); }

}  // namespace

struct CDownload::Try {
  HRESULT result = INET_E_DOWNLOAD_FAILURE;
  bool transient = false;  // worth another try
  DWORD retryAfter = 0;    // seconds the server asked to wait
};

void CDownload::CloseRequest() {
  HINTERNET request = InterlockedExchangePointer((void**)&m_request, nullptr);
  if (request) MODULE_PROC(WinInet(), InternetCloseHandle)(request);
}

HRESULT CDownload::RunToFile(HWND watch, const wchar_t* url, HANDLE file, unsigned tries,
                             void (*tellWait)(void* context, DWORD seconds), void* context) {
  HMODULE wininet = WinInet();
  auto open = MODULE_PROC(wininet, InternetOpenW);
  auto setOption = MODULE_PROC(wininet, InternetSetOptionW);
  auto close = MODULE_PROC(wininet, InternetCloseHandle);
  if (!open || !setOption || !close || !MODULE_PROC(wininet, InternetOpenUrlW) ||
      !MODULE_PROC(wininet, HttpQueryInfoW) || !MODULE_PROC(wininet, InternetReadFile))
    return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  HINTERNET session = open(L"Pelorin", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) return HRESULT_FROM_WIN32(GetLastError());
  // A transfer that receives nothing for the limit fails on the worker's
  // side too, where the platform honours it.
  DWORD limit = g_seams.downloadNoDataLimitMs;
  setOption(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &limit, sizeof limit);
  setOption(session, INTERNET_OPTION_CONNECT_TIMEOUT, &limit, sizeof limit);

  m_cancel.EnterDownload();
  SendMessageW(watch, kWatchMessage, 0, (LPARAM)this);
  HRESULT result = E_ABORT;
  for (unsigned made = 1;; ++made) {
    Try t;
    m_lastDataTick = (LONG)GetTickCount();
    m_stalled = 0;
    RunTry(session, url, file, t);
    result = t.result;
    if (SUCCEEDED(result) || m_cancel.stopping() || !t.transient || made >= tries) break;
    DWORD seconds = WaitBeforeTry(made, t.retryAfter);
    tellWait(context, seconds);
    // Cancel ends the wait within a moment, and nothing more is asked.
    for (DWORD start = GetTickCount(); GetTickCount() - start < seconds * 1000 && !m_cancel.stopping();) Sleep(50);
    if (m_cancel.stopping()) break;
  }
  if (m_cancel.stopping()) result = E_ABORT;
  if (!m_cancel.LeaveDownload()) Sleep(INFINITE);
  SendMessageW(watch, kWatchMessage, 0, 0);
  close(session);
  return result;
}

void CDownload::RunTry(void* session, const wchar_t* url, HANDLE file, Try& t) {
  HMODULE wininet = WinInet();
  auto openUrl = MODULE_PROC(wininet, InternetOpenUrlW);
  auto query = MODULE_PROC(wininet, HttpQueryInfoW);
  auto read = MODULE_PROC(wininet, InternetReadFile);
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file, &size)) {
    t.result = HRESULT_FROM_WIN32(GetLastError());
    return;
  }
  ULONGLONG have = (ULONGLONG)size.QuadPart;
  // The rest of the file, of the same version of the resource only.
  WString headers;
  wchar_t from[24];
  wsprintfW(from, L"%I64u", have);
  if (have && !m_validator.empty() &&
      !(headers.Append(L"Range: bytes=") && headers.Append(from) && headers.Append(L"-\r\nIf-Range: ") &&
        headers.Append(m_validator) && headers.Append(L"\r\n"))) {
    t.result = E_OUTOFMEMORY;
    return;
  }
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                      INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH;
  HINTERNET request = openUrl(session, url, headers.empty() ? nullptr : headers.c_str(), (DWORD)-1, flags, 0);
  if (!request) {
    // Refused, reset, no answer within the limit: the network's affair.
    t.result = HRESULT_FROM_WIN32(GetLastError());
    t.transient = true;
    return;
  }
  InterlockedExchangePointer((void**)&m_request, request);
  if (m_cancel.stopping()) {
    CloseRequest();
    t.result = E_ABORT;
    return;
  }

  DWORD status = 0, length = sizeof status;
  query(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr);
  if (status != HTTP_STATUS_OK && status != HTTP_STATUS_PARTIAL_CONTENT) {
    // A busy or failing server may answer later; a missing file will not.
    t.transient = status == 408 || status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
    DWORD seconds = 0;
    length = sizeof seconds;
    if (query(request, HTTP_QUERY_RETRY_AFTER | HTTP_QUERY_FLAG_NUMBER, &seconds, &length, nullptr))
      t.retryAfter = seconds;
    CloseRequest();
    return;
  }
  WString validator, range;
  QueryHeader(request, HTTP_QUERY_ETAG, validator);
  if (validator.empty()) QueryHeader(request, HTTP_QUERY_LAST_MODIFIED, validator);
  ULONGLONG offset = 0, total = 0;
  if (status == HTTP_STATUS_PARTIAL_CONTENT) {
    QueryHeader(request, HTTP_QUERY_CONTENT_RANGE, range);
    ULONGLONG start = 0;
    // A part of another version, or one that does not go on where the file
    // ends, cannot be joined to it: the file starts again from zero.
    if (!ParseContentRange(range.c_str(), &start, &total) || start != have || validator.empty() ||
        !SameText(validator, m_validator)) {
      CloseRequest();
      m_validator.Clear();
      m_received = 0;
      if (!have || !Truncate(file)) return;
      RunTry(session, url, file, t);
      return;
    }
    offset = have;
  } else {
    // The whole file (also the answer of a server that ignores ranges).
    WString announced;
    QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH, announced);
    const wchar_t* p = announced.c_str();
    total = ParseNumber(p);
    if ((have && !Truncate(file)) || (total >> 32)) {
      CloseRequest();
      return;
    }
  }
  m_validator.Clear();
  if (!m_validator.Append(validator)) {
    CloseRequest();
    t.result = E_OUTOFMEMORY;
    return;
  }
  m_announced = (ULONG)total;
  m_received = (ULONG)offset;
  LARGE_INTEGER end = {};
  end.QuadPart = (LONGLONG)offset;
  if (!SetFilePointerEx(file, end, nullptr, FILE_BEGIN)) {
    CloseRequest();
    return;
  }

  BYTE buffer[64 * 1024];
  ULONGLONG received = offset;
  for (;;) {
    DWORD got = 0;
    if (!read(request, buffer, sizeof buffer, &got)) {
      t.result = HRESULT_FROM_WIN32(GetLastError());
      t.transient = true;
      break;
    }
    if (got == 0) {
      // A transfer cut before the announced size is worth going on with.
      t.transient = total && received < total;
      t.result = t.transient ? INET_E_DOWNLOAD_FAILURE : S_OK;
      break;
    }
    DWORD written = 0;
    // More than announced is no download of the announced file.
    if ((total && received + got > total) || !WriteFile(file, buffer, got, &written, nullptr) || written != got) break;
    received += got;
    m_received = (ULONG)received;
    m_lastDataTick = (LONG)GetTickCount();
  }
  CloseRequest();
  if (m_stalled && FAILED(t.result)) {
    t.result = INET_E_CONNECTION_TIMEOUT;
    t.transient = true;
  }
  if (m_cancel.stopping()) t.result = E_ABORT;
}

// ------------------------------------------------------------ the run's folder

namespace {

// Folders of runs are named so, in the user's temporary folder.
const wchar_t kRunFolderPrefix[] = L"Pelorin-";

// The temporary folder, ending with a backslash.
bool TempFolder(WString& folder) {
  wchar_t* buffer = folder.Buffer(MAX_PATH + 1);
  DWORD length = buffer ? GetTempPathW(MAX_PATH + 1, buffer) : 0;
  if (length == 0 || length > MAX_PATH) return false;
  folder.SetLengthFromBuffer();
  return true;
}

// A security descriptor from `format`, with the user's own SID for "%s".
PSECURITY_DESCRIPTOR MakeDescriptor(const wchar_t* format) {
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return nullptr;
  BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenUser, user, sizeof user, &size)) return nullptr;
  wchar_t* sid = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid)) return nullptr;
  // A SID's text is at most 184 characters; the formats are short.
  wchar_t text[512];
  int length = lstrlenW(sid) < 200 ? wsprintfW(text, format, sid) : 0;
  LocalFree(sid);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (length <= 0 ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor, nullptr))
    return nullptr;
  return descriptor;
}

// A file of the run's folder, which a system may show as read-only.
void RemoveRunFile(const wchar_t* path) {
  SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path);
}

}  // namespace

bool MakeRunFolder(WString& folder) {
  folder.Clear();
  WString temp;
  if (!TempFolder(temp)) return false;
  // The user alone, and the system, which the Windows Installer runs as.
  PSECURITY_DESCRIPTOR descriptor = MakeDescriptor(L"D:P(A;OICI;FA;;;%s)(A;OICI;FA;;;SY)");
  if (!descriptor) return false;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  bool made = false;
  // A fresh name: a folder of that name that exists already (anyone's) is
  // never used.
  for (DWORD n = 0; n < 100 && !made; ++n) {
    wchar_t name[40];
    wsprintfW(name, L"%s%lu-%lu", kRunFolderPrefix, GetCurrentProcessId(), GetTickCount() + n);
    folder.Clear();
    if (!folder.Append(temp) || !folder.Append(name) || !folder.Append(L'\\')) break;
    made = CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
    if (!made && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  LocalFree(descriptor);
  if (!made) folder.Clear();
  return made;
}

bool CreateRunFile(const WString& folder, const wchar_t* name, WString& path, UniqueHandle& file) {
  path.Clear();
  file.Reset();
  if (folder.empty() || !path.Append(folder) || !path.Append(name) || path.length() >= MAX_PATH) return false;
  // One that an earlier product of the run downloaded, its use over.
  RemoveRunFile(path.c_str());
  // Read and removed only, by whoever opens it later: the writing handle
  // made here is the only one that can write it. (0x130189 is read, delete
  // and the attributes, which a system may show as read-only and the removal
  // then clears; "OW" takes from the owner the right to change the
  // permissions, which systems before Vista do not know.)
  PSECURITY_DESCRIPTOR descriptor = MakeDescriptor(L"D:P(A;;0x130189;;;%s)(A;;FR;;;SY)(A;;FR;;;OW)");
  if (!descriptor) descriptor = MakeDescriptor(L"D:P(A;;0x130189;;;%s)(A;;FR;;;SY)");
  if (!descriptor) return false;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  file.Reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &attributes, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  LocalFree(descriptor);
  return (bool)file;
}

bool KeepRunFileForUse(const wchar_t* path, UniqueHandle& file) {
  // Opened beside the writing handle, which it has to let be; once that is
  // closed, the file's permissions let nobody open it for writing.
  HANDLE reading = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (reading == INVALID_HANDLE_VALUE) return false;
  file.Reset(reading);
  return true;
}

void RemoveRunFolder(const WString& folder) {
  WString pattern;
  if (folder.empty() || !pattern.Append(folder) || !pattern.Append(L'*')) return;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      WString file;
      if (file.Append(folder) && file.Append(found.cFileName)) RemoveRunFile(file.c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

void RemoveStaleRunFolders() {
  WString temp, pattern;
  if (!TempFolder(temp) || !pattern.Append(temp) || !pattern.Append(kRunFolderPrefix) || !pattern.Append(L'*'))
    return;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    // A folder only, never a link to one elsewhere.
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    WString folder;
    // What a run still holds stays: its file cannot be deleted.
    if (folder.Append(temp) && folder.Append(found.cFileName) && folder.Append(L'\\')) RemoveRunFolder(folder);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}
