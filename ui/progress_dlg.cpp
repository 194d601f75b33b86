#include "ui/progress_dlg.h"

#include "afx/system_library.h"
#include "ui/messages.h"
#include "ui/resource.h"

DWORD g_downloadNoDataLimitMs = kDownloadNoDataLimitMs;

namespace {

// Sent by the worker to the window while a download runs: wParam is the
// worker's wake window as the download starts, null as it ends.
const UINT kWatchDownload = WM_APP + 1;
// Sent to the worker's wake window: stop the current download.
const UINT kStopDownload = WM_APP + 2;
// While a download runs, the window looks this often whether it has to stop.
const UINT_PTR kDownloadTimer = 1;
const UINT kDownloadTimerMs = 250;
const wchar_t kWakeWindowClass[] = L"PelorinDownloadWake";

HICON LoadAppIcon(int widthMetric, int heightMetric) {
  return (HICON)LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                           GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR);
}

void DestroyOwnedIcon(HICON& icon) {
  if (icon) DestroyIcon(icon);
  icon = nullptr;
}

}  // namespace

// While a download runs on the worker: a message-only window of the worker's
// thread, for the user-interface thread to wake it with, known to the window.
class CNapredekDlg::DownloadWake {
public:
  explicit DownloadWake(CNapredekDlg& dialog) : m_dialog(dialog) {
    WNDCLASSW wakeClass = {};
    wakeClass.lpfnWndProc = WakeWindowProc;
    wakeClass.hInstance = AfxGetInstanceHandle();
    wakeClass.lpszClassName = kWakeWindowClass;
    RegisterClassW(&wakeClass);  // fails harmlessly from the second download on
    m_window = CreateWindowExW(0, kWakeWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               AfxGetInstanceHandle(), nullptr);
    if (!m_window) return;
    SetWindowLongPtrW(m_window, GWLP_USERDATA, (LONG_PTR)&dialog);
    m_dialog.SendMessage(kWatchDownload, (WPARAM)m_window);
  }
  // Whether the window exists: without it neither Cancel nor the no-data
  // limit could stop a transfer that has stalled.
  bool ready() const { return m_window != nullptr; }
  DownloadWake(const DownloadWake&) = delete;
  DownloadWake& operator=(const DownloadWake&) = delete;
  ~DownloadWake() {
    if (!m_window) return;
    m_dialog.SendMessage(kWatchDownload, 0);
    ::DestroyWindow(m_window);
  }

private:
  CNapredekDlg& m_dialog;
  HWND m_window = nullptr;
};

CNapredekDlg::CNapredekDlg() : CDialog(IDD_PROGRESS) {}

void CNapredekDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, IDC_APP_ICON, m_icon);
  DDX_Control(pDX, IDC_HEADLINE, m_headline);
  DDX_Control(pDX, IDC_DETAIL, m_detail);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
  DDX_Control(pDX, IDCANCEL, m_cancelButton);
}

int CNapredekDlg::OnCreate() {
  // The window's own icons at the sizes the system draws them, so that
  // neither the caption nor the task switcher scales a picture.
  m_smallIcon = LoadAppIcon(SM_CXSMICON, SM_CYSMICON);
  m_bigIcon = LoadAppIcon(SM_CXICON, SM_CYICON);
  m_waitCursor = LoadCursorW(nullptr, IDC_WAIT);
  return 0;
}

BOOL CNapredekDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // A new bar knows nothing of what an earlier one was told.
  m_barWidth = 0;
  CWinApp* app = AfxGetApp();
  if (app) SetWindowText(app->m_pszAppName);
  SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_smallIcon);
  SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_bigIcon);
  m_cancelButton.SetFocus();
  m_cancelled = 0;
  return FALSE;  // the focus is set
}

// The window has no OK button, yet the dialog manager turns Enter into IDOK:
// that must neither close nor hide the setup's main window while it works.
void CNapredekDlg::OnOK() {}

// Raises the flag and stops a running download: the worker sees the flag at
// its next checkpoint and tells the user itself.
void CNapredekDlg::OnCancel() {
  m_cancelled = 1;
  WakeDownload();
}

