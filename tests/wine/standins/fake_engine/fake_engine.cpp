// A stand-in for the engine redistributable (and, where a test needs one, for
// a second instance of the setup): a small Windows program whose file version
// the build chooses and whose behaviour the test that starts it chooses.
//
// What it does, in order:
//  - PELORIN_FAKE_RECORD=<file>: appends one line to <file> (UTF-16LE):
//        <its command line as received>|<its own module path>\n
//    so that a test can check exactly what it was started with, and which
//    copy ran.
//  - PELORIN_FAKE_STARTED=<event name>: sets that named event.
//  - PELORIN_FAKE_HOLD=<event name>: waits (60 s at most) until that named
//    event is set, so that a test can act while it runs.
//  - Ends with the exit code read from the file "<its own path>.exit" when
//    there is one, else from PELORIN_FAKE_EXIT, else 0. The number may be
//    decimal or 0x-hexadecimal, and may use all 32 bits.
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

namespace {

bool Environment(const wchar_t* name, wchar_t* value, DWORD capacity) {
  DWORD length = GetEnvironmentVariableW(name, value, capacity);
  return length > 0 && length < capacity;
}

void Record(const wchar_t* file, const wchar_t* modulePath) {
  HANDLE out = CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return;
  const wchar_t* commandLine = GetCommandLineW();
  DWORD written = 0;
  WriteFile(out, commandLine, (DWORD)(wcslen(commandLine) * sizeof(wchar_t)), &written, nullptr);
  WriteFile(out, L"|", sizeof(wchar_t), &written, nullptr);
  WriteFile(out, modulePath, (DWORD)(wcslen(modulePath) * sizeof(wchar_t)), &written, nullptr);
  WriteFile(out, L"\n", sizeof(wchar_t), &written, nullptr);
  CloseHandle(out);
}

UINT ExitCodeFromFile(const wchar_t* modulePath, bool* found) {
  wchar_t name[MAX_PATH + 8];
  *found = false;
  if (wcslen(modulePath) + 6 > MAX_PATH + 7) return 0;
  wcscpy(name, modulePath);
  wcscat(name, L".exit");
  HANDLE in = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return 0;
  char text[32] = {};
  DWORD read = 0;
  ReadFile(in, text, sizeof(text) - 1, &read, nullptr);
  CloseHandle(in);
  *found = true;
  return (UINT)strtoul(text, nullptr, 0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t modulePath[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, modulePath, MAX_PATH);

  wchar_t value[MAX_PATH];
  if (Environment(L"PELORIN_FAKE_RECORD", value, MAX_PATH)) Record(value, modulePath);
  if (Environment(L"PELORIN_FAKE_STARTED", value, MAX_PATH)) {
    HANDLE started = OpenEventW(EVENT_MODIFY_STATE, FALSE, value);
    if (started) {
      SetEvent(started);
      CloseHandle(started);
    }
  }
  if (Environment(L"PELORIN_FAKE_HOLD", value, MAX_PATH)) {
    HANDLE hold = OpenEventW(SYNCHRONIZE, FALSE, value);
    if (hold) {
      WaitForSingleObject(hold, 60000);
      CloseHandle(hold);
    }
  }

  bool found = false;
  UINT exitCode = ExitCodeFromFile(modulePath, &found);
  if (!found && Environment(L"PELORIN_FAKE_EXIT", value, MAX_PATH)) exitCode = (UINT)wcstoul(value, nullptr, 0);
  ExitProcess(exitCode);
}
