// The Windows half of scripts/main-job.sh: starts the setup, chooses a
// language in its dialog, takes a picture of the progress window while the
// package downloads, answers every message with its first button (OK, or Yes
// to a question), waits for the end and reports what a user and a calling
// script see: the whole exit code, the message boxes, and the state of the
// product and its installed file. The setup is run as the tests run it
// (RunSetup, support/run.h).
//
//   install_demo_driver SETUP LANGUAGE PRODUCTCODES INSTALLEDFILE SCREENSHOT.bmp
//
// PRODUCTCODES is one product code, or several separated by ";" when the
// caller does not know which of its packages the setup will choose: the state
// reported is that of the first one installed. INSTALLEDFILE "-" checks no file.
//
// Prints "key: value" lines; its own exit code is 0 when it could run the
// setup to its end (whatever the setup's result), 1 otherwise.
#include <windows.h>
#include <msi.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "support/run.h"

using namespace pelorin_test;

namespace {

// The window as it is on screen, into a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const wchar_t* path) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  DWORD stride = ((width * 3 + 3) / 4) * 4;
  std::vector<BYTE> pixels(stride * height);
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + (DWORD)pixels.size();
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, &header, sizeof header, &written, nullptr) &&
            WriteFile(file, &info, sizeof info, &written, nullptr) &&
            WriteFile(file, pixels.data(), (DWORD)pixels.size(), &written, nullptr);
  CloseHandle(file);
  return ok;
}

// The state of the first of `productCodes` that is installed, or of the
// first one when none is; `*productCode` tells which.
INSTALLSTATE FirstInstalled(const std::wstring& productCodes, std::wstring* productCode) {
  INSTALLSTATE state = INSTALLSTATE_UNKNOWN;
  for (size_t start = 0; start <= productCodes.size();) {
    size_t end = productCodes.find(L';', start);
    if (end == std::wstring::npos) end = productCodes.size();
    std::wstring code = productCodes.substr(start, end - start);
    start = end + 1;
    if (code.empty()) continue;
    INSTALLSTATE codeState = MsiQueryProductStateW(code.c_str());
    if (productCode->empty() || codeState == INSTALLSTATE_DEFAULT) {
      *productCode = code;
      state = codeState;
    }
    if (codeState == INSTALLSTATE_DEFAULT) break;
  }
  return state;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 6) {
    fprintf(stderr, "usage: install_demo_driver SETUP LANGUAGE PRODUCTCODES INSTALLEDFILE SCREENSHOT.bmp\n");
    return 1;
  }
  RunScript script;
  script.language = argv[2];
  script.timeoutMs = 300000;
  script.recordStatus = false;
  bool pictureTaken = false;
  script.whileRunning = [&](HWND progress) {
    if (pictureTaken || !progress || !IsWindowVisible(progress)) return;
    std::wstring detail = ControlText(progress, IDC_DETAIL);
    int position = BarPosition(GetDlgItem(progress, IDC_PROGRESS));
    if (detail.empty() || position <= 0) return;
    Sleep(150);  // let the window paint its latest state
    pictureTaken = SaveWindowPicture(progress, argv[5]);
    printf("progress headline: %s\n", Printable(ControlText(progress, IDC_HEADLINE)).c_str());
    printf("progress detail: %s\n", Printable(detail).c_str());
    printf("progress bar: %d\n", position);
  };
  RunResult run = RunSetup(argv[1], script);
  for (const std::wstring& item : run.languageItems) printf("language offered: %s\n", Printable(item).c_str());
  for (const ShownBox& box : run.boxes) printf("message: %s\n", Printable(box.content.text).c_str());
  bool offered = false;
  for (const std::wstring& item : run.languageItems) offered = offered || lstrcmpiW(item.c_str(), argv[2]) == 0;
  if (run.languageDialogShown && !offered) {
    printf("error: the language dialog does not offer %s\n", Printable(argv[2]).c_str());
    return 1;
  }
  if (!run.finished) {
    printf("error: the setup did not end within 5 minutes\n");
    return 1;
  }
  if (run.languageDialogShown) printf("language chosen: %s\n", Printable(argv[2]).c_str());
  printf("exit code: %lu\n", run.exitCode);
  printf("screenshot taken: %s\n", pictureTaken ? "yes" : "no");
  printf("language dialog: %s\n", run.languageDialogShown ? "shown" : "not shown");
  std::wstring productCode;
  INSTALLSTATE state = FirstInstalled(argv[3], &productCode);
  printf("product state: %d (%s)\n", (int)state, state == INSTALLSTATE_DEFAULT ? "installed" : "not installed");
  printf("product code: %s\n", Printable(productCode).c_str());
  if (wcscmp(argv[4], L"-") != 0) {
    DWORD attributes = GetFileAttributesW(argv[4]);
    printf("installed file: %s (%s)\n", Printable(argv[4]).c_str(),
           attributes != INVALID_FILE_ATTRIBUTES ? "present" : "missing");
  }
  return 0;
}
