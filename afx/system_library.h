// The one place through which the setup loads libraries at run time.
//
// A setup is usually started from a Downloads folder, where anyone may have
// left a DLL named like a system library. Every library that the setup loads
// itself is therefore taken from the system folder only, never from the
// setup's own folder or the current folder.
#pragma once

#include <windows.h>

// Restricts the search of libraries loaded later in the process (also those
// that system libraries load themselves) to the system folder, where the
// platform offers it. Called first thing at start-up.
void RestrictLibrarySearch();

// Loads `name` (a bare file name such as L"msi.dll") from the system folder.
// `flags` may add LOAD_LIBRARY_AS_DATAFILE. Null when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name, DWORD flags = 0);

// Loads the library at the full path `path` so that the libraries it loads in
// turn are looked for in its own folder and the system folder, never in the
// setup's folder first, on systems with the safe search order and without.
// `flags` may add LOAD_LIBRARY_AS_DATAFILE.
HMODULE LoadLibraryFromPath(const wchar_t* path, DWORD flags = 0);

// Looks up an entry of a loaded module, typed from the platform's own
// prototype so that no calling convention is typed by hand.
template <typename F>
F* GetProc(HMODULE module, const char* name) {
  return module ? reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// Looks up `name` in `module`, typed from the declaration of the same name.
#define MODULE_PROC(module, name) (GetProc<decltype(name)>((module), #name))

// Owns a loaded library and releases it when it goes out of scope.
class SystemLibrary {
public:
  explicit SystemLibrary(const wchar_t* name, DWORD flags = 0) : m_module(LoadSystemLibrary(name, flags)) {}
  explicit SystemLibrary(HMODULE module) : m_module(module) {}
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;
  ~SystemLibrary() {
    if (m_module) FreeLibrary(m_module);
  }
  explicit operator bool() const { return m_module != nullptr; }
  HMODULE get() const { return m_module; }

  template <typename F>
  F* Proc(const char* name) const {
    return GetProc<F>(m_module, name);
  }

private:
  HMODULE m_module;
};

// Looks up `name` in `lib`, typed from the declaration of the same name.
#define SYSTEM_PROC(lib, name) ((lib).Proc<decltype(name)>(#name))
