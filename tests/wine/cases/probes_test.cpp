// The system probes of app/probes.h under Wine, called directly:
//  - Wine itself: Windows NT 5 or later, and its user is an administrator;
//  - through the seams (g_seams), the systems that Wine is not: a
//    platform that is not Windows NT, Windows NT 4 with more token groups than
//    fit 1024 bytes, and NT 4 "ProductSuite" values with and without
//    "Terminal Server" (other letter case, other type, no final NUL);
//  - the single-instance guard's answers and mutex names;
//  - afx/system_library.h: a DLL named like a system library, planted beside
//    the program and in its working folder, is not the one LoadSystemLibrary
//    loads, nor what it loads, also where the safe search order is missing
//    (g_seams.findLoaderEntry).
#include <gtest/gtest.h>

#include <stddef.h>
#include <string.h>

#include <string>
#include <vector>

#include "afx/system_library.h"
#include "app/probes.h"
#include "afx/seams.h"
#include "support/driver.h"

using namespace pelorin_test;

namespace {

// ------------------------------------------------------------------ fakes

// What the fakes play and what they saw. Reset by the fixture.
struct Played {
  // GetVersionExW
  BOOL versionResult = TRUE;
  DWORD platformId = VER_PLATFORM_WIN32_NT;
  DWORD majorVersion = 4;
  DWORD sizeSeen = 0;
  // GetTokenInformation: the groups, the administrators' among them or not.
  int groupCount = 0;
  bool withAdministrators = true;
  std::vector<DWORD> tokenSizesSeen;
  // RegQueryValueExW
  DWORD valueType = REG_MULTI_SZ;
  std::string valueBytes;
  LONG queryStatus = ERROR_SUCCESS;
  int registryReads = 0;
  // CreateMutexW
  bool mutexCreated = true;
  DWORD mutexLastError = 0;
  std::wstring mutexName;
  int mutexCalls = 0;
};
Played g_played;

BOOL WINAPI FakeGetVersionEx(LPOSVERSIONINFOW info) {
  g_played.sizeSeen = info->dwOSVersionInfoSize;
  if (!g_played.versionResult) return FALSE;
  info->dwPlatformId = g_played.platformId;
  info->dwMajorVersion = g_played.majorVersion;
  return TRUE;
}

// The groups of a token as TOKEN_GROUPS lays them out: the header, the
// array, then the SIDs. `count` groups of S-1-5-21-1-2-3-<n>, the last one
// the administrators' group (S-1-5-32-544) when asked for.
std::vector<BYTE> MakeTokenGroups(int count, bool withAdministrators) {
  const DWORD sidSize = GetSidLengthRequired(5);
  size_t header = offsetof(TOKEN_GROUPS, Groups) + (size_t)count * sizeof(SID_AND_ATTRIBUTES);
  std::vector<BYTE> bytes(header + (size_t)count * sidSize);
  TOKEN_GROUPS* groups = reinterpret_cast<TOKEN_GROUPS*>(bytes.data());
  groups->GroupCount = (DWORD)count;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  for (int i = 0; i < count; ++i) {
    PSID sid = bytes.data() + header + (size_t)i * sidSize;
    bool administrators = withAdministrators && i == count - 1;
    InitializeSid(sid, &nt, administrators ? 2 : 5);
    if (administrators) {
      *GetSidSubAuthority(sid, 0) = SECURITY_BUILTIN_DOMAIN_RID;
      *GetSidSubAuthority(sid, 1) = DOMAIN_ALIAS_RID_ADMINS;
    } else {
      const DWORD subs[5] = {21, 1, 2, 3, 1000u + (DWORD)i};
      for (int s = 0; s < 5; ++s) *GetSidSubAuthority(sid, (DWORD)s) = subs[s];
    }
    groups->Groups[i].Sid = sid;
    groups->Groups[i].Attributes = SE_GROUP_ENABLED;
  }
  return bytes;
}

BOOL WINAPI FakeGetTokenInformation(HANDLE, TOKEN_INFORMATION_CLASS type, LPVOID buffer, DWORD size, PDWORD needed) {
  g_played.tokenSizesSeen.push_back(size);
  if (type != TokenGroups) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Built where the caller's buffer is, so that the SID pointers point into it.
  std::vector<BYTE> groups = MakeTokenGroups(g_played.groupCount, g_played.withAdministrators);
  *needed = (DWORD)groups.size();
  if (size < groups.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  BYTE* base = static_cast<BYTE*>(buffer);
  memcpy(base, groups.data(), groups.size());
  TOKEN_GROUPS* placed = static_cast<TOKEN_GROUPS*>(buffer);
  for (DWORD i = 0; i < placed->GroupCount; ++i)
    placed->Groups[i].Sid = base + (static_cast<BYTE*>(placed->Groups[i].Sid) - groups.data());
  return TRUE;
}

BOOL WINAPI UnexpectedGetTokenInformation(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD) {
  ADD_FAILURE() << "the token was read";
  return FALSE;
}

LONG WINAPI FakeRegQueryValueEx(HKEY, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  ++g_played.registryReads;
  if (lstrcmpiW(name, L"ProductSuite") != 0) return ERROR_FILE_NOT_FOUND;
  if (g_played.queryStatus != ERROR_SUCCESS) return g_played.queryStatus;
  if (type) *type = g_played.valueType;
  DWORD bytes = (DWORD)g_played.valueBytes.size();
  if (!data) {
    *size = bytes;
    return ERROR_SUCCESS;
  }
  if (*size < bytes) {
    *size = bytes;
    return ERROR_MORE_DATA;
  }
  // Exactly the data: nothing after it is written, as the platform does.
  memcpy(data, g_played.valueBytes.data(), bytes);
  *size = bytes;
  return ERROR_SUCCESS;
}

HANDLE WINAPI FakeCreateMutex(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR name) {
  ++g_played.mutexCalls;
  g_played.mutexName = name ? name : L"(null)";
  // A real, unnamed object, so that nothing is shared with anyone.
  HANDLE handle = g_played.mutexCreated ? CreateMutexW(nullptr, FALSE, nullptr) : nullptr;
  SetLastError(g_played.mutexCreated ? g_played.mutexLastError : ERROR_ACCESS_DENIED);
  return handle;
}

// A REG_MULTI_SZ value's bytes from UTF-16 text given with its NULs.
std::string Bytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

class Probes : public testing::Test {
protected:
  void SetUp() override {
    g_played = Played();
    // The Terminal Services rows play only the value of this key: the key
    // itself must be there, as it is on Windows and under Wine.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\ProductOptions",
                                           0, KEY_READ, &key))
        << "precondition: the system has no ProductOptions key to play Terminal Services in";
    RegCloseKey(key);
  }

