#include "ui/messages.h"

#include "afx/afxwin.h"
#include "afx/system_library.h"
#include "ui/resource.h"

WString LoadMessageText(UINT id) {
  WString text;
  AfxLoadString(id, text);
  return text;
}

WString FormatMessageText(UINT id, std::initializer_list<MessageInsert> inserts) {
  WString text;
  FormatInserts(LoadMessageText(id).c_str(), inserts.begin(), inserts.size(), text);
  return text;
}

int ShowMessage(UINT id, UINT style) { return ShowMessageText(LoadMessageText(id).c_str(), style); }

int ShowMessageText(const wchar_t* text, UINT style) {
  // Owned by the main window while it exists; before it is created and after
  // it is gone the box has no owner.
  CWnd* main = AfxGetMainWnd();
  HWND owner = main && main->IsWindow() ? main->m_hWnd : nullptr;
  CWinApp* app = AfxGetApp();
  return MessageBoxW(owner, text, app ? app->m_pszAppName : L"", style);
}

void ShowError(UINT id, std::initializer_list<MessageInsert> inserts) {
  WString format;
  if (AfxLoadString(id, format)) {
    WString text;
    FormatInserts(format.c_str(), inserts.begin(), inserts.size(), text);
    ShowMessageText(text.c_str(), MB_ICONERROR);
    return;
  }
  ShowMessageText(FormatMessageText(MSG_MISSING_TEXT, {(int32_t)id}).c_str(), MB_ICONERROR);
}

SetupResult TellOutOfMemory() {
  ShowMessage(MSG_OUT_OF_MEMORY, MB_OK | MB_ICONERROR);
  return kResultOutOfMemory;
}

void ReportInstallerResult(SetupResult result) {
  uint32_t code = InstallerCodeToReport(result);
  if (code == 0) return;
  {
    SystemLibrary library(L"msimsg.dll", LOAD_LIBRARY_AS_DATAFILE);
    if (library) {
      wchar_t text[1024];
      if (LoadStringW(library.get(), code, text, 1024) > 0) {
        ShowMessageText(text, MB_ICONERROR);
        return;
      }
    }
  }
  ShowError(MSG_INSTALLER_ERROR, {code});
}
