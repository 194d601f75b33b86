// Binding the Windows Installer engine, with real "InstallerLocation" values
// in the registry of the test prefix: which msi.dll the setup binds, and what
// an engine that lacks an entry does.
//
// The values are written with NtSetValueKey, byte for byte: Wine's
// RegSetValueExW quietly adds a NUL that a string value lacks (and so turns an
// odd byte count into another odd one read past the caller's data), so it
// cannot store the malformed values these tests need. Whatever the value was
// before is put back after each test.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "engine/binding.h"
#include "support/run.h"

extern "C" NTSTATUS NTAPI NtSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG titleIndex, ULONG type, PVOID data,
                                        ULONG size);

using namespace pelorin_test;

namespace {

const wchar_t kValueName[] = L"InstallerLocation";

// The names the binding resolves, in its order.
const char* const kEntries[] = {"MsiSetInternalUI",      "MsiInstallProductW",   "MsiApplyPatchW",
                                "MsiReinstallProductW",  "MsiQueryProductStateW", "MsiOpenDatabaseW",
                                "MsiDatabaseOpenViewW",  "MsiViewExecute",        "MsiViewFetch",
                                "MsiRecordGetStringW",   "MsiCloseHandle"};

std::vector<void*> BoundEntries(const MsiApi& msi) {
  return {(void*)msi.MsiSetInternalUI,     (void*)msi.MsiInstallProductW,   (void*)msi.MsiApplyPatchW,
          (void*)msi.MsiReinstallProductW, (void*)msi.MsiQueryProductStateW, (void*)msi.MsiOpenDatabaseW,
          (void*)msi.MsiDatabaseOpenViewW, (void*)msi.MsiViewExecute,        (void*)msi.MsiViewFetch,
          (void*)msi.MsiRecordGetStringW,  (void*)msi.MsiCloseHandle};
}

std::wstring MaterialDir(const wchar_t* folder) {
  return BinPath(std::wstring(PELORIN_TEST_ENGINE_MATERIAL) + L"\\" + folder);
}

std::wstring ModulePath(HMODULE module) {
  if (!module) return L"(none)";
  wchar_t path[1024];
  DWORD length = GetModuleFileNameW(module, path, 1024);
  return std::wstring(path, length);
}

std::wstring SystemEngine() {
  wchar_t folder[MAX_PATH];
  UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder, length) + L"\\msi.dll";
}

// The same file, whatever the case and however the folders are joined.
bool SameFile(const std::wstring& a, const std::wstring& b) {
  wchar_t fullA[1024], fullB[1024];
  if (!GetFullPathNameW(a.c_str(), 1024, fullA, nullptr) || !GetFullPathNameW(b.c_str(), 1024, fullB, nullptr))
    return false;
  return lstrcmpiW(fullA, fullB) == 0;
}

std::vector<BYTE> Bytes(const std::wstring& text, bool withNul) {
  const BYTE* first = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(first, first + (text.size() + (withNul ? 1 : 0)) * sizeof(wchar_t));
}

bool ModuleLoaded(const wchar_t* name) { return GetModuleHandleW(name) != nullptr; }

// Saves the Installer key's "InstallerLocation" before a test and puts it back
// after; releases whatever engine the test bound.
class InstallerLocationTest : public testing::Test {
protected:
  void SetUp() override {
    key_ = saved_.key();
    ASSERT_NE(nullptr, key_);
    // No engine may be loaded yet: the platform would hand out a loaded
    // module of the same name instead of looking for the file.
    ASSERT_FALSE(ModuleLoaded(L"msi.dll")) << "an msi.dll is loaded before the test";
    App().m_msi = MsiApi{};
  }

  void TearDown() override {
    if (App().m_msi.module) FreeLibrary(App().m_msi.module);
    App().m_msi = MsiApi{};
  }