  // Plays Windows NT 4 whose "ProductSuite" holds `bytes` of type `type`;
  // gives the mutex name that the single-instance guard then chooses.
  std::wstring MutexNameOnNt4(DWORD type, const std::string& bytes) {
    seams_->regQueryValueEx = FakeRegQueryValueEx;
    seams_->createMutex = FakeCreateMutex;
    g_played.valueType = type;
    g_played.valueBytes = bytes;
    EXPECT_FALSE(SetupAlreadyRunning(FALSE, 4));
    return g_played.mutexName;
  }

  ScopedSeams seams_;
};

const std::wstring kGlobal = SETUP_MUTEX_GLOBAL;
const std::wstring kLocal = SETUP_MUTEX_LOCAL;

// ------------------------------------------------------------------ Wine itself

TEST_F(Probes, WineIsWindowsNtFiveOrLater) {
  BOOL notNt = TRUE;
  int32_t major = 0;
  QueryOsVersion(&notNt, &major);
  EXPECT_FALSE(notNt);
  EXPECT_GE(major, 5);
}

TEST_F(Probes, WineUserIsAdministrator) {
  BOOL notNt = TRUE;
  int32_t major = 0;
  QueryOsVersion(&notNt, &major);
  EXPECT_TRUE(UserIsAdministrator(notNt, major)) << "CheckTokenMembership";
  // The older way, from the real token's groups.
  EXPECT_TRUE(UserIsAdministrator(FALSE, 4)) << "token groups";
}

TEST_F(Probes, MutexesHaveTheirFixedNames) {
  EXPECT_EQ(L"Global\\_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}", kGlobal);
  EXPECT_EQ(L"_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}", kLocal);
}

// ------------------------------------------------------------------ platform and version

