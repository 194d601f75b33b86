// The program's entry point: hands over to the application object.
#include "afx/afxwin.h"
#include "afx/system_library.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  // Before anything else loads a library.
  RestrictLibrarySearch();
  CWinApp* app = AfxGetApp();
  return app ? app->WinMain(instance, commandLine) : 713;
}