// The platform's download waits for network events only: during a stalled
// transfer it calls nothing of ours, so a flag alone would not be seen. The
// binding may only be stopped on the worker's thread that owns it, so the
// worker is woken there. Its wait serves messages sent to its windows, and
// a posted message wakes a wait that looks for posted ones only.
void CNapredekDlg::WakeDownload() {
  if (!m_wakeWindow) return;
  if (m_cancelled && !m_stopAsked) {
    m_stopAsked = true;
    m_stopAskedAt = GetTickCount();
  }
  SendNotifyMessageW(m_wakeWindow, kStopDownload, 0, 0);
  PostMessageW(m_wakeWindow, WM_NULL, 0, 0);
}

LRESULT CALLBACK CNapredekDlg::WakeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kStopDownload) return DefWindowProcW(window, message, wParam, lParam);
  auto dialog = reinterpret_cast<CNapredekDlg*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (dialog && dialog->m_binding) dialog->m_binding->Abort();
  return 0;
}

// A platform that reads on through a long body after Abort holds the worker
// inside the download for as long as the server sends. The user asked to
// stop: they are told now, and the run ends as cancelled without the
// worker (the end of the run does not wait for it).
void CNapredekDlg::AbandonDownload() {
  if (InterlockedCompareExchange(&m_downloadState, kDownloadAbandoned, kDownloadRunning) != kDownloadRunning) return;
  KillTimer(m_hWnd, kDownloadTimer);
  ShowMessage(MSG_CANCELLED, MB_OK | MB_ICONWARNING);
  PostQuitMessage(0);
}

bool CNapredekDlg::TellIfCancelled() {
  if (!m_cancelled) return false;
  ShowMessage(MSG_CANCELLED, MB_OK | MB_ICONWARNING);
  return true;
}

bool CNapredekDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
  switch (message) {
    case kWatchDownload:
      m_wakeWindow = (HWND)wParam;
      m_stopAsked = false;
      if (m_wakeWindow) {
        SetTimer(m_hWnd, kDownloadTimer, kDownloadTimerMs, nullptr);
      } else {
        KillTimer(m_hWnd, kDownloadTimer);
      }
      return true;
    case WM_TIMER:
      if (wParam != kDownloadTimer) return false;
      if (GetTickCount() - (DWORD)m_lastDataTick >= g_downloadNoDataLimitMs) m_stalled = 1;
      // Again on every tick until the download ends: a wake that came
      // before the binding existed found nothing to stop.
      if (m_cancelled || m_stalled) WakeDownload();
      if (m_stopAsked && GetTickCount() - m_stopAskedAt >= kCancelGraceMs) AbandonDownload();
      return true;
    case WM_DESTROY:
      // The window draws its icons no more; the dialog's own handling of
      // the message still runs.
      DestroyOwnedIcon(m_bigIcon);
      DestroyOwnedIcon(m_smallIcon);
      return false;
    case WM_SETCURSOR:
      // Cancel is the one control that still acts: it keeps its own cursor.
      if ((HWND)wParam == m_cancelButton.GetSafeHwnd()) return false;
      SetCursor(m_waitCursor);
      *result = TRUE;
      return true;
    default:
      return false;
  }
}

HRESULT CNapredekDlg::Download(const wchar_t* url, wchar_t* buffer, DWORD capacity) {
  // urlmon is not one of the libraries every process has: it comes from the
  // system folder. Once loaded it stays: after an abandoned download its
  // network library goes on working on threads of its own for a while, and
  // unloading it under them brings the process down.
  static HMODULE urlmon = LoadSystemLibrary(L"urlmon.dll");
  auto downloadToCache = MODULE_PROC(urlmon, URLDownloadToCacheFileW);
  HRESULT result = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  m_responseStatus = 0;
  m_sizeAnnounced = m_sizeReceived = 0;
  m_barWidth = 0;
  m_lastDataTick = (LONG)GetTickCount();
  m_stalled = 0;
  if (downloadToCache) {
    {
      m_downloadState = kDownloadRunning;
      DownloadWake wake(*this);
      result = wake.ready()
                   ? downloadToCache(nullptr, url, buffer, capacity, 0, static_cast<IBindStatusCallback*>(this))
                   : E_OUTOFMEMORY;
      // Too late: the window has told the cancel and ends the run, which
      // must see nothing more of this thread.
      if (InterlockedCompareExchange(&m_downloadState, kDownloadReturned, kDownloadRunning) == kDownloadAbandoned)
        Sleep(INFINITE);
    }
    if (m_binding) m_binding->Release();
    m_binding = nullptr;
    if (FAILED(result) && m_stalled) result = INET_E_CONNECTION_TIMEOUT;
    // Some platforms save an error page as the download although OnResponse
    // asked them to stop: an HTTP error is a failed download all the same.
    if (SUCCEEDED(result) && m_responseStatus >= 400) result = INET_E_DOWNLOAD_FAILURE;
    // Some also save what arrived of a transfer that the connection cut
    // short, or read on past the announced size when the server sends more:
    // a file of another size than announced is no download.
    if (SUCCEEDED(result) && m_sizeAnnounced && m_sizeReceived != m_sizeAnnounced) result = INET_E_DOWNLOAD_FAILURE;
  }
  if (FAILED(result) && capacity > 0) buffer[0] = L'\0';
  return result;
}