TEST_F(Probes, VersionQueryAsksWithTheRecordSizeAndReadsThePlatform) {
  seams_->getVersionEx = FakeGetVersionEx;
  g_played.platformId = VER_PLATFORM_WIN32_WINDOWS;
  g_played.majorVersion = 4;
  BOOL notNt = FALSE;
  int32_t major = 0;
  QueryOsVersion(&notNt, &major);
  EXPECT_EQ(276u, g_played.sizeSeen);
  EXPECT_TRUE(notNt);
  EXPECT_EQ(4, major);

  g_played.platformId = VER_PLATFORM_WIN32_NT;
  QueryOsVersion(&notNt, &major);
  EXPECT_FALSE(notNt);
}

TEST_F(Probes, FailedVersionQueryGivesNotNtAndZero) {
  seams_->getVersionEx = FakeGetVersionEx;
  g_played.versionResult = FALSE;
  BOOL notNt = FALSE;
  int32_t major = 7;
  QueryOsVersion(&notNt, &major);
  EXPECT_TRUE(notNt);
  EXPECT_EQ(0, major);
}

// ------------------------------------------------------------------ not Windows NT

TEST_F(Probes, NonNtPlatformIsAdministratorWithoutAsking) {
  seams_->getTokenInformation = UnexpectedGetTokenInformation;
  EXPECT_TRUE(UserIsAdministrator(TRUE, 4));
  EXPECT_TRUE(UserIsAdministrator(TRUE, 0));
}

TEST_F(Probes, NonNtPlatformHasNoTerminalServicesAndUsesTheLocalName) {
  seams_->regQueryValueEx = FakeRegQueryValueEx;
  seams_->createMutex = FakeCreateMutex;
  g_played.valueBytes = Bytes(std::wstring(L"Terminal Server\0\0", 17));
  EXPECT_FALSE(TerminalServicesPresent(TRUE));
  EXPECT_FALSE(SetupAlreadyRunning(TRUE, 4));
  EXPECT_EQ(kLocal, g_played.mutexName);
  EXPECT_EQ(0, g_played.registryReads) << "the registry is not read";
}

// ------------------------------------------------------------------ Windows NT 4 token groups

TEST_F(Probes, Nt4GroupsBeyond1024BytesAreReadAgainWithTheSizeAskedFor) {
  seams_->getTokenInformation = FakeGetTokenInformation;
  g_played.groupCount = 120;  // about 4 KB in 64-bit, 3 KB in 32-bit
  g_played.withAdministrators = true;
  DWORD needed = (DWORD)MakeTokenGroups(120, true).size();
  ASSERT_GT(needed, 1024u);
  EXPECT_TRUE(UserIsAdministrator(FALSE, 4));
  EXPECT_EQ((std::vector<DWORD>{1024u, needed}), g_played.tokenSizesSeen);
}

TEST_F(Probes, Nt4GroupsWithoutAdministratorsIsNo) {
  seams_->getTokenInformation = FakeGetTokenInformation;
  g_played.groupCount = 120;
  g_played.withAdministrators = false;
  EXPECT_FALSE(UserIsAdministrator(FALSE, 4));
  EXPECT_EQ(2u, g_played.tokenSizesSeen.size());
}

TEST_F(Probes, Nt4GroupsWithin1024BytesAreReadOnce) {
  seams_->getTokenInformation = FakeGetTokenInformation;
  g_played.groupCount = 3;
  EXPECT_TRUE(UserIsAdministrator(FALSE, 3));
  EXPECT_EQ(std::vector<DWORD>{1024u}, g_played.tokenSizesSeen);
}

TEST_F(Probes, NewerSystemsAskCheckTokenMembershipNotTheGroups) {
  seams_->getTokenInformation = UnexpectedGetTokenInformation;
  EXPECT_TRUE(UserIsAdministrator(FALSE, 5));
}

// ------------------------------------------------------------------ Terminal Services on NT 4

TEST_F(Probes, TerminalServerAmongOtherSuitesGivesTheGlobalName) {
  std::string value = Bytes(std::wstring(L"Small Business\0Terminal Server\0Enterprise\0\0", 43));
  EXPECT_EQ(kGlobal, MutexNameOnNt4(REG_MULTI_SZ, value));
  EXPECT_TRUE(TerminalServicesPresent(FALSE));
}

