#include "afx/system_library.h"

#include "afx/wstring.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

// The flag LOAD_LIBRARY_SEARCH_SYSTEM32 is understood only where the platform
// has AddDllDirectory (Windows 8, or Windows 7 with its loader update); older
// systems get the full path of the system folder instead.
bool SearchFlagsSupported() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel && GetProcAddress(kernel, "AddDllDirectory") != nullptr;
}

}  // namespace

void RestrictLibrarySearch() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return;
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Takes the current folder out of the search of older systems too.
  typedef BOOL(WINAPI * SetDllDirectoryFn)(LPCWSTR);
  auto setDllDirectory =
      reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
  if (setDllDirectory) setDllDirectory(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name, DWORD flags) {
  // A library proper: the platform's own restriction, which also keeps the
  // library's dependencies in the system folder.
  const DWORD dataFile = LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;
  if (SearchFlagsSupported() && !(flags & dataFile))
    return LoadLibraryExW(name, nullptr, flags | LOAD_LIBRARY_SEARCH_SYSTEM32);
  // A data file (which has no dependencies), or a platform without the flag:
  // the full path. Not every loader applies the flag to data files: Wine 8
  // takes a copy from the program's or the current folder.
  wchar_t folder[MAX_PATH];
  UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  WString path;
  if (!path.Append(folder, length) || !path.Append(L'\\') || !path.Append(name)) return nullptr;
  return LoadLibraryExW(path.c_str(), nullptr, flags);
}