STDMETHODIMP CNapredekDlg::QueryInterface(REFIID riid, void** ppv) {
  if (IsEqualIID(riid, IID_IBindStatusCallback) || IsEqualIID(riid, IID_IUnknown)) {
    *ppv = static_cast<IBindStatusCallback*>(this);
  } else if (IsEqualIID(riid, IID_IHttpNegotiate)) {
    *ppv = static_cast<IHttpNegotiate*>(this);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CNapredekDlg::AddRef() { return ++m_refCount; }
STDMETHODIMP_(ULONG) CNapredekDlg::Release() { return --m_refCount; }
STDMETHODIMP CNapredekDlg::OnStartBinding(DWORD, IBinding* binding) {
  if (m_cancelled || m_stalled) return E_ABORT;
  if (m_binding) m_binding->Release();
  m_binding = binding;
  if (m_binding) m_binding->AddRef();
  return S_OK;
}
STDMETHODIMP CNapredekDlg::GetPriority(LONG*) { return S_OK; }
STDMETHODIMP CNapredekDlg::OnLowResource(DWORD) { return S_OK; }

STDMETHODIMP CNapredekDlg::OnProgress(ULONG progress, ULONG progressMax, ULONG, LPCWSTR) {
  if (progressMax > m_sizeAnnounced) m_sizeAnnounced = progressMax;
  if (progress > m_sizeReceived) m_lastDataTick = (LONG)GetTickCount();
  if (progress > m_sizeReceived) m_sizeReceived = progress;
  // The bar counts in thousandths of the announced size, and is told only
  // what the user can see change: each message to it is a round trip to the
  // user-interface thread and a redraw, and reports come far more often than
  // its filled part grows by a pixel. Thousandths also keep sizes of 2 GiB
  // and more inside its int range. A download of unknown size (progressMax
  // 0) leaves the bar empty.
  if (m_progress.IsWindow()) {
    if (!m_barWidth || progressMax != m_barSize) {
      m_progress.SetRange32(0, progressMax ? kBarSteps : 0);
      m_barSize = progressMax;
      m_barPixel = -1;
      RECT client = {};
      ::GetClientRect(m_progress.m_hWnd, &client);
      m_barWidth = client.right > client.left ? client.right - client.left : 1;
    }
    int pos = progressMax ? (int)((ULONGLONG)(progress < progressMax ? progress : progressMax) * kBarSteps / progressMax) : 0;
    int pixel = pos * m_barWidth / kBarSteps;
    if (pixel != m_barPixel) {
      m_progress.SetPos(pos);
      m_barPixel = pixel;
    }
  }
  // Stops the download while data flows; during a silence the worker's wake
  // window stops it instead.
  return m_cancelled || m_stalled ? E_ABORT : S_OK;
}

STDMETHODIMP CNapredekDlg::OnStopBinding(HRESULT, LPCWSTR) {
  if (m_binding) m_binding->Release();
  m_binding = nullptr;
  return S_OK;
}
STDMETHODIMP CNapredekDlg::GetBindInfo(DWORD*, BINDINFO*) { return S_OK; }
STDMETHODIMP CNapredekDlg::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) { return S_OK; }
STDMETHODIMP CNapredekDlg::OnObjectAvailable(REFIID, IUnknown*) { return S_OK; }

STDMETHODIMP CNapredekDlg::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) {
  if (additionalHeaders) *additionalHeaders = nullptr;
  return S_OK;
}

STDMETHODIMP CNapredekDlg::OnResponse(DWORD responseCode, LPCWSTR, LPCWSTR, LPWSTR* additionalRequestHeaders) {
  if (additionalRequestHeaders) *additionalRequestHeaders = nullptr;
  m_responseStatus = responseCode;
  return responseCode >= 400 ? E_ABORT : S_OK;
}