TEST_F(Probes, TerminalServerAloneGivesTheGlobalName) {
  EXPECT_EQ(kGlobal, MutexNameOnNt4(REG_MULTI_SZ, Bytes(std::wstring(L"Terminal Server\0\0", 17))));
}

TEST_F(Probes, OtherLetterCaseGivesTheLocalName) {
  EXPECT_EQ(kLocal, MutexNameOnNt4(REG_MULTI_SZ, Bytes(std::wstring(L"Small Business\0terminal server\0\0", 33))));
  EXPECT_FALSE(TerminalServicesPresent(FALSE));
  EXPECT_EQ(kLocal, MutexNameOnNt4(REG_MULTI_SZ, Bytes(std::wstring(L"TERMINAL SERVER\0\0", 17))));
}

TEST_F(Probes, ValueOfAnotherTypeGivesTheLocalName) {
  EXPECT_EQ(kLocal, MutexNameOnNt4(REG_SZ, Bytes(std::wstring(L"Terminal Server\0", 16))));
  EXPECT_EQ(kLocal, MutexNameOnNt4(REG_EXPAND_SZ, Bytes(std::wstring(L"Terminal Server\0", 16))));
  EXPECT_EQ(kLocal, MutexNameOnNt4(REG_BINARY, Bytes(std::wstring(L"Terminal Server\0\0", 17))));
}

TEST_F(Probes, LongerOrShorterNamesDoNotMatch) {
  EXPECT_EQ(kLocal, MutexNameOnNt4(REG_MULTI_SZ, Bytes(std::wstring(L"Terminal Servers\0Terminal\0\0", 27))));
  EXPECT_EQ(kLocal, MutexNameOnNt4(REG_MULTI_SZ, Bytes(std::wstring(L"Terminal Server \0\0", 18))));
}

// The walk stops at the first empty string: a name after it is not seen.
TEST_F(Probes, NameAfterAnEmptyStringIsNotSeen) {
  EXPECT_EQ(kLocal, MutexNameOnNt4(REG_MULTI_SZ, Bytes(std::wstring(L"Small Business\0\0Terminal Server\0\0", 34))));
}

// A value stored without its final NUL ends with the data: its last name
// still counts, and nothing after the data is read.
TEST_F(Probes, ValueWithoutFinalNulIsReadUpToItsEnd) {
  std::string last = Bytes(std::wstring(L"Small Business\0Terminal Server", 30));
  ASSERT_EQ(60u, last.size());
  EXPECT_EQ(kGlobal, MutexNameOnNt4(REG_MULTI_SZ, last));
  // Only part of the name before the end of the data: no match.
  EXPECT_EQ(kLocal, MutexNameOnNt4(REG_MULTI_SZ, Bytes(std::wstring(L"Small Business\0Terminal Serv", 28))));
}

TEST_F(Probes, EmptyOrUnreadableValueGivesTheLocalName) {
  EXPECT_EQ(kLocal, MutexNameOnNt4(REG_MULTI_SZ, ""));
  g_played.queryStatus = ERROR_FILE_NOT_FOUND;
  seams_->regQueryValueEx = FakeRegQueryValueEx;
  EXPECT_FALSE(TerminalServicesPresent(FALSE));
}

TEST_F(Probes, NewerNtUsesTheGlobalNameWithoutReadingTheRegistry) {
  seams_->regQueryValueEx = FakeRegQueryValueEx;
  seams_->createMutex = FakeCreateMutex;
  g_played.valueBytes = Bytes(std::wstring(L"Terminal Server\0\0", 17));
  EXPECT_FALSE(SetupAlreadyRunning(FALSE, 5));
  EXPECT_EQ(kGlobal, g_played.mutexName);
  EXPECT_FALSE(SetupAlreadyRunning(FALSE, 10));
  EXPECT_EQ(kGlobal, g_played.mutexName);
  EXPECT_EQ(0, g_played.registryReads);
}

// ------------------------------------------------------------------ single-instance guard

TEST_F(Probes, GuardAnswersFromTheMutexCreation) {
  seams_->createMutex = FakeCreateMutex;
  g_played.mutexLastError = 0;
  EXPECT_FALSE(SetupAlreadyRunning(FALSE, 10));
  g_played.mutexLastError = ERROR_ALREADY_EXISTS;
  EXPECT_TRUE(SetupAlreadyRunning(FALSE, 10)) << "another setup holds it";
  g_played.mutexCreated = false;
  EXPECT_TRUE(SetupAlreadyRunning(FALSE, 10)) << "no mutex: taken as another setup";
}

