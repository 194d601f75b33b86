// The progress window: the setup's main window while it works, with two
// status lines, a progress bar and a Cancel button. It is also the download
// status callback that every download of the setup reports to.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include "afx/afxwin.h"
#include "app/cancel_state.h"
#include "install/download.h"

class CNapredekDlg : public CDialog, public IBindStatusCallback, public IHttpNegotiate {
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
  ULONG m_refCount = 0;
  // The download under way, from its start to its end (null between
  // downloads): the platform's reports go to it, and the timer looks at it.
  CDownload* m_download = nullptr;
  // What the bar was last told: the size its range (kBarSteps) stands for,
  // its width, and the pixel its filled part reached (-1 before the first
  // tick of a download).
  static const int kBarSteps = 1000;
  ULONG m_barSize = 0;
  int m_barWidth = 1;
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

  // Downloads `url` into the platform's download cache, reporting to this
  // window, and gives the cached file's path (see CDownload::Run).
  HRESULT Download(const wchar_t* url, WString& path);

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
  void SetStatusLine(CStatic& line, const wchar_t* text);
  // Moves the bar to what the current download has received.
  void ShowProgress();
};
