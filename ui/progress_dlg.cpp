#include "ui/progress_dlg.h"

#include "ui/resource.h"

CNapredekDlg::CNapredekDlg() : CDialog(IDD_PROGRESS) {}

void CNapredekDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, IDC_APP_ICON, m_icon);
  DDX_Control(pDX, IDC_HEADLINE, m_headline);
  DDX_Control(pDX, IDC_DETAIL, m_detail);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
  DDX_Control(pDX, IDCANCEL, m_cancelButton);
}

BOOL CNapredekDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  CWinApp* app = AfxGetApp();
  if (app) SetWindowText(app->m_pszAppName);
  m_cancelButton.SetFocus();
  m_cancelled = 0;
  return FALSE;
}

void CNapredekDlg::OnCancel() { m_cancelled = 1; }

STDMETHODIMP CNapredekDlg::QueryInterface(REFIID riid, void** ppv) {
  if (IsEqualIID(riid, IID_IBindStatusCallback) || IsEqualIID(riid, IID_IUnknown)) {
    *ppv = static_cast<IBindStatusCallback*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) CNapredekDlg::AddRef() { return ++m_refCount; }
STDMETHODIMP_(ULONG) CNapredekDlg::Release() { return --m_refCount; }
STDMETHODIMP CNapredekDlg::OnStartBinding(DWORD, IBinding*) { return S_OK; }
STDMETHODIMP CNapredekDlg::GetPriority(LONG*) { return S_OK; }
STDMETHODIMP CNapredekDlg::OnLowResource(DWORD) { return S_OK; }
STDMETHODIMP CNapredekDlg::OnProgress(ULONG progress, ULONG progressMax, ULONG, LPCWSTR) {
  if (m_progress.IsWindow()) {
    m_progress.SetRange32(0, (int)progressMax);
    m_progress.SetPos((int)progress);
  }
  return m_cancelled ? E_ABORT : S_OK;
}
STDMETHODIMP CNapredekDlg::OnStopBinding(HRESULT, LPCWSTR) { return S_OK; }
STDMETHODIMP CNapredekDlg::GetBindInfo(DWORD*, BINDINFO*) { return S_OK; }
STDMETHODIMP CNapredekDlg::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) { return S_OK; }
STDMETHODIMP CNapredekDlg::OnObjectAvailable(REFIID, IUnknown*) { return S_OK; }