// The real mutex, created by this program as a setup would: a second ask
// from the same user finds it.
TEST_F(Probes, RealMutexIsFoundBySecondAsk) {
  HANDLE before = OpenMutexW(SYNCHRONIZE, FALSE, SETUP_MUTEX_GLOBAL);
  if (before) CloseHandle(before);
  ASSERT_FALSE(before) << "a setup is running elsewhere in this Wine prefix";
  EXPECT_FALSE(SetupAlreadyRunning(FALSE, 10));
  HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, SETUP_MUTEX_GLOBAL);
  EXPECT_TRUE(opened) << "the mutex stays open";
  if (opened) CloseHandle(opened);
  EXPECT_TRUE(SetupAlreadyRunning(FALSE, 10));
}

// ------------------------------------------------------------------ restart right

TEST_F(Probes, ShutdownPrivilegeIsSwitchedOn) {
  EnableShutdownPrivilege();
  LUID shutdown = {};
  ASSERT_TRUE(LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &shutdown));
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  ASSERT_TRUE(GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size));
  CloseHandle(token);
  const TOKEN_PRIVILEGES* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  bool enabled = false;
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
    if (privileges->Privileges[i].Luid.LowPart == shutdown.LowPart &&
        privileges->Privileges[i].Luid.HighPart == shutdown.HighPart)
      enabled = (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
  EXPECT_TRUE(enabled);
}

// ------------------------------------------------------------------ planted library

// A DLL of our own, named like system libraries that the setup loads (and
// cabinet.dll, which msi.dll loads), lies beside this program and in its
// working folder, as it could in the Downloads folder from which a setup is
// started. None of them is loaded before it is asked for: a library that is
// (as Wine's user32 loads version.dll) is found loaded, however it is asked.
class PlantedLibrary : public testing::Test {
protected:
  void SetUp() override {
    std::wstring plant = BinPath(PELORIN_TEST_PLANT);
    ASSERT_TRUE(FileExists(plant)) << Printable(plant);
    ASSERT_TRUE(working_.ok());
    for (const wchar_t* name : kNames) {
      std::wstring beside = OwnDir() + L"\\" + name;
      ASSERT_TRUE(CopyFileW(plant.c_str(), beside.c_str(), FALSE)) << Printable(beside) << ": " << GetLastError();
      planted_.push_back(beside);
      ASSERT_FALSE(working_.Copy(plant, name).empty());
    }
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    previous_ = current;
    ASSERT_TRUE(SetCurrentDirectoryW(working_.path().c_str()));
  }
  void TearDown() override {
    SetCurrentDirectoryW(previous_.c_str());
    for (const std::wstring& path : planted_) DeleteFileW(path.c_str());
  }

  static std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH * 2];
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH * 2);
    return std::wstring(path, length);
  }
  static std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length);
  }
  static bool InSystemFolder(HMODULE module) {
    return lstrcmpiW(FolderOf(ModulePath(module)).c_str(), SystemFolder().c_str()) == 0;
  }
  static SIZE_T ImageSize(HMODULE module) {
    const BYTE* base = reinterpret_cast<const BYTE*>((ULONG_PTR)module & ~(ULONG_PTR)3);  // data files are tagged
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew)->OptionalHeader.SizeOfImage;
  }

  static constexpr const wchar_t* kNames[] = {L"cabinet.dll", L"wintrust.dll", L"msi.dll"};
  TempFolder working_{L"Pelorin plant"};
  std::vector<std::wstring> planted_;
  std::wstring previous_;
};

TEST_F(PlantedLibrary, LoadSystemLibraryTakesTheSystemFolderCopy) {
  for (const wchar_t* name : kNames) {
    SCOPED_TRACE(Printable(name));
    ASSERT_EQ(nullptr, GetModuleHandleW(name)) << "loaded already: the check cannot fail";
    HMODULE module = LoadSystemLibrary(name);
    ASSERT_TRUE(module);
    EXPECT_EQ(nullptr, GetProcAddress(module, "PelorinPlanted")) << "the planted DLL's code was loaded";
    EXPECT_TRUE(InSystemFolder(module)) << Printable(ModulePath(module)) << " is not in " << Printable(SystemFolder());
    FreeLibrary(module);
  }
}

