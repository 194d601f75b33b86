// The small application framework of the setup: an application object with
// its start-up, message loop and end; worker threads; dialogs built from
// resource templates, with data exchange that binds controls by ID; and the
// few controls the two dialogs use. Only what the setup needs.
#pragma once

#include <windows.h>

#include "afx/wstring.h"

class CWnd;

// ---------------------------------------------------------------- windows

class CWnd {
public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd() = default;

  HWND GetSafeHwnd() const { return m_hWnd; }
  BOOL IsWindow() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd); }
  BOOL SetWindowText(const wchar_t* text) { return ::SetWindowTextW(m_hWnd, text); }
  BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
  BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }
  BOOL EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
  HWND SetFocus() { return ::SetFocus(m_hWnd); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
  }

  // The desktop, as a parent for top-level windows.
  static CWnd* GetDesktopWindow();

  HWND m_hWnd = nullptr;
};

class CStatic : public CWnd {};
class CButton : public CWnd {};

class CProgressCtrl : public CWnd {
public:
  void SetRange32(int lower, int upper) { SendMessage(PBM_SETRANGE32_, (WPARAM)lower, (LPARAM)upper); }
  int SetPos(int position) { return (int)SendMessage(PBM_SETPOS_, (WPARAM)position, 0); }

private:
  // The progress bar's messages (commctrl.h), kept here so that every user
  // of the framework need not include the common controls.
  enum : UINT { PBM_SETPOS_ = WM_USER + 2, PBM_SETRANGE32_ = WM_USER + 6 };
};

class CComboBox : public CWnd {
public:
  void ResetContent() { SendMessage(CB_RESETCONTENT); }
  int AddString(const wchar_t* text) { return (int)SendMessage(CB_ADDSTRING, 0, (LPARAM)text); }
  int SetItemDataPtr(int index, void* data) { return (int)SendMessage(CB_SETITEMDATA, (WPARAM)index, (LPARAM)data); }
  void* GetItemDataPtr(int index) { return (void*)SendMessage(CB_GETITEMDATA, (WPARAM)index, 0); }
  int SetCurSel(int index) { return (int)SendMessage(CB_SETCURSEL, (WPARAM)index, 0); }
  int GetCurSel() { return (int)SendMessage(CB_GETCURSEL); }
};

// ---------------------------------------------------------------- dialogs

class CDataExchange {
public:
  CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
  CWnd* m_pDlgWnd;
  BOOL m_bSaveAndValidate;
};

// Binds the control with `id` of the dialog to `control`.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

class CDialog : public CWnd {
public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

  // Modeless: creates the window from the template and returns at once.
  BOOL Create(UINT templateId, CWnd* parent);
  // Modal: runs the dialog owned by its parent, or by the application's main
  // window, and gives the code it ended with (-1 when it could not be created).
  INT_PTR DoModal();
  void EndDialog(int result) { ::EndDialog(m_hWnd, result); }
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

protected:
  // Runs once the window exists and before dialog initialisation, as window
  // creation handling; -1 makes the creation fail.
  virtual int OnCreate() { return 0; }
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange*) {}
  virtual void OnOK();
  virtual void OnCancel();
  // WM_COMMAND: IDOK and IDCANCEL go to OnOK and OnCancel.
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  // Other messages the dialog handles itself: true when handled, with the
  // answer in `result`; false leaves the message to the default handling.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;

private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool m_modal = false;
};

// ---------------------------------------------------------------- threads

typedef UINT (*AFX_THREADPROC)(LPVOID);

class CWinThread {
public:
  CWinThread(AFX_THREADPROC proc, LPVOID param) : m_pfnThreadProc(proc), m_pThreadParams(param) {}
  CWinThread(const CWinThread&) = delete;
  CWinThread& operator=(const CWinThread&) = delete;
  virtual ~CWinThread() {
    if (m_hThread) CloseHandle(m_hThread);
  }
  DWORD ResumeThread() { return ::ResumeThread(m_hThread); }

  HANDLE m_hThread = nullptr;
  DWORD m_nThreadID = 0;
  // When true the thread object deletes itself as the thread ends.
  BOOL m_bAutoDelete = TRUE;
  AFX_THREADPROC m_pfnThreadProc;
  LPVOID m_pThreadParams;
};

// Starts `proc(param)` on a new thread; null when no thread could be made.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0, LPSECURITY_ATTRIBUTES security = nullptr);

// ---------------------------------------------------------------- application

class CWinApp {
public:
  CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  virtual ~CWinApp();

  // The framework's own initialisation; false when the process cannot go on.
  virtual BOOL InitInstance();
  // The message loop, until WM_QUIT; then ExitInstance, whose answer it returns.
  virtual int Run();
  // The end of the application; its answer is the process exit code.
  virtual int ExitInstance() { return 0; }

  HINSTANCE m_hInstance = nullptr;
  // The command line without the program's own name.
  LPWSTR m_lpCmdLine = nullptr;
  CWnd* m_pMainWnd = nullptr;
  DWORD m_nThreadID = 0;
  // The application title, read once before InitInstance.
  const wchar_t* m_pszAppName = L"";

  // Called by the program's entry point.
  int WinMain(HINSTANCE instance, LPWSTR commandLine);

private:
  WString m_appName;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// The application's main window, or null.
CWnd* AfxGetMainWnd();

// Loads string `id` of the catalogue in the user-interface language; false
// (and an empty text) when the catalogue has no such string.
bool AfxLoadString(UINT id, WString& text);
