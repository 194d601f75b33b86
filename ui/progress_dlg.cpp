#include "ui/progress_dlg.h"

#include "afx/seams.h"
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
  if (m_cancelled.Ask() && m_downloading) WatchDownload();
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
  if (!m_downloading || !m_progress.IsWindow()) return;
  // Thousandths of the announced size, which keep sizes of 2 GiB and more
  // inside the bar's int range. A download of unknown size leaves it empty.
  ULONG size = m_download.announced(), received = m_download.received();
  int pos = size ? (int)((ULONGLONG)(received < size ? received : size) * kBarSteps / size) : 0;
  if (m_barPixel < 0 || size != m_barSize) {
    m_progress.SetRange32(0, size ? kBarSteps : 0);
    m_barSize = size;
    // The bar keeps its position through a new range: told again only when
    // the position is another (a size learnt before any byte is not).
    if (pos != m_barPos) m_barPixel = -1;
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
    m_barPos = pos;
  }
}

void CNapredekDlg::WatchDownload() {
  switch (m_download.Look(m_cancelled, GetTickCount(), g_seams.downloadNoDataLimitMs, kCancelGraceMs)) {
    case DownloadState::Watch::kNothing:
      return;
    case DownloadState::Watch::kStop:
      StopDownload(m_download);
      return;
    case DownloadState::Watch::kAbandon:
      // The platform holds the worker inside a download that Cancel asked
      // to stop: the user is told now, and the run ends without it.
      KillTimer(m_hWnd, kDownloadTimer);
      m_downloading = false;
      TellCancelled();
      PostQuitMessage(0);
      return;
  }
}

bool CNapredekDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
  switch (message) {
    case kDownloadMessage:
      if (wParam) {
        // Each download starts from nothing, whatever an earlier one left.
        m_download.Reset(GetTickCount());
        m_downloading = true;
        m_barPixel = -1;
        SetTimer(m_hWnd, kDownloadTimer, kDownloadTimerMs, nullptr);
      } else {
        KillTimer(m_hWnd, kDownloadTimer);
      }
      // The end shows where the download ended before the window lets go
      // of it.
      ShowProgress();
      m_downloading = wParam != 0;
      return true;
    case WM_TIMER:
      if (wParam != kDownloadTimer) return false;
      if (!m_downloading) return true;
      ShowProgress();
      WatchDownload();
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