TEST_F(PlantedLibrary, SystemLibraryClassTakesTheSystemFolderCopy) {
  SystemLibrary library(L"msi.dll");
  ASSERT_TRUE(library);
  EXPECT_EQ(nullptr, GetProcAddress(library.get(), "PelorinPlanted"));
  EXPECT_TRUE(InSystemFolder(library.get())) << Printable(ModulePath(library.get()));
  EXPECT_TRUE(GetProcAddress(library.get(), "MsiCloseHandle")) << "the real library";
}

// As a data file, the way the message library is loaded: a data file has no
// module name to ask for, but the two images differ in size.
TEST_F(PlantedLibrary, DataFileIsTheSystemFolderCopy) {
  HMODULE planted = LoadLibraryExW(BinPath(PELORIN_TEST_PLANT).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(planted);
  SIZE_T plantedSize = ImageSize(planted);
  FreeLibrary(planted);
  for (const wchar_t* name : kNames) {
    SCOPED_TRACE(Printable(name));
    HMODULE data = LoadSystemLibrary(name, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(data);
    EXPECT_NE(plantedSize, ImageSize(data)) << "the data file is the planted DLL";
    FreeLibrary(data);
    HMODULE plain = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_AS_DATAFILE);  // the control
    EXPECT_TRUE(plain && ImageSize(plain) == plantedSize) << "the plain search finds no plant";
    FreeLibrary(plain);
  }
}

// A system without the safe search order (Vista; Windows 7 without its
// loader update): msi.dll is loaded by its full path, and cabinet.dll, which
// it loads, comes from the system folder too, not from beside the program.
// The control: the same load without the altered search takes the plant.
FARPROC WithoutSafeSearch(const char* name) {
  if (!strcmp(name, "AddDllDirectory") || !strcmp(name, "SetDefaultDllDirectories")) return nullptr;
  return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
}
TEST_F(PlantedLibrary, WithoutTheSafeSearchOrderWhatALibraryLoadsComesFromItsOwnFolder) {
  HMODULE module = nullptr;
  {
    ScopedSeams seams;
    seams->findLoaderEntry = WithoutSafeSearch;
    module = LoadSystemLibrary(L"msi.dll");
  }
  ASSERT_TRUE(module && GetModuleHandleW(L"cabinet.dll"));
  EXPECT_TRUE(InSystemFolder(module) && InSystemFolder(GetModuleHandleW(L"cabinet.dll")));
  EXPECT_EQ(nullptr, GetProcAddress(GetModuleHandleW(L"cabinet.dll"), "PelorinPlanted")) << "the plant was loaded";
  FreeLibrary(module);
  ASSERT_EQ(nullptr, GetModuleHandleW(L"cabinet.dll")) << "still loaded: the control cannot tell";
  module = LoadLibraryExW((SystemFolder() + L"\\msi.dll").c_str(), nullptr, 0);
  ASSERT_TRUE(module);
  EXPECT_TRUE(GetProcAddress(GetModuleHandleW(L"cabinet.dll"), "PelorinPlanted")) << "the control took no plant";
  FreeLibrary(module);
}

// The plant is real: the platform's own search, which the setup avoids, takes
// the copy beside the program. Wine's own libraries win over a DLL beside a
// program unless WINEDLLOVERRIDES says "n,b" for them, as the suite does.
// Runs last, and releases what it loaded.
TEST_F(PlantedLibrary, PlainSearchTakesThePlantAsControl) {
  for (size_t i = 0; i < planted_.size(); ++i) {
    SCOPED_TRACE(Printable(kNames[i]));
    ASSERT_EQ(nullptr, GetModuleHandleW(kNames[i])) << "loaded already";
    HMODULE module = LoadLibraryW(kNames[i]);
    ASSERT_TRUE(module);
    EXPECT_EQ(0, lstrcmpiW(ModulePath(module).c_str(), planted_[i].c_str())) << Printable(ModulePath(module));
    EXPECT_TRUE(GetProcAddress(module, "PelorinPlanted")) << "the plant's code";
    FreeLibrary(module);
  }
}

}  // namespace