  void SetRaw(DWORD type, const std::vector<BYTE>& bytes) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, kValueName);
    ASSERT_EQ(0, NtSetValueKey(key_, &name, 0, type, bytes.empty() ? nullptr : (PVOID)bytes.data(),
                               (ULONG)bytes.size()));
    // Stored as given, byte for byte.
    DWORD storedType = 0, storedSize = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, kValueName, nullptr, &storedType, nullptr, &storedSize));
    ASSERT_EQ(type, storedType);
    ASSERT_EQ(bytes.size(), storedSize);
  }
  void SetText(DWORD type, const std::wstring& text) { SetRaw(type, Bytes(text, true)); }
  void RemoveValue() { RegDeleteValueW(key_, kValueName); }

  // The binding reads the key in the view of its build: so does the test.
  SavedRegistryValue saved_{HKEY_LOCAL_MACHINE, INSTALLER_KEY, kValueName, kOwnView};
  HKEY key_ = nullptr;
};

// ------------------------------------------------------------------ which engine is bound

class EngineBinding : public InstallerLocationTest {
protected:
  // Binds and checks that it succeeded with every entry taken from the
  // module that was loaded from `expected`: one of the test engines, or the
  // system's.
  void ExpectBound(const std::wstring& expected, bool testEngine = true) {
    ASSERT_EQ(0u, BindInstallerEngine(App().m_msi));
    const MsiApi& msi = App().m_msi;
    ASSERT_NE(nullptr, msi.module);
    EXPECT_TRUE(SameFile(ModulePath(msi.module), expected))
        << "bound " << Printable(ModulePath(msi.module)) << ", expected " << Printable(expected);
    // The file really loaded, not one the platform put in its place.
    EXPECT_EQ(testEngine, GetProcAddress(msi.module, "PelorinTestEngine") != nullptr);
    std::vector<void*> bound = BoundEntries(msi);
    for (size_t i = 0; i < bound.size(); ++i)
      EXPECT_EQ((void*)GetProcAddress(msi.module, kEntries[i]), bound[i]) << kEntries[i];
  }
  void ExpectSystemEngineBound() { ExpectBound(SystemEngine(), false); }

  const std::wstring complete_ = MaterialDir(L"engine-complete");
};

TEST_F(EngineBinding, WithoutRegisteredLocationBindsSystemEngine) {
  RemoveValue();
  ExpectSystemEngineBound();
}

TEST_F(EngineBinding, RegisteredCompleteEngineIsPreferredToSystemEngine) {
  SetText(REG_SZ, complete_);
  ExpectBound(complete_ + L"\\msi.dll");
}

TEST_F(EngineBinding, RegisteredFolderEndingInBackslashIsUsedAsStored) {
  SetText(REG_SZ, complete_ + L"\\");
  ExpectBound(complete_ + L"\\msi.dll");
}

TEST_F(EngineBinding, ExpandStringWithoutReferencesIsUsed) {
  SetText(REG_EXPAND_SZ, complete_);
  ExpectBound(complete_ + L"\\msi.dll");
}

TEST_F(EngineBinding, RegisteredFolderWithoutEngineFallsBackToSystemEngine) {
  TempFolder empty(L"Pelorin engine folder");
  ASSERT_TRUE(empty.ok());
  SetText(REG_SZ, empty.path());
  ExpectSystemEngineBound();
}

// An environment reference is not expanded: were it, the complete test engine
// would be bound.
TEST_F(EngineBinding, ReferenceInExpandStringIsNotExpanded) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"PELORIN_TEST_ENGINE_DIR", complete_.c_str()));
  SetText(REG_EXPAND_SZ, L"%PELORIN_TEST_ENGINE_DIR%");
  ExpectSystemEngineBound();
  SetEnvironmentVariableW(L"PELORIN_TEST_ENGINE_DIR", nullptr);
}

// A relative folder would be looked for along the library search path, which
// here (no search restriction, like older systems) begins with the program's
// own folder, where the complete test engine lies below "material\...".
TEST_F(EngineBinding, RelativeFolderIsNotSearchedForAnEngine) {
  const std::wstring relative = L"material\\engine-complete";
  ASSERT_TRUE(FileExists(OwnDir() + L"\\" + relative + L"\\msi.dll")) << Printable(relative);
  // What loading it as it stands would do here.
  HMODULE planted = LoadLibraryW((relative + L"\\msi.dll").c_str());
  ASSERT_NE(nullptr, planted) << "the search path does not reach the program's folder: the test shows nothing";
  FreeLibrary(planted);

  SetText(REG_SZ, relative);
  ExpectSystemEngineBound();
}

