// A DLL named like a system library (built as version.dll), which the probes
// test plants beside itself and in its working folder: the setup must never
// load it. It can be told from the real one by its export PelorinPlanted.
#include <windows.h>

extern "C" __declspec(dllexport) DWORD WINAPI PelorinPlanted() { return 0x504C4E54; }

// Named like an entry of the real library, as a planted copy would be.
extern "C" __declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD) { return 0; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
