#include "install/download.h"

#include "afx/system_library.h"
#include "afx/afxwin.h"
#include "app/seams.h"

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
  SendNotifyMessageW(m_wakeWindow, kStopMessage, 0, 0);
  PostMessageW(m_wakeWindow, WM_NULL, 0, 0);
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