TEST_F(EngineBinding, OddByteCountIsTreatedAsAbsent) {
  std::vector<BYTE> bytes = Bytes(complete_, true);
  bytes.push_back(0);
  SetRaw(REG_SZ, bytes);
  ExpectSystemEngineBound();
}

TEST_F(EngineBinding, StringWithoutTerminatingNulIsTreatedAsAbsent) {
  SetRaw(REG_SZ, Bytes(complete_, false));
  ExpectSystemEngineBound();
}

// Puts a file at `path` for the time of a test, with the current folder
// changed to `folder`.
class PlantedFile {
public:
  PlantedFile(const std::wstring& source, const std::wstring& path, const std::wstring& folder) : path_(path) {
    GetCurrentDirectoryW(MAX_PATH, previous_);
    planted_ = !FileExists(path) && CopyFileW(source.c_str(), path.c_str(), TRUE);
    SetCurrentDirectoryW(folder.c_str());
  }
  ~PlantedFile() {
    SetCurrentDirectoryW(previous_);
    if (planted_) DeleteFileW(path_.c_str());
  }
  bool ok() const { return planted_; }

private:
  std::wstring path_;
  wchar_t previous_[MAX_PATH] = {};
  bool planted_ = false;
};

TEST_F(EngineBinding, EmptyStringIsTreatedAsAbsent) {
  // Were it used, "\msi.dll" would name the root of the current drive: a
  // complete test engine is put there.
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring root = std::wstring(windows).substr(0, 3);
  PlantedFile planted(complete_ + L"\\msi.dll", root + L"msi.dll", root);
  ASSERT_TRUE(planted.ok()) << Printable(root) << "msi.dll cannot be made";
  HMODULE reached = LoadLibraryW(L"\\msi.dll");
  ASSERT_NE(nullptr, reached) << "\"\\msi.dll\" does not reach the planted engine: the test shows nothing";
  FreeLibrary(reached);

  SetText(REG_SZ, L"");
  ExpectSystemEngineBound();
  FreeLibrary(App().m_msi.module);
  App().m_msi = MsiApi{};
  SetRaw(REG_SZ, {});
  ExpectSystemEngineBound();
  // Released before the planted file goes.
  FreeLibrary(App().m_msi.module);
  App().m_msi = MsiApi{};
}

TEST_F(EngineBinding, ValueOfAnotherTypeIsTreatedAsAbsent) {
  SetRaw(REG_BINARY, Bytes(complete_, true));
  ExpectSystemEngineBound();
  FreeLibrary(App().m_msi.module);
  App().m_msi = MsiApi{};
  std::vector<BYTE> multi = Bytes(complete_, true);
  multi.push_back(0);
  multi.push_back(0);
  SetRaw(REG_MULTI_SZ, multi);
  ExpectSystemEngineBound();
}

// ------------------------------------------------------------------ an engine without an entry

// Binds on a thread of its own and reads the message box it shows from here.
struct BindingOutcome {
  SetupResult result = 0xDEADBEEF;
  bool boxSeen = false;
  MessageBoxContent box;
};

BindingOutcome BindAndAnswerMessage() {
  BindingOutcome outcome;
  outcome.box = AnswerOneBox([&] { outcome.result = BindInstallerEngine(App().m_msi); });
  outcome.boxSeen = !outcome.box.text.empty();
  return outcome;
}

void ExpectEngineFailureMessage(const BindingOutcome& outcome) {
  EXPECT_EQ(1603u, outcome.result);
  ASSERT_TRUE(outcome.boxSeen) << "no message box";
  EXPECT_EQ(Expected(MSG_ENGINE_UPGRADE_FAILED), outcome.box.text)
      << Printable(outcome.box.text);
  EXPECT_EQ((UINT)MB_ICONERROR, outcome.box.icon);
  EXPECT_EQ(std::vector<int>{IDOK}, outcome.box.ButtonIds());
}

