// The application object of the setup executable, built before the framework
// starts and living as long as the process, and the program's entry point,
// which hands over to it.
#include "afx/system_library.h"
#include "app/app.h"

static CPelorinApp theApp;

CPelorinApp& App() { return theApp; }

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  // Before anything else loads a library.
  RestrictLibrarySearch();
  CWinApp* app = AfxGetApp();
  return app ? app->WinMain(instance, commandLine) : (int)kResultStartupFailed;
}
