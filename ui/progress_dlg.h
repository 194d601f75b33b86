// The progress window: the setup's main window while it works, with two
// status lines, a progress bar and a Cancel button. It is also the download
// status callback that every download of the setup reports to.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include "afx/afxwin.h"

class CNapredekDlg : public CDialog, public IBindStatusCallback {
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
  HICON m_smallIcon = nullptr;
  HICON m_bigIcon = nullptr;
  HCURSOR m_waitCursor = nullptr;
  ULONG m_refCount = 0;

  // IBindStatusCallback. The object lives as long as the application: the
  // reference count never frees it.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP OnStartBinding(DWORD reserved, IBinding* binding) override;
  STDMETHODIMP GetPriority(LONG* priority) override;
  STDMETHODIMP OnLowResource(DWORD reserved) override;
  STDMETHODIMP OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR statusText) override;
  STDMETHODIMP OnStopBinding(HRESULT result, LPCWSTR errorText) override;
  STDMETHODIMP GetBindInfo(DWORD* bindFlags, BINDINFO* bindInfo) override;
  STDMETHODIMP OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP OnObjectAvailable(REFIID riid, IUnknown* object) override;

protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnCancel() override;
};
