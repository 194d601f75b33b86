/* The smallest useful windowed program: one dialog from a resource template,
   closed by its button. The benchmark compares the setup's size and start-up
   time with it. */
#include <windows.h>

static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
  (void)previous;
  (void)commandLine;
  (void)show;
  return (int)DialogBoxParamW(instance, MAKEINTRESOURCEW(100), NULL, DialogProc, 0);
}