TEST_F(EngineBinding, EngineWithoutOneEntryIsToldAndFails) {
  std::wstring partial = MaterialDir(L"engine-partial");
  ASSERT_TRUE(FileExists(partial + L"\\msi.dll"));
  SetText(REG_SZ, partial);

  BindingOutcome outcome = BindAndAnswerMessage();
  ExpectEngineFailureMessage(outcome);

  // No second try with the system's engine: the registered one stays, bound
  // up to the missing entry.
  const MsiApi& msi = App().m_msi;
  EXPECT_TRUE(SameFile(ModulePath(msi.module), partial + L"\\msi.dll")) << Printable(ModulePath(msi.module));
  EXPECT_NE(nullptr, GetProcAddress(msi.module, "PelorinTestEngine"));
  std::vector<void*> bound = BoundEntries(msi);
  for (size_t i = 0; i < 3; ++i) EXPECT_NE(nullptr, bound[i]) << kEntries[i];
  for (size_t i = 3; i < bound.size(); ++i) EXPECT_EQ(nullptr, bound[i]) << kEntries[i];
}

// Run only in the registration whose Wine loads no msi.dll at all.
class WithoutSystemEngine : public InstallerLocationTest {};

TEST_F(WithoutSystemEngine, NoEngineAtAllIsToldAndFails) {
  HMODULE system = LoadLibraryExW(L"msi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (system) FreeLibrary(system);
  ASSERT_EQ(nullptr, system) << "the system's msi.dll can be loaded: this test needs WINEDLLOVERRIDES=msi=";
  RemoveValue();

  BindingOutcome outcome = BindAndAnswerMessage();
  ExpectEngineFailureMessage(outcome);
  EXPECT_EQ(nullptr, App().m_msi.module);
}

// ------------------------------------------------------------------ reading the value itself

class InstallerLocationValue : public InstallerLocationTest {
protected:
  bool Read(std::wstring* folder) {
    WString text;
    text.Append(L"left over");
    bool read = ReadInstallerLocation(key_, text);
    *folder = text.c_str();
    return read;
  }
};

TEST_F(InstallerLocationValue, StoredFolderIsReadAsItStands) {
  SetText(REG_EXPAND_SZ, L"%SystemRoot%\\System32\\");
  std::wstring folder;
  EXPECT_TRUE(Read(&folder));
  EXPECT_EQ(L"%SystemRoot%\\System32\\", folder);
}

TEST_F(InstallerLocationValue, TextEndsAtItsFirstNul) {
  SetRaw(REG_SZ, Bytes(std::wstring(L"C:\\Engine") + L'\0' + L"D:\\Other", true));
  std::wstring folder;
  EXPECT_TRUE(Read(&folder));
  EXPECT_EQ(L"C:\\Engine", folder);
}

TEST_F(InstallerLocationValue, EmptyValueIsReadAsEmptyText) {
  SetRaw(REG_SZ, {});
  std::wstring folder;
  EXPECT_TRUE(Read(&folder));
  EXPECT_EQ(L"", folder);
  SetText(REG_SZ, L"");
  EXPECT_TRUE(Read(&folder));
  EXPECT_EQ(L"", folder);
}

TEST_F(InstallerLocationValue, MalformedValuesAreNotRead) {
  std::wstring folder;
  RemoveValue();
  EXPECT_FALSE(Read(&folder));
  EXPECT_EQ(L"", folder);

  std::vector<BYTE> odd = Bytes(L"C:\\Engine", true);
  odd.push_back(0);
  SetRaw(REG_SZ, odd);
  EXPECT_FALSE(Read(&folder));
  EXPECT_EQ(L"", folder);

  SetRaw(REG_SZ, Bytes(L"C:\\Engine", false));
  EXPECT_FALSE(Read(&folder));
  EXPECT_EQ(L"", folder);

  SetRaw(REG_DWORD, {1, 0, 0, 0});
  EXPECT_FALSE(Read(&folder));
  EXPECT_EQ(L"", folder);
}

}  // namespace
