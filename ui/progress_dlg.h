// The progress window: the setup's main window while it works, with two
// status lines, a progress bar and a Cancel button. Every download of the
// setup reports to it: it is told as one starts and ends, and its timer reads
// the download state (how far, whether to stop) that it owns beside its
// cancel state.
#pragma once

#include <windows.h>

#include "afx/afxwin.h"
#include "app/cancel_state.h"
#include "install/download.h"
#include "install/download_state.h"

class CNapredekDlg : public CDialog {
public:
  CNapredekDlg();

  CStatic m_icon;           // control 101, the application icon
  CStatic m_headline;       // control 103, first status line (word-wrapped)
  CStatic m_detail;         // control 105, second status line (one line)
  CProgressCtrl m_progress; // control 104
  CButton m_cancelButton;   // control 2
  // Whether the user's Cancel stops the run, and who tells them: the
  // Cancel button asks, the worker's checkpoints and downloads look.
  CancelState m_cancelled;
  HICON m_smallIcon = nullptr;    // owned, from WM_CREATE to WM_DESTROY
  HICON m_bigIcon = nullptr;      // owned, from WM_CREATE to WM_DESTROY
  HCURSOR m_waitCursor = nullptr; // the system's, shared
  // How far the download under way has got, written by the worker, and
  // read by the timer between the download's start and end; reset as each
  // download starts.
  DownloadState m_download;
  bool m_downloading = false;  // between the start and the end
  // What the bar was last told: the size its range (kBarSteps) stands for,
  // its width, its position, and the pixel its filled part reached (-1
  // before the first tick of a download).
  static const int kBarSteps = 1000;
  ULONG m_barSize = 0;
  int m_barWidth = 1;
  int m_barPos = 0;
  int m_barPixel = -1;

  // The event that tells screen readers that a status line changed.
  DWORD m_textChangeEvent = EVENT_OBJECT_NAMECHANGE;

  // What the worker does with the window. Each is a synchronous call into
  // the user-interface thread, which serves it from its message loop. The
  // status lines are live regions: each new text is read out.
  void SetHeadline(const wchar_t* text) { SetStatusLine(m_headline, text); }
  void SetDetail(const wchar_t* text) { SetStatusLine(m_detail, text); }
  void Hide() { ShowWindow(SW_HIDE); }
  // A later product begins its own steps: the window shows again, and its
  // Cancel counts again.
  void ShowForWork();
  // True, after telling the user with message 24, when Cancel was pressed:
  // the worker's checkpoints.
  bool TellIfCancelled();
  // The last checkpoint before the engine has the package: true when it may
  // have it, and the window is then hidden; false after message 24. The
  // window hides first, so that a press while it hides still counts.
  bool HandOverToEngine();
  // Whether the window gave up a download that Cancel could not stop: the
  // user has been told, and the worker is held by the platform for good.
  bool DownloadAbandoned() const { return m_cancelled.phase() == CancelState::kAbandoned; }

protected:
  void DoDataExchange(CDataExchange* pDX) override;
  int OnCreate() override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
  void SetStatusLine(CStatic& line, const wchar_t* text);
  // Moves the bar to what the current download has received.
  void ShowProgress();
  // Stops the download once Cancel counted or nothing arrived for the
  // no-data limit, and ends the run when the platform holds the worker past
  // the grace time after Cancel.
  void WatchDownload();
};
