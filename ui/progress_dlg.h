// The progress window: the setup's main window while it works, with two
// status lines, a progress bar and a Cancel button. It is also the download
// status callback that every download of the setup reports to.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include "afx/afxwin.h"

// A transfer that receives no byte for this long fails like any failed
// download: a server that stops sending must not hold the setup forever.
const DWORD kDownloadNoDataLimitMs = 60 * 1000;
// The limit in force; tests shorten it.
extern DWORD g_downloadNoDataLimitMs;
// Once Cancel has asked the platform's download to stop, how long the window
// waits for it to return before it ends the setup itself: some platforms
// read on through the rest of an announced body before they let go of the
// connection, as long as data comes, and the user must not wait for that.
const DWORD kCancelGraceMs = 750;

class CNapredekDlg : public CDialog, public IBindStatusCallback, public IHttpNegotiate {
public:
  CNapredekDlg();

  CStatic m_icon;           // control 101, the application icon
  CStatic m_headline;       // control 103, first status line (word-wrapped)
  CStatic m_detail;         // control 105, second status line (one line)
  CProgressCtrl m_progress; // control 104
  CButton m_cancelButton;   // control 2
  // Set to 1 by the user-interface thread when Cancel is pressed; read by the
  // worker at its checkpoints. It only ever goes from 0 to 1.
  volatile LONG m_cancelled = 0;
  HICON m_smallIcon = nullptr;    // owned, from WM_CREATE to WM_DESTROY
  HICON m_bigIcon = nullptr;      // owned, from WM_CREATE to WM_DESTROY
  HCURSOR m_waitCursor = nullptr; // the system's, shared
  ULONG m_refCount = 0;
  // The HTTP status of the current download's last response; 0 before any.
  DWORD m_responseStatus = 0;
  // The largest size and count the current download reported: a transfer
  // that ended before its announced size is a failed download.
  ULONG m_sizeAnnounced = 0;
  ULONG m_sizeReceived = 0;
  // What the bar was last told for the current download: the announced size
  // its range (kBarSteps) stands for, its width in pixels (0: not told yet),
  // and how many of them the last position it was told filled.
  static const int kBarSteps = 1000;
  ULONG m_barSize = 0;
  int m_barWidth = 0;
  int m_barPixel = -1;
  // When the current download last received a byte (GetTickCount); written
  // by the worker, read by the user-interface thread.
  volatile LONG m_lastDataTick = 0;
  // Set to 1 by the user-interface thread when the current download has
  // received nothing for the limit; read by the worker.
  volatile LONG m_stalled = 0;
  // The current download's binding, from OnStartBinding to OnStopBinding.
  // Only the worker, which owns it, touches it.
  IBinding* m_binding = nullptr;
  // While a download runs: the worker's window that the user-interface
  // thread wakes to stop it. Only the user-interface thread touches it.
  HWND m_wakeWindow = nullptr;
  // When the window first asked the current download to stop after Cancel
  // (GetTickCount), and whether it has. Only the user-interface thread
  // touches them.
  DWORD m_stopAskedAt = 0;
  bool m_stopAsked = false;
  // The current download: running, returned to the worker, or given up by
  // the window after Cancel. Whoever moves it on from running decides what
  // the user is told: the worker, or the window when the platform holds
  // the worker past kCancelGraceMs.
  enum : LONG { kDownloadRunning, kDownloadReturned, kDownloadAbandoned };
  volatile LONG m_downloadState = kDownloadReturned;

  // What the worker does with the window. Each is a synchronous call into
  // the user-interface thread, which serves it from its message loop.
  void SetHeadline(const wchar_t* text) { m_headline.SetWindowText(text); }
  void SetDetail(const wchar_t* text) { m_detail.SetWindowText(text); }
  void Hide() { ShowWindow(SW_HIDE); }
  // True, after telling the user with message 24, when Cancel was pressed:
  // the worker's checkpoints.
  bool TellIfCancelled();
  // Whether the window gave up a download that Cancel could not stop: the
  // user has been told, and the worker is held by the platform for good.
  bool DownloadAbandoned() const { return m_downloadState == kDownloadAbandoned; }

  // Downloads `url` into the platform's download cache, reporting to this
  // window, and gives the cached file's path in `buffer` (`capacity`
  // characters). Fails when the server answers with an HTTP error or the
  // user cancels or nothing arrives for the no-data limit; `buffer` is then
  // empty. Cancel stops it at once, whether data flows or not.
  HRESULT Download(const wchar_t* url, wchar_t* buffer, DWORD capacity);

  // IUnknown, shared by both interfaces. The object lives as long as the
  // application: the reference count never frees it.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IBindStatusCallback, in the interface's own order.
  STDMETHODIMP OnStartBinding(DWORD reserved, IBinding* binding) override;
  STDMETHODIMP GetPriority(LONG* priority) override;
  STDMETHODIMP OnLowResource(DWORD reserved) override;
  STDMETHODIMP OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR statusText) override;
  STDMETHODIMP OnStopBinding(HRESULT result, LPCWSTR errorText) override;
  STDMETHODIMP GetBindInfo(DWORD* bindFlags, BINDINFO* bindInfo) override;
  STDMETHODIMP OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP OnObjectAvailable(REFIID riid, IUnknown* object) override;

  // IHttpNegotiate: lets the setup see the server's HTTP status.
  STDMETHODIMP BeginningTransaction(LPCWSTR url, LPCWSTR headers, DWORD reserved,
                                    LPWSTR* additionalHeaders) override;
  STDMETHODIMP OnResponse(DWORD responseCode, LPCWSTR responseHeaders, LPCWSTR requestHeaders,
                          LPWSTR* additionalRequestHeaders) override;

protected:
  void DoDataExchange(CDataExchange* pDX) override;
  int OnCreate() override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
  class DownloadWake;
  // Asks the worker to stop the current download, on its own thread.
  void WakeDownload();
  // Tells the cancel and ends the run without the worker, unless the
  // download has returned to it.
  void AbandonDownload();
  // The worker's side: stops the binding it owns.
  static LRESULT CALLBACK WakeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
