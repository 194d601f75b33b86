// The application object: start-up, the shared state of a setup run, and its end.
#pragma once

#include <windows.h>

#include "afx/afxwin.h"
#include "afx/handles.h"
#include "afx/wstring.h"
#include "app/command_line.h"
#include "app/setup_result.h"
#include "engine/msi_api.h"
#include "ui/progress_dlg.h"

class CPelorinApp : public CWinApp {
public:
  CPelorinApp();

  BOOL InitInstance() override;
  int ExitInstance() override;

  // Setup language: the user's default at start-up, then the one chosen.
  LANGID m_langId = 0;
  // The process exit code.
  SetupResult m_result = kResultStartupFailed;
  int32_t m_osMajor = 0;
  BOOL m_notNt = FALSE;
  BOOL m_isAdmin = FALSE;
  // Set when an engine upgrade asked for a restart of the computer.
  BOOL m_restartPending = FALSE;
  CommandMode m_commandMode = ModeInstall;
  WString m_exePath;             // full path of the setup executable
  WString m_exeDir;              // its folder, ending with a backslash, or ".\"
  const wchar_t* m_exeName = L"";  // its file name, within m_exePath
  UniqueHandle m_exeHold;        // the setup's file, shared for reading only
  WString m_runFolder;           // the run's own folder for downloads, once made
  MsiApi m_msi = {};
  CNapredekDlg m_progressDlg;
  CWinThread* m_workerThread = nullptr;
};

// The one application object of the process. The setup's own code is handed
// it as a parameter (the worker as its thread's parameter); this is for the
// code that nothing hands it to, as tests that call the setup's parts.
CPelorinApp& App();
