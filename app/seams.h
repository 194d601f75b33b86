// What the setup asks of the platform where a test must play a system that
// Wine is not: an older NT or a non-NT platform, another processor, a system
// without an entry, an engine older than any Wine carries, a restart. One
// table, whose defaults are the real calls; a test changes it only through
// ScopedSeams, which puts every entry back when the test's scope ends.
#pragma once

#include <windows.h>
#include <wintrust.h>

typedef BOOL(WINAPI* IsWow64Process2Fn)(HANDLE process, USHORT* processMachine, USHORT* nativeMachine);

struct Seams {
  // The loader's entries (a system without the safe search order).
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
  // The largest file a download may bring (a test lowers it).
  ULONGLONG downloadSizeLimit;
};

extern Seams g_seams;

// Forgets what the processor detection remembered (processor.cpp), so that a
// changed seam is asked again.
void ForgetNativeMachine();

// Holds a copy of the table and puts it back on scope exit.
class ScopedSeams {
public:
  ScopedSeams() : m_saved(g_seams) { ForgetNativeMachine(); }
  ~ScopedSeams() {
    g_seams = m_saved;
    ForgetNativeMachine();
  }
  ScopedSeams(const ScopedSeams&) = delete;
  ScopedSeams& operator=(const ScopedSeams&) = delete;
  Seams* operator->() { return &g_seams; }

private:
  Seams m_saved;
};
