// What the setup asks of the platform where a test must play a system that
// Wine is not: an older NT or a non-NT platform, another processor, a system
// without an entry, an engine older than any Wine carries, a restart. One
// table whose defaults are the platform's own calls; an entry that finds or
// reads something is null by default, and its caller then does the real
// thing (see Seam). A test changes the table only through ScopedSeams, which
// puts every entry back when the test's scope ends.
#pragma once

#include <windows.h>
#include <wintrust.h>

typedef BOOL(WINAPI* IsWow64Process2Fn)(HANDLE process, USHORT* processMachine, USHORT* nativeMachine);

// A transfer that receives no byte for this long fails like any failed
// download: a server that stops sending must not hold the setup forever.
const DWORD kDownloadNoDataLimitMs = 60 * 1000;
// No package or redistributable can be larger: the Windows Installer takes
// no file of 2 GB or more.
const ULONGLONG kDownloadSizeLimit = 0x80000000ull;

struct Seams {
  // The loader's entries in kernel32 (a system without the safe search order).
  FARPROC (*findLoaderEntry)(const char* name);
  // System probes (version, rights, product suite, single-instance mutex).
  decltype(&GetVersionExW) getVersionEx;
  decltype(&GetTokenInformation) getTokenInformation;
  decltype(&RegQueryValueExW) regQueryValueEx;
  decltype(&CreateMutexW) createMutex;
  // Native processor detection.
  IsWow64Process2Fn (*findIsWow64Process2)(HMODULE kernel);
  decltype(&IsWow64Process) isWow64Process;
  // The signature check's entry in the loaded wintrust.dll.
  decltype(&WinVerifyTrust) (*findWinVerifyTrust)(HMODULE wintrust);
  // The version of the engine file that the upgrade judgement reads.
  DWORD (*readEngineVersion)(const wchar_t* path, DWORD* versionMS);
  // Requests the restart of the computer: no test may restart its machine.
  decltype(&ExitWindowsEx) exitWindowsEx;
  // How long a download may receive nothing before it fails.
  DWORD downloadNoDataLimitMs;
  // Changes whenever a test changes the table, so that an answer remembered
  // from a seam (the native processor) is asked again.
  unsigned generation;
  // The largest file a download may bring (a test lowers it).
  ULONGLONG downloadSizeLimit;
};

extern Seams g_seams;

// The seam `entry` when a test has set it, else `real`.
template <typename F>
F* Seam(F* entry, F* real) {
  return entry ? entry : real;
}

// Holds a copy of the table and puts it back on scope exit.
class ScopedSeams {
public:
  ScopedSeams() : m_saved(g_seams) { ++g_seams.generation; }
  ~ScopedSeams() {
    // Never back to a generation that an answer may have been remembered in.
    unsigned next = g_seams.generation + 1;
    g_seams = m_saved;
    g_seams.generation = next;
  }
  ScopedSeams(const ScopedSeams&) = delete;
  ScopedSeams& operator=(const ScopedSeams&) = delete;
  // What the test's own seams answer has changed.
  void Changed() { ++g_seams.generation; }
  Seams* operator->() {
    Changed();
    return &g_seams;
  }

private:
  Seams m_saved;
};
