#include "afx/system_library.h"

#include "afx/wstring.h"
#include "afx/seams.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#endif

namespace {

FARPROC FindLoaderEntry(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel ? GetProcAddress(kernel, name) : nullptr;
}

// One of the loader's entries in kernel32.dll (AddDllDirectory,
// SetDefaultDllDirectories, SetDllDirectoryW), whose presence decides how
// libraries are loaded.
FARPROC LoaderEntry(const char* name) { return Seam(g_seams.findLoaderEntry, FindLoaderEntry)(name); }

// The flag LOAD_LIBRARY_SEARCH_SYSTEM32 is understood only where the platform
// has AddDllDirectory (Windows 8, or Windows 7 with its loader update); older
// systems get the full path of the system folder instead.
bool SearchFlagsSupported() { return LoaderEntry("AddDllDirectory") != nullptr; }

}  // namespace

void RestrictLibrarySearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(LoaderEntry("SetDefaultDllDirectories")));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Takes the current folder out of the search of older systems too.
  typedef BOOL(WINAPI * SetDllDirectoryFn)(LPCWSTR);
  auto setDllDirectory =
      reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(LoaderEntry("SetDllDirectoryW")));
  if (setDllDirectory) setDllDirectory(L"");
}

HMODULE LoadLibraryFromPath(const wchar_t* path, DWORD flags) {
  const DWORD dataFile = LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;
  // A data file has no dependencies to look for.
  if (flags & dataFile) return LoadLibraryExW(path, nullptr, flags);
  if (SearchFlagsSupported())
    return LoadLibraryExW(path, nullptr, flags | LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without the flags, the plain search for the libraries that this one
  // loads would begin in the setup's folder; the altered one begins in the
  // library's own.
  return LoadLibraryExW(path, nullptr, flags | LOAD_WITH_ALTERED_SEARCH_PATH);
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
  return LoadLibraryFromPath(path.c_str(), flags);
}
