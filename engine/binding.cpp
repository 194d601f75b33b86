#include "engine/binding.h"

#include "afx/handles.h"
#include "afx/system_library.h"
#include "ui/messages.h"
#include "ui/resource.h"

bool ReadInstallerLocation(HKEY key, WString& folder) {
  folder.Clear();
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, L"InstallerLocation", nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  // Room for one NUL more than the data, so that the text always ends.
  DWORD count = size / sizeof(wchar_t) + 1;
  wchar_t* buffer = folder.Buffer(count);
  if (!buffer) return false;
  memset(buffer, 0, (count + 1) * sizeof(wchar_t));
  DWORD read = size;
  LONG status = RegQueryValueExW(key, L"InstallerLocation", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &read);
  bool wellFormed = status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && read % 2 == 0 &&
                    read <= size && (read == 0 || buffer[read / sizeof(wchar_t) - 1] == L'\0');
  if (!wellFormed) {
    buffer[0] = L'\0';
    folder.SetLengthFromBuffer();
    return false;
  }
  // Taken literally: a REG_EXPAND_SZ reference is not expanded.
  folder.SetLengthFromBuffer();
  return true;
}

namespace {

// "C:\..." or "\\server\...": a path that names one file, whatever the
// current folder and the library search path.
bool IsFullPath(const wchar_t* path) {
  bool drive = ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) && path[1] == L':' &&
               path[2] == L'\\';
  return drive || (path[0] == L'\\' && path[1] == L'\\');
}

}  // namespace

bool RegisteredEnginePath(WString& path) {
  path.Clear();
  RegistryKey key;
  if (!key.OpenForReading(HKEY_LOCAL_MACHINE, INSTALLER_KEY)) return false;
  WString folder;
  if (!ReadInstallerLocation(key.get(), folder) || folder.empty()) return false;
  // The registered engine is used only from a full path. A relative one (an
  // unexpanded "%SystemRoot%\System32", say) would be looked for along the
  // library search path, which on older systems begins with the setup's own
  // folder: a Downloads folder, where anyone may have left a DLL. Ignored
  // here, it is ignored alike by the binding and by the upgrade's judgement.
  if (!IsFullPath(folder.c_str())) return false;
  // Used as stored: a folder ending in a backslash gives a doubled one,
  // which the platform accepts.
  return path.Append(folder) && path.Append(L"\\msi.dll");
}

HMODULE LoadInstallerEngine() {
  WString registered;
  // The registered engine (from a full path only), else the system's.
  HMODULE engine = RegisteredEnginePath(registered) ? LoadLibraryFromPath(registered.c_str()) : nullptr;
  return engine ? engine : LoadSystemLibrary(L"msi.dll");
}

SetupResult BindInstallerEngine(MsiApi& msi) {
  if (!msi.module) msi.module = LoadInstallerEngine();
  if (!msi.module) {
    ShowMessage(MSG_ENGINE_UPGRADE_FAILED, MB_OK | MB_ICONERROR);
    return kResultInstallFailure;
  }
  HMODULE engine = msi.module;
  bool bound = (msi.MsiSetInternalUI = MODULE_PROC(engine, MsiSetInternalUI)) &&
               (msi.MsiInstallProductW = MODULE_PROC(engine, MsiInstallProductW)) &&
               (msi.MsiApplyPatchW = MODULE_PROC(engine, MsiApplyPatchW)) &&
               (msi.MsiReinstallProductW = MODULE_PROC(engine, MsiReinstallProductW)) &&
               (msi.MsiQueryProductStateW = MODULE_PROC(engine, MsiQueryProductStateW)) &&
               (msi.MsiOpenDatabaseW = MODULE_PROC(engine, MsiOpenDatabaseW)) &&
               (msi.MsiDatabaseOpenViewW = MODULE_PROC(engine, MsiDatabaseOpenViewW)) &&
               (msi.MsiViewExecute = MODULE_PROC(engine, MsiViewExecute)) &&
               (msi.MsiViewFetch = MODULE_PROC(engine, MsiViewFetch)) &&
               (msi.MsiRecordGetStringW = MODULE_PROC(engine, MsiRecordGetStringW)) &&
               (msi.MsiCloseHandle = MODULE_PROC(engine, MsiCloseHandle));
  if (!bound) {
    ShowMessage(MSG_ENGINE_UPGRADE_FAILED, MB_OK | MB_ICONERROR);
    return kResultInstallFailure;
  }
  return 0;
}

DWORD GetFileVersionMS(const wchar_t* path, DWORD* versionMS) {
  if (versionMS) *versionMS = 0xFFFFFFFF;
  SystemLibrary version(L"version.dll");
  auto getSize = SYSTEM_PROC(version, GetFileVersionInfoSizeW);
  auto getInfo = SYSTEM_PROC(version, GetFileVersionInfoW);
  auto queryValue = SYSTEM_PROC(version, VerQueryValueW);
  if (!getSize || !getInfo || !queryValue) return ERROR_PROC_NOT_FOUND;
  DWORD handle = 0;
  DWORD size = getSize(path, &handle);
  if (size == 0) return GetLastError();
  HGLOBAL block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
  if (!block) return ERROR_NOT_ENOUGH_MEMORY;
  DWORD status = 0;
  if (!getInfo(path, 0, size, block)) {
    status = GetLastError();
  } else {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    // A record too short to hold the version counts as missing: what lies
    // beyond it is not a version.
    if (queryValue(block, L"\\", reinterpret_cast<void**>(&fixed), &length) && length >= sizeof(VS_FIXEDFILEINFO) &&
        fixed && versionMS)
      *versionMS = fixed->dwFileVersionMS;
  }
  GlobalFree(block);
  return status;
}
