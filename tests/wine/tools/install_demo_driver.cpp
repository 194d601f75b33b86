// The Windows half of scripts/main-job.sh: starts the setup, chooses a
// language in its dialog, takes a picture of the progress window while the
// package downloads, answers nothing else, waits for the end and reports
// what a user and a calling script see: the whole exit code, the message
// boxes, and the state of the product and its installed file.
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
#include <commctrl.h>
#include <msi.h>

#include <stdio.h>

#include <string>
#include <vector>

namespace {

struct Found {
  DWORD pid;
  HWND language = nullptr;
  HWND progress = nullptr;
  std::vector<HWND> boxes;
};

BOOL CALLBACK Collect(HWND window, LPARAM parameter) {
  Found* found = reinterpret_cast<Found*>(parameter);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t className[64] = L"";
  GetClassNameW(window, className, 64);
  if (pid != found->pid || wcscmp(className, L"#32770") != 0) return TRUE;
  if (GetDlgItem(window, 1000)) {
    if (IsWindowVisible(window)) found->language = window;
  } else if (GetDlgItem(window, 103) && GetDlgItem(window, 105)) {
    found->progress = window;
  } else if (IsWindowVisible(window) && GetDlgItem(window, 0xFFFF)) {
    found->boxes.push_back(window);
  }
  return TRUE;
}

std::wstring Text(HWND window) {
  wchar_t text[1024] = L"";
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], length, nullptr, nullptr);
  out.resize(length - 1);
  for (char& c : out)
    if (c == '\n' || c == '\r') c = ' ';
  return out;
}

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 6) {
    fprintf(stderr, "usage: install_demo_driver SETUP LANGUAGE PRODUCTCODES INSTALLEDFILE SCREENSHOT.bmp\n");
    return 1;
  }
  const wchar_t* setup = argv[1];
  const wchar_t* language = argv[2];
  const std::wstring productCodes = argv[3];
  const wchar_t* installedFile = argv[4];
  const wchar_t* screenshot = argv[5];

  std::wstring commandLine = L"\"" + std::wstring(setup) + L"\"";
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(setup, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    printf("error: the setup could not be started (%lu)\n", GetLastError());
    return 1;
  }
  CloseHandle(process.hThread);

  bool languageChosen = false, pictureTaken = false;
  std::vector<HWND> answered;
  DWORD start = GetTickCount();
  while (WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT) {
    if (GetTickCount() - start > 300000) {
      printf("error: the setup did not end within 5 minutes\n");
      TerminateProcess(process.hProcess, 1);
      return 1;
    }
    Found found;
    found.pid = process.dwProcessId;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&found));
    if (found.language && !languageChosen) {
      HWND combo = GetDlgItem(found.language, 1000);
      int count = (int)SendMessageW(combo, CB_GETCOUNT, 0, 0);
      int chosen = -1;
      for (int i = 0; i < count; ++i) {
        wchar_t item[128] = L"";
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 128) SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)item);
        printf("language offered: %s\n", Utf8(item).c_str());
        if (_wcsicmp(item, language) == 0) chosen = i;
      }
      if (chosen < 0) {
        printf("error: the language dialog does not offer %s\n", Utf8(language).c_str());
        TerminateProcess(process.hProcess, 1);
        return 1;
      }
      SendMessageW(combo, CB_SETCURSEL, chosen, 0);
      SendMessageW(found.language, WM_COMMAND, MAKEWPARAM(1000, CBN_SELCHANGE), (LPARAM)combo);
      PostMessageW(found.language, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(found.language, IDOK));
      printf("language chosen: %s\n", Utf8(language).c_str());
      languageChosen = true;
    }
    if (found.progress && !pictureTaken && IsWindowVisible(found.progress)) {
      std::wstring detail = Text(GetDlgItem(found.progress, 105));
      int position = (int)SendMessageW(GetDlgItem(found.progress, 104), PBM_GETPOS, 0, 0);
      if (!detail.empty() && position > 0) {
        Sleep(150);  // let the window paint its latest state
        pictureTaken = SaveWindowPicture(found.progress, screenshot);
        printf("progress headline: %s\n", Utf8(Text(GetDlgItem(found.progress, 103))).c_str());
        printf("progress detail: %s\n", Utf8(detail).c_str());
        printf("progress bar: %d\n", position);
      }
    }
    for (HWND box : found.boxes) {
      bool seen = false;
      for (HWND done : answered) seen = seen || done == box;
      if (seen) continue;
      answered.push_back(box);
      printf("message: %s\n", Utf8(Text(GetDlgItem(box, 0xFFFF))).c_str());
      // Whatever it is, the first button: OK, or Yes to a question.
      HWND button = FindWindowExW(box, nullptr, L"Button", nullptr);
      if (button) PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), (LPARAM)button);
    }
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  printf("exit code: %lu\n", exitCode);
  printf("screenshot taken: %s\n", pictureTaken ? "yes" : "no");
  printf("language dialog: %s\n", languageChosen ? "shown" : "not shown");
  INSTALLSTATE state = INSTALLSTATE_UNKNOWN;
  std::wstring productCode;
  for (size_t start = 0; start <= productCodes.size();) {
    size_t end = productCodes.find(L';', start);
    if (end == std::wstring::npos) end = productCodes.size();
    std::wstring code = productCodes.substr(start, end - start);
    start = end + 1;
    if (code.empty()) continue;
    INSTALLSTATE codeState = MsiQueryProductStateW(code.c_str());
    if (productCode.empty() || codeState == INSTALLSTATE_DEFAULT) {
      productCode = code;
      state = codeState;
    }
    if (codeState == INSTALLSTATE_DEFAULT) break;
  }
  printf("product state: %d (%s)\n", (int)state, state == INSTALLSTATE_DEFAULT ? "installed" : "not installed");
  printf("product code: %s\n", Utf8(productCode).c_str());
  if (wcscmp(installedFile, L"-") != 0) {
    DWORD attributes = GetFileAttributesW(installedFile);
    printf("installed file: %s (%s)\n", Utf8(installedFile).c_str(),
           attributes != INVALID_FILE_ATTRIBUTES ? "present" : "missing");
  }
  return 0;
}
