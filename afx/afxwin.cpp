#include "afx/afxwin.h"

#include <commctrl.h>
#include <new>
#include <process.h>

#include "afx/system_library.h"

namespace {

CWinApp* g_app = nullptr;

// The messages whose answer a dialog procedure returns itself instead of
// through DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_COMPAREITEM:
    case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON: case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

unsigned __stdcall ThreadStart(void* parameter) {
  CWinThread* thread = static_cast<CWinThread*>(parameter);
  UINT result = thread->m_pfnThreadProc(thread->m_pThreadParams);
  if (thread->m_bAutoDelete) delete thread;
  return result;
}

}  // namespace

// ---------------------------------------------------------------- windows

CWnd* CWnd::GetDesktopWindow() {
  static CWnd desktop;
  desktop.m_hWnd = ::GetDesktopWindow();
  return &desktop;
}

// ---------------------------------------------------------------- dialogs

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  // Bound anew every time: a dialog object outlives its window and may be
  // created again, and a control of the old window must not stay bound.
  control.m_hWnd = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  m_nIDTemplate = templateId;
  m_pParentWnd = parent;
  m_modal = false;
  HWND window = ::CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(templateId),
                                     parent ? parent->m_hWnd : nullptr, DialogProc, (LPARAM)this);
  return window != nullptr;
}

INT_PTR CDialog::DoModal() {
  m_modal = true;
  HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  if (!owner) {
    CWnd* main = AfxGetMainWnd();
    if (main && main->IsWindow()) owner = main->m_hWnd;
  }
  INT_PTR result = ::DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), owner, DialogProc,
                                     (LPARAM)this);
  m_hWnd = nullptr;
  return result;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange exchange(this, saveAndValidate);
  DoDataExchange(&exchange);
  return TRUE;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  if (m_modal) EndDialog(IDOK);
  else DestroyWindow();
}

void CDialog::OnCancel() {
  if (m_modal) EndDialog(IDCANCEL);
  else DestroyWindow();
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM) {
  switch (LOWORD(wParam)) {
    case IDOK:
      OnOK();
      return TRUE;
    case IDCANCEL:
      OnCancel();
      return TRUE;
    default:
      return FALSE;
  }
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* dialog;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, (LONG_PTR)dialog);
    dialog->m_hWnd = window;
    // A dialog procedure never sees WM_CREATE (the platform sets it only
    // after creating the window), so creation handling runs here, first.
    if (dialog->OnCreate() == -1) {
      if (dialog->m_modal) ::EndDialog(window, -1);
      else ::DestroyWindow(window);
      return FALSE;
    }
    return dialog->OnInitDialog();
  }
  dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!dialog) return FALSE;

  LRESULT result = 0;
  bool handled;
  if (message == WM_COMMAND) {
    handled = dialog->OnCommand(wParam, lParam) || dialog->OnMessage(message, wParam, lParam, &result);
  } else {
    handled = dialog->OnMessage(message, wParam, lParam, &result);
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    dialog->m_hWnd = nullptr;
  }
  if (!handled) return FALSE;
  if (AnswersDirectly(message)) return (INT_PTR)result;
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

// ---------------------------------------------------------------- threads

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize, DWORD createFlags,
                           LPSECURITY_ATTRIBUTES security) {
  CWinThread* thread = new (std::nothrow) CWinThread(proc, param);
  if (!thread) return nullptr;
  // Always created suspended, so that the object is complete before the
  // thread can run (and, with auto-delete, delete it).
  unsigned id = 0;
  uintptr_t handle = _beginthreadex(security, stackSize, ThreadStart, thread, CREATE_SUSPENDED, &id);
  if (!handle) {
    delete thread;
    return nullptr;
  }
  thread->m_hThread = (HANDLE)handle;
  thread->m_nThreadID = id;
  SetThreadPriority(thread->m_hThread, priority);
  if (!(createFlags & CREATE_SUSPENDED)) thread->ResumeThread();
  return thread;
}

// ---------------------------------------------------------------- application

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
  // The progress bar's window class comes with the common controls library.
  // It stays loaded for the life of the process: the class must outlive
  // every window of it.
  HMODULE controls = LoadSystemLibrary(L"comctl32.dll");
  if (!controls) return FALSE;
  auto initControls = reinterpret_cast<decltype(&InitCommonControlsEx)>(
      reinterpret_cast<void*>(GetProcAddress(controls, "InitCommonControlsEx")));
  if (!initControls) return FALSE;
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_PROGRESS_CLASS};
  return initControls(&classes);
}

int CWinApp::Run() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Lets the main window's dialog manager have its keys (Esc is Cancel).
    HWND main = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    if (main && ::IsWindow(main) && IsDialogMessageW(main, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return ExitInstance();
}

int CWinApp::WinMain(HINSTANCE instance, LPWSTR commandLine) {
  m_hInstance = instance;
  m_lpCmdLine = commandLine;
  m_nThreadID = GetCurrentThreadId();

  // The title: the catalogue's, or the executable's name without extension.
  if (!AfxLoadString(0xE000, m_appName)) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      const wchar_t* name = path;
      for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
      const wchar_t* dot = nullptr;
      for (const wchar_t* p = name; *p; ++p)
        if (*p == L'.') dot = p;
      m_appName.Append(name, dot ? (size_t)(dot - name) : wcslen(name));
    }
  }
  m_pszAppName = m_appName.c_str();

  if (!InitInstance()) {
    if (m_pMainWnd && m_pMainWnd->IsWindow()) m_pMainWnd->DestroyWindow();
    return ExitInstance();
  }
  return Run();
}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AfxGetInstanceHandle() {
  return g_app && g_app->m_hInstance ? g_app->m_hInstance : GetModuleHandleW(nullptr);
}

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

bool AfxLoadString(UINT id, WString& text) {
  text.Clear();
  const wchar_t* resource = nullptr;
  // With no buffer the platform hands out the read-only text itself: no
  // length limit, and nothing is copied twice.
  int length = LoadStringW(AfxGetInstanceHandle(), id, reinterpret_cast<LPWSTR>(&resource), 0);
  if (length <= 0 || !resource) return false;
  return text.Append(resource, (size_t)length);
}
