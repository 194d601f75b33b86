#include "ui/progress_dlg.h"

#include "ui/accessibility.h"
#include "ui/messages.h"
#include "ui/resource.h"

namespace {

void TellCancelled() { ShowMessage(MSG_CANCELLED, MB_OK | MB_ICONWARNING); }

// While a download runs, the window looks this often at how far it has got
// (the bar) and whether it has to stop: often enough to look smooth, and
// never more often.
const UINT_PTR kDownloadTimer = 1;
const UINT kDownloadTimerMs = 100;

HICON LoadAppIcon(int widthMetric, int heightMetric) {
  return (HICON)LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                           GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR);
}

void DestroyOwnedIcon(HICON& icon) {
  if (icon) DestroyIcon(icon);
  icon = nullptr;
}

}  // namespace

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
  m_barPixel = -1;
  CWinApp* app = AfxGetApp();
  if (app) SetWindowText(app->m_pszAppName);
  SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_smallIcon);
  SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_bigIcon);
  // Through the dialog manager, which makes the focused Cancel the default
  // button too: Return and Space press it from the start, as Esc does.
  SendMessage(WM_NEXTDLGCTL, (WPARAM)m_cancelButton.GetSafeHwnd(), TRUE);
  DescribeProgressWindow(m_headline.GetSafeHwnd(), m_detail.GetSafeHwnd(), m_progress.GetSafeHwnd());
  m_textChangeEvent = LiveTextChangeEvent();
  m_cancelled.Restart();
  return FALSE;  // the focus is set
}

// The window has no OK button; should the dialog manager still turn Enter
// into IDOK, that must neither close nor hide the setup's main window.
void CNapredekDlg::OnOK() {}

// Counts the press while the setup works, and stops a running download at
// once: the worker sees it at its next checkpoint and tells the user itself.
void CNapredekDlg::OnCancel() {
  if (m_cancelled.Ask() && m_download) m_download->Watch();
}

void CNapredekDlg::ShowForWork() {
  m_cancelled.Resume();
  if (!IsWindowVisible(m_hWnd)) ShowWindow(SW_SHOW);
}

bool CNapredekDlg::TellIfCancelled() {
  if (!m_cancelled.Take()) return false;
  TellCancelled();
  return true;
}

bool CNapredekDlg::HandOverToEngine() {
  if (TellIfCancelled()) return false;
  // The last look comes after the window is gone from the screen: a press
  // the user could still make counts.
  Hide();
  if (m_cancelled.HandOver()) return true;
  ShowWindow(SW_SHOW);
  TellCancelled();
  return false;
}

void CNapredekDlg::SetStatusLine(CStatic& line, const wchar_t* text) {
  line.SetWindowText(text);
  AnnounceTextChange(line.GetSafeHwnd(), m_textChangeEvent);
}

void CNapredekDlg::ShowProgress() {
  if (!m_download || !m_progress.IsWindow()) return;
  // Thousandths of the announced size, which keep sizes of 2 GiB and more
  // inside the bar's int range. A download of unknown size leaves it empty.
  ULONG size = m_download->announced(), received = m_download->received();
  int pos = size ? (int)((ULONGLONG)(received < size ? received : size) * kBarSteps / size) : 0;
  if (m_barPixel < 0 || size != m_barSize) {
    m_progress.SetRange32(0, size ? kBarSteps : 0);
    m_barSize = size;
    m_barPixel = -1;
    RECT client = {};
    ::GetClientRect(m_progress.m_hWnd, &client);
    m_barWidth = client.right > client.left ? client.right - client.left : 1;
  }
  // Told only what the user can see change: each redraw of the bar costs
  // the user-interface thread, and a slow download moves it by less than a
  // pixel a tick.
  int pixel = pos * m_barWidth / kBarSteps;
  if (pixel != m_barPixel) {
    m_progress.SetPos(pos);
    m_barPixel = pixel;
  }
}

bool CNapredekDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case CDownload::kWatchMessage:
      // The end of a download shows where it ended before the window lets
      // go of it.
      if (!lParam) ShowProgress();
      m_download = reinterpret_cast<CDownload*>(lParam);
      if (m_download) {
        m_barPixel = -1;
        SetTimer(m_hWnd, kDownloadTimer, kDownloadTimerMs, nullptr);
        ShowProgress();
      } else {
        KillTimer(m_hWnd, kDownloadTimer);
      }
      return true;
    case WM_TIMER:
      if (wParam != kDownloadTimer) return false;
      if (!m_download) return true;
      ShowProgress();
      if (m_download->Watch()) {
        // The platform holds the worker inside a download that Cancel asked
        // to stop: the user is told now, and the run ends without it.
        KillTimer(m_hWnd, kDownloadTimer);
        m_download = nullptr;
        TellCancelled();
        PostQuitMessage(0);
      }
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

HRESULT CNapredekDlg::Download(const wchar_t* url, WString& path) {
  CDownload download(m_cancelled);
  return download.Run(static_cast<IBindStatusCallback*>(this), m_hWnd, url, path);
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
// The platform's reports go to the download under way; one that comes
// outside any download is answered by the cancel state alone.
STDMETHODIMP CNapredekDlg::OnStartBinding(DWORD, IBinding* binding) {
  if (m_download) return m_download->OnStart(binding);
  return m_cancelled.stopping() ? E_ABORT : S_OK;
}
STDMETHODIMP CNapredekDlg::GetPriority(LONG*) { return S_OK; }
STDMETHODIMP CNapredekDlg::OnLowResource(DWORD) { return S_OK; }

STDMETHODIMP CNapredekDlg::OnProgress(ULONG progress, ULONG progressMax, ULONG, LPCWSTR) {
  if (m_download) return m_download->OnProgress(progress, progressMax);
  return m_cancelled.stopping() ? E_ABORT : S_OK;
}

STDMETHODIMP CNapredekDlg::OnStopBinding(HRESULT, LPCWSTR) {
  if (m_download) m_download->OnStop();
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
  if (m_download) return m_download->OnResponse(responseCode);
  return responseCode >= 400 ? E_ABORT : S_OK;
}
