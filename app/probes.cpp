#include "app/probes.h"

#include <stdlib.h>
#include <string.h>

#include "afx/handles.h"
#include "afx/system_library.h"
#include "afx/seams.h"

namespace {

// Major version 5 (Windows 2000) separates the older and newer ways of asking.
const int32_t kNewerSystems = 5;

// Whether one of the token's groups is `sid`: the way of systems before
// CheckTokenMembership. The groups' attributes are not looked at.
BOOL TokenHasGroup(PSID sid) {
  UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, token.Receive())) return FALSE;
  DWORD size = 1024;
  void* buffer = malloc(size);
  if (!buffer) return FALSE;
  DWORD needed = 0;
  BOOL read = g_seams.getTokenInformation(token.get(), TokenGroups, buffer, size, &needed);
  if (!read && needed > size) {
    void* larger = malloc(needed);
    if (larger) {
      free(buffer);
      buffer = larger;
      size = needed;
      read = g_seams.getTokenInformation(token.get(), TokenGroups, buffer, size, &needed);
    }
  }
  BOOL found = FALSE;
  if (read) {
    const TOKEN_GROUPS* groups = static_cast<const TOKEN_GROUPS*>(buffer);
    for (DWORD i = 0; i < groups->GroupCount && !found; ++i) found = EqualSid(groups->Groups[i].Sid, sid);
  }
  free(buffer);
  return found;
}

}  // namespace

void QueryOsVersion(BOOL* notNt, int32_t* osMajor) {
  OSVERSIONINFOW info;
  memset(&info, 0, sizeof(info));
  info.dwOSVersionInfoSize = sizeof(info);
  g_seams.getVersionEx(&info);
  *notNt = info.dwPlatformId != VER_PLATFORM_WIN32_NT;
  *osMajor = (int32_t)info.dwMajorVersion;
}

BOOL UserIsAdministrator(BOOL notNt, int32_t osMajor) {
  if (notNt) return TRUE;
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                0, 0, &administrators))
    return FALSE;
  BOOL isAdmin = FALSE;
  if (osMajor >= kNewerSystems) {
    SystemLibrary advapi(L"advapi32.dll");
    auto checkMembership = SYSTEM_PROC(advapi, CheckTokenMembership);
    BOOL member = FALSE;
    if (checkMembership && checkMembership(nullptr, administrators, &member)) isAdmin = member;
  } else {
    isAdmin = TokenHasGroup(administrators);
  }
  FreeSid(administrators);
  return isAdmin;
}

BOOL TerminalServicesPresent(BOOL notNt) {
  if (notNt) return FALSE;
  RegistryKey key;
  if (!key.OpenForReading(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\ProductOptions")) return FALSE;
  DWORD type = 0, size = 0;
  if (g_seams.regQueryValueEx(key.get(), L"ProductSuite", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      size == 0 || type != REG_MULTI_SZ)
    return FALSE;
  // One extra NUL after the data, so that a value stored without its final
  // terminator still ends within the buffer.
  DWORD count = size / sizeof(wchar_t) + 2;
  wchar_t* suites = static_cast<wchar_t*>(calloc(count, sizeof(wchar_t)));
  if (!suites) return FALSE;
  BOOL found = FALSE;
  if (g_seams.regQueryValueEx(key.get(), L"ProductSuite", nullptr, &type, reinterpret_cast<BYTE*>(suites),
                                   &size) == ERROR_SUCCESS) {
    const wchar_t* end = suites + size / sizeof(wchar_t);
    static const wchar_t kTerminalServer[] = L"Terminal Server";
    for (const wchar_t* suite = suites; suite < end && *suite && !found; suite += lstrlenW(suite) + 1)
      found = lstrlenW(suite) == lstrlenW(kTerminalServer) && lstrcmpW(suite, kTerminalServer) == 0;
  }
  free(suites);
  return found;
}

BOOL SetupAlreadyRunning(BOOL notNt, int32_t osMajor) {
  // The global name sees setups of every user logged on at the same time;
  // older NT systems know it only with Terminal Services.
  bool global = (!notNt && osMajor >= kNewerSystems) || TerminalServicesPresent(notNt);
  // Never closed: the mutex lives as long as this setup does.
  HANDLE mutex = g_seams.createMutex(nullptr, FALSE, global ? SETUP_MUTEX_GLOBAL : SETUP_MUTEX_LOCAL);
  return mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS;
}

void EnableShutdownPrivilege() {
  SystemLibrary advapi(L"advapi32.dll");
  auto openToken = SYSTEM_PROC(advapi, OpenProcessToken);
  auto lookupPrivilege = SYSTEM_PROC(advapi, LookupPrivilegeValueW);
  auto adjustPrivileges = SYSTEM_PROC(advapi, AdjustTokenPrivileges);
  if (!openToken || !lookupPrivilege || !adjustPrivileges) return;
  UniqueHandle token;
  if (!openToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Receive())) return;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  lookupPrivilege(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  adjustPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}
