/* Starts a program and prints, in milliseconds, how long it took until the
   program had a visible top-level window; then ends the program.

     first_window [-c CONTROL] PROGRAM [ARGUMENT]

   With -c only a window that holds a control of that ID counts (a dialog
   that comes after the program's first window).

   Polls from inside Windows so that the figure does not depend on how often
   an X client could look. Exit code 0 when a window was seen within 60 s. */
#include <windows.h>
#include <stdio.h>

typedef struct {
  DWORD pid;
  int control;
  BOOL seen;
} Search;

static BOOL CALLBACK Look(HWND window, LPARAM parameter) {
  Search* search = (Search*)parameter;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid && IsWindowVisible(window) && (!search->control || GetDlgItem(window, search->control))) {
    search->seen = TRUE;
    return FALSE;
  }
  return TRUE;
}

int wmain(int argc, wchar_t** argv) {
  int control = 0;
  if (argc > 2 && wcscmp(argv[1], L"-c") == 0) {
    control = _wtoi(argv[2]);
    argc -= 2;
    argv += 2;
  }
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: first_window [-c CONTROL] PROGRAM [ARGUMENT]\n");
    return 2;
  }
  wchar_t commandLine[2 * MAX_PATH + 8];
  if (argc == 3)
    _snwprintf(commandLine, 2 * MAX_PATH + 8, L"\"%ls\" %ls", argv[1], argv[2]);
  else
    _snwprintf(commandLine, 2 * MAX_PATH + 8, L"\"%ls\"", argv[1]);
  commandLine[2 * MAX_PATH + 7] = 0;

  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(argv[1], commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
    fprintf(stderr, "could not start the program (%lu)\n", GetLastError());
    return 1;
  }
  CloseHandle(process.hThread);
  Search search = {process.dwProcessId, control, FALSE};
  double elapsed = 0;
  for (;;) {
    EnumWindows(Look, (LPARAM)&search);
    QueryPerformanceCounter(&now);
    elapsed = (double)(now.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart;
    if (search.seen || elapsed > 60000) break;
    /* The program may have ended without a window. */
    if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  if (!search.seen) {
    fprintf(stderr, "no window within %.0f ms\n", elapsed);
    return 1;
  }
  printf("%.1f\n", elapsed);
  return 0;
}
