// The installation code called directly, for what Wine cannot show as a
// whole setup: other processors (x86, ARM64, one that cannot be told), a
// system without IsWow64Process2, a platform that is not Windows NT; and the
// exact Windows Installer call and command line of every row of the
// setup's command-line table, recorded through the engine entry points.
#include <gtest/gtest.h>

#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "install/action.h"
#include "install/admin_target.h"
#include "install/package.h"
#include "afx/seams.h"
#include "install/processor.h"
#include "support/run.h"
#include "install/run_folder.h"

using namespace pelorin_test;

namespace {

const DWORD kBoxMs = 20000;

// ------------------------------------------------------------------ processor seams

struct PlayedSystem {
  bool hasIsWow64Process2 = true;
  BOOL succeeds = TRUE;
  USHORT nativeMachine = IMAGE_FILE_MACHINE_AMD64;
  BOOL underWow64 = FALSE;  // for IsWow64Process
  int isWow64Process2Calls = 0;
  int isWow64ProcessCalls = 0;
};
PlayedSystem g_played;

BOOL WINAPI PlayedIsWow64Process2(HANDLE, USHORT* processMachine, USHORT* nativeMachine) {
  ++g_played.isWow64Process2Calls;
  if (!g_played.succeeds) return FALSE;
  *processMachine = IMAGE_FILE_MACHINE_I386;
  *nativeMachine = g_played.nativeMachine;
  return TRUE;
}

IsWow64Process2Fn FindPlayedIsWow64Process2(HMODULE) {
  return g_played.hasIsWow64Process2 ? PlayedIsWow64Process2 : nullptr;
}

BOOL WINAPI PlayedIsWow64Process(HANDLE, BOOL* underWow64) {
  ++g_played.isWow64ProcessCalls;
  if (!g_played.succeeds) return FALSE;
  *underWow64 = g_played.underWow64;
  return TRUE;
}

const LanguageEntry kEnglish = {.langId = 0x0409,
                                .displayName = L"English",
                                .packageNonNt = L"Tamaris.9x.En.msi",
                                .packageX86 = L"Tamaris.Win32.En.msi",
                                .packageX64 = L"Tamaris.x64.En.msi",
                                .packageArm64 = L"Tamaris.ARM64.En.msi",
                                .patchNonNt = L"Tamaris.9x.En.msp",
                                .patchX86 = L"Tamaris.Win32.En.msp",
                                .patchX64 = L"Tamaris.x64.En.msp",
                                .patchArm64 = L"Tamaris.ARM64.En.msp"};

class ProcessorTest : public testing::Test {
protected:
  void SetUp() override {
    g_played = PlayedSystem();
    seams_->findIsWow64Process2 = FindPlayedIsWow64Process2;
    seams_->isWow64Process = PlayedIsWow64Process;
    App().m_pMainWnd = nullptr;
  }

  static PackageChoice Choose(const LanguageEntry& language, BOOL notNt = FALSE) {
    PackageChoice choice = {};
    EXPECT_EQ(0u, ChoosePackage(language, notNt, &choice));
    return choice;
  }

  // ChoosePackage on a second thread, for the message box that it shows.
  static MessageBoxContent ChooseAndReadMessage(const LanguageEntry& language, BOOL notNt, SetupResult* result) {
    PackageChoice choice = {};
    return AnswerOneBox([&] { *result = ChoosePackage(language, notNt, &choice); }, IDOK, kBoxMs);
  }

  static void ExpectNoPackageForSystem(const LanguageEntry& language, BOOL notNt) {
    SetupResult result = 0;
    MessageBoxContent box = ChooseAndReadMessage(language, notNt, &result);
    EXPECT_EQ(1633u, result);  // not 1602, which scripts read as the user's cancel
    EXPECT_EQ(Expected(MSG_NO_PACKAGE_FOR_SYSTEM), box.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), box.icon);
    EXPECT_EQ(std::vector<int>{IDOK}, box.ButtonIds());
  }

  ScopedSeams seams_;
};

TEST_F(ProcessorTest, X86SystemGetsTheWin32Package) {
  g_played.nativeMachine = IMAGE_FILE_MACHINE_I386;
  EXPECT_EQ(IMAGE_FILE_MACHINE_I386, GetNativeMachine());
  PackageChoice choice = Choose(kEnglish);
  EXPECT_STREQ(L"Tamaris.Win32.En.msi", choice.file);
  EXPECT_FALSE(choice.isPatch);
}

TEST_F(ProcessorTest, Arm64SystemGetsTheArm64Package) {
  g_played.nativeMachine = IMAGE_FILE_MACHINE_ARM64;
  PackageChoice choice = Choose(kEnglish);
  EXPECT_STREQ(L"Tamaris.ARM64.En.msi", choice.file);
  EXPECT_FALSE(choice.isPatch);
}

TEST_F(ProcessorTest, Arm64SystemWithOnlyAPatchGetsThePatch) {
  g_played.nativeMachine = IMAGE_FILE_MACHINE_ARM64;
  LanguageEntry patchOnly = kEnglish;
  patchOnly.packageArm64 = nullptr;
  PackageChoice choice = Choose(patchOnly);
  EXPECT_STREQ(L"Tamaris.ARM64.En.msp", choice.file);
  EXPECT_TRUE(choice.isPatch);
}

TEST_F(ProcessorTest, DetectionIsRememberedAfterSuccess) {
  g_played.nativeMachine = IMAGE_FILE_MACHINE_ARM64;
  EXPECT_EQ(IMAGE_FILE_MACHINE_ARM64, GetNativeMachine());
  g_played.nativeMachine = IMAGE_FILE_MACHINE_I386;
  EXPECT_EQ(IMAGE_FILE_MACHINE_ARM64, GetNativeMachine());
  EXPECT_EQ(1, g_played.isWow64Process2Calls);
}

TEST_F(ProcessorTest, MachineThatCannotBeToldGetsMessage36And1633) {
  g_played.nativeMachine = 0;
  EXPECT_EQ(0, GetNativeMachine());
  ExpectNoPackageForSystem(kEnglish, FALSE);
}

TEST_F(ProcessorTest, FailedDetectionGetsMessage36AndIsTriedAgain) {
  g_played.succeeds = FALSE;
  ExpectNoPackageForSystem(kEnglish, FALSE);
  // Asked again for the patch round, as nothing was remembered.
  EXPECT_EQ(2, g_played.isWow64Process2Calls);
  EXPECT_EQ(0, g_played.isWow64ProcessCalls) << "IsWow64Process is not a fallback for a failing IsWow64Process2";
  g_played.succeeds = TRUE;
  EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, GetNativeMachine());
}

TEST_F(ProcessorTest, WithoutIsWow64Process2A32BitProcessOn64BitIsX64NeverArm64) {
  g_played.hasIsWow64Process2 = false;
  g_played.nativeMachine = IMAGE_FILE_MACHINE_ARM64;  // would be told by IsWow64Process2 only
  g_played.underWow64 = TRUE;
  EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, GetNativeMachine());
  EXPECT_EQ(0, g_played.isWow64Process2Calls);
  EXPECT_STREQ(L"Tamaris.x64.En.msi", Choose(kEnglish).file);
}

TEST_F(ProcessorTest, WithoutIsWow64Process2ANativeProcessIsX86) {
  g_played.hasIsWow64Process2 = false;
  g_played.underWow64 = FALSE;
  EXPECT_EQ(IMAGE_FILE_MACHINE_I386, GetNativeMachine());
  EXPECT_STREQ(L"Tamaris.Win32.En.msi", Choose(kEnglish).file);
}

TEST_F(ProcessorTest, WithoutIsWow64Process2AFailureIsUnknown) {
  g_played.hasIsWow64Process2 = false;
  g_played.succeeds = FALSE;
  EXPECT_EQ(0, GetNativeMachine());
}

TEST_F(ProcessorTest, NonNtPlatformUsesItsOwnPackageWithoutAskingTheProcessor) {
  PackageChoice choice = Choose(kEnglish, TRUE);
  EXPECT_STREQ(L"Tamaris.9x.En.msi", choice.file);
  EXPECT_FALSE(choice.isPatch);
  EXPECT_EQ(0, g_played.isWow64Process2Calls + g_played.isWow64ProcessCalls);
}

TEST_F(ProcessorTest, NonNtPlatformWithOnlyAPatchGetsThePatch) {
  LanguageEntry patchOnly = kEnglish;
  patchOnly.packageNonNt = nullptr;
  PackageChoice choice = Choose(patchOnly, TRUE);
  EXPECT_STREQ(L"Tamaris.9x.En.msp", choice.file);
  EXPECT_TRUE(choice.isPatch);
  EXPECT_EQ(0, g_played.isWow64Process2Calls + g_played.isWow64ProcessCalls);
}

TEST_F(ProcessorTest, NonNtPlatformWithoutItsFilesGetsMessage36) {
  LanguageEntry ntOnly = kEnglish;
  ntOnly.packageNonNt = nullptr;
  ntOnly.patchNonNt = nullptr;
  ExpectNoPackageForSystem(ntOnly, TRUE);
  EXPECT_EQ(0, g_played.isWow64Process2Calls + g_played.isWow64ProcessCalls);
}

// ------------------------------------------------------------------ the engine call

struct EngineCall {
  std::wstring function;  // "MsiInstallProductW" or "MsiApplyPatchW"
  std::wstring package;
  bool commandLineNull = false;
  std::wstring commandLine;
  bool installPackageNull = false;  // MsiApplyPatchW's package to patch
  std::wstring installPackage;
  INSTALLTYPE installType = INSTALLTYPE_DEFAULT;
};
std::vector<EngineCall> g_calls;
std::vector<std::wstring> g_stateQueries;
std::vector<int> g_uiLevels;
INSTALLSTATE g_productState = INSTALLSTATE_UNKNOWN;

INSTALLUILEVEL WINAPI RecordSetInternalUI(INSTALLUILEVEL level, HWND*) {
  g_uiLevels.push_back(level);
  return INSTALLUILEVEL_NOCHANGE;
}

UINT WINAPI RecordInstallProduct(LPCWSTR package, LPCWSTR commandLine) {
  EngineCall call;
  call.function = L"MsiInstallProductW";
  call.package = package ? package : L"";
  call.commandLineNull = commandLine == nullptr;
  call.commandLine = commandLine ? commandLine : L"";
  g_calls.push_back(call);
  return ERROR_SUCCESS;
}

UINT WINAPI RecordApplyPatch(LPCWSTR patch, LPCWSTR installPackage, INSTALLTYPE type, LPCWSTR commandLine) {
  EngineCall call;
  call.function = L"MsiApplyPatchW";
  call.package = patch ? patch : L"";
  call.installPackageNull = installPackage == nullptr;
  call.installPackage = installPackage ? installPackage : L"";
  call.installType = type;
  call.commandLineNull = commandLine == nullptr;
  call.commandLine = commandLine ? commandLine : L"";
  g_calls.push_back(call);
  return ERROR_SUCCESS;
}

INSTALLSTATE WINAPI PlayedProductState(LPCWSTR productCode) {
  g_stateQueries.push_back(productCode ? productCode : L"");
  return g_productState;
}

std::wstring SamplePackage(const std::wstring& kind, const std::wstring& name) {
  return BinPath(L"tests\\wine\\packages\\" + kind + L"\\" + name);
}

class EngineCallTest : public testing::Test {
protected:
  void SetUp() override {
    saved_ = App().m_msi;
    savedMode_ = App().m_commandMode;
    App().m_pMainWnd = nullptr;
    // The package database is read by the real engine; the calls that would
    // change the system are recorded instead.
    msi_ = LoadLibraryW(L"msi.dll");
    ASSERT_TRUE(msi_);
    MsiApi& api = App().m_msi;
    api = MsiApi();
    api.module = msi_;
    api.MsiOpenDatabaseW = MsiOpenDatabaseW;
    api.MsiDatabaseOpenViewW = MsiDatabaseOpenViewW;
    api.MsiViewExecute = MsiViewExecute;
    api.MsiViewFetch = MsiViewFetch;
    api.MsiRecordGetStringW = MsiRecordGetStringW;
    api.MsiCloseHandle = MsiCloseHandle;
    api.MsiSetInternalUI = RecordSetInternalUI;
    api.MsiInstallProductW = RecordInstallProduct;
    api.MsiApplyPatchW = RecordApplyPatch;
    api.MsiQueryProductStateW = PlayedProductState;
    g_calls.clear();
    g_stateQueries.clear();
    g_uiLevels.clear();
    g_productState = INSTALLSTATE_UNKNOWN;
    package_ = SamplePackage(L"signed", L"Tamaris.x64.En.msi");
    ASSERT_TRUE(FileExists(package_)) << "the sample packages are not built: " << Printable(package_);
    patch_ = SamplePackage(L"signed", L"Tamaris.x64.En.msp");
  }
  void TearDown() override {
    App().m_msi = saved_;
    App().m_commandMode = savedMode_;
    if (msi_) FreeLibrary(msi_);
  }

  // Runs the action as the setup does after the package was obtained: the
  // command line (argument text) is read for "/a", the operation checked.
  EngineCall Run(const wchar_t* operation, bool isPatch, const wchar_t* arguments = nullptr,
                 const wchar_t* configuredCommandLine = nullptr) {
    ProductEntry product = {.operation = operation, .productName = L"Tamaris", .commandLine = configuredCommandLine,
                            .productVersion = L"4.12", .uiLevel = 3};
    std::wstring argumentText = arguments ? arguments : L"";
    wchar_t* adminTarget = nullptr;
    App().m_commandMode = arguments ? ModeAdminInstall : ModeInstall;
    if (arguments) EXPECT_TRUE(ParseAdminTarget(&argumentText[0], &adminTarget));
    bool updateMode = false;
    EXPECT_EQ(0u, CheckOperation(operation, isPatch, &updateMode));
    const std::wstring& file = isPatch ? patch_ : package_;
    EXPECT_EQ(0u, RunInstallerAction(App(), product, file.c_str(), isPatch, updateMode, adminTarget));
    EXPECT_EQ(std::vector<int>{3}, g_uiLevels) << "the product's interface level is set once, before the call";
    EXPECT_EQ(1u, g_calls.size());
    EngineCall call = g_calls.empty() ? EngineCall() : g_calls.back();
    EXPECT_EQ(file, call.package);
    return call;
  }

  void ExpectInstall(const EngineCall& call, const std::wstring& commandLine) {
    EXPECT_EQ(L"MsiInstallProductW", call.function);
    EXPECT_FALSE(call.commandLineNull) << "MsiInstallProductW gets a command line, even an empty one";
    EXPECT_EQ(Printable(commandLine), Printable(call.commandLine));
  }

  void ExpectPatch(const EngineCall& call, const wchar_t* installPackage, INSTALLTYPE type,
                   const wchar_t* commandLine) {
    EXPECT_EQ(L"MsiApplyPatchW", call.function);
    EXPECT_EQ(installPackage == nullptr, call.installPackageNull);
    if (installPackage) EXPECT_EQ(installPackage, call.installPackage);
    EXPECT_EQ(type, call.installType);
    EXPECT_EQ(commandLine == nullptr, call.commandLineNull);
    if (commandLine) EXPECT_EQ(commandLine, call.commandLine);
  }

  MsiApi saved_;
  CommandMode savedMode_ = ModeInstall;
  HMODULE msi_ = nullptr;
  std::wstring package_, patch_;
};

TEST_F(EngineCallTest, InstallAndDefaultPassAnEmptyCommandLine) {
  ExpectInstall(Run(L"INSTALL", false), L"");
  g_calls.clear();
  g_uiLevels.clear();
  ExpectInstall(Run(L"DEFAULT", false), L"");
  g_calls.clear();
  g_uiLevels.clear();
  ExpectInstall(Run(nullptr, false), L"");
  EXPECT_TRUE(g_stateQueries.empty()) << "only an update asks whether the product is installed";
}

TEST_F(EngineCallTest, UpdateOfAProductThatIsNotInstalledInstallsIt) {
  g_productState = INSTALLSTATE_UNKNOWN;
  ExpectInstall(Run(L"INSTALLUPD", false), L"");
  // The product code came from the package.
  EXPECT_EQ(std::vector<std::wstring>{L"{7A3D5E10-4C12-4B8E-9F00-041200000004}"}, g_stateQueries);
}

TEST_F(EngineCallTest, UpdateOfAnInstalledProductReinstallsIt) {
  g_productState = INSTALLSTATE_DEFAULT;
  ExpectInstall(Run(L"installUPD", false), L"REINSTALL=ALL REINSTALLMODE=vomus");
  EXPECT_EQ(1u, g_stateQueries.size());
}

TEST_F(EngineCallTest, UpdateOfAnAdvertisedProductReinstallsIt) {
  g_productState = INSTALLSTATE_ADVERTISED;
  ExpectInstall(Run(L"INSTALLUPD", false), L"REINSTALL=ALL REINSTALLMODE=vomus");
}

TEST_F(EngineCallTest, UpdateOfAnAbsentProductInstallsIt) {
  g_productState = INSTALLSTATE_ABSENT;
  ExpectInstall(Run(L"INSTALLUPD", false), L"");
}

TEST_F(EngineCallTest, ConfiguredCommandLineReplacesTheUpdateProperties) {
  g_productState = INSTALLSTATE_DEFAULT;
  ExpectInstall(Run(L"INSTALLUPD", false, nullptr, L"ADDLOCAL=ALL"), L"ADDLOCAL=ALL");
  g_calls.clear();
  g_uiLevels.clear();
  g_productState = INSTALLSTATE_UNKNOWN;
  ExpectInstall(Run(L"INSTALLUPD", false, nullptr, L"ADDLOCAL=ALL"), L"ADDLOCAL=ALL");
}

TEST_F(EngineCallTest, AdministrativeInstallWithoutFolder) {
  ExpectInstall(Run(L"INSTALL", false, L"/a"), L" ACTION=ADMIN");
  g_calls.clear();
  g_uiLevels.clear();
  ExpectInstall(Run(L"DEFAULT", false, L"  -A  "), L" ACTION=ADMIN");
}

TEST_F(EngineCallTest, AdministrativeInstallWithQuotedFolderHoldingABlank) {
  ExpectInstall(Run(L"INSTALL", false, L"/a \"C:\\Admin Images\\Tamaris 4.12\" ignored"),
                L" ACTION=ADMIN TARGETDIR=\"C:\\Admin Images\\Tamaris 4.12\"");
}

TEST_F(EngineCallTest, AdministrativeInstallWithUnquotedFolderEndsAtTheBlank) {
  ExpectInstall(Run(L"INSTALL", false, L"/a C:\\Images\\Tamaris further"),
                L" ACTION=ADMIN TARGETDIR=\"C:\\Images\\Tamaris\"");
}

TEST_F(EngineCallTest, MinorPatchAndDefaultPatchReinstall) {
  ExpectPatch(Run(L"MINPATCH", true), nullptr, INSTALLTYPE_DEFAULT, L"REINSTALL=ALL REINSTALLMODE=omus");
  g_calls.clear();
  g_uiLevels.clear();
  ExpectPatch(Run(L"DEFAULT", true), nullptr, INSTALLTYPE_DEFAULT, L"REINSTALL=ALL REINSTALLMODE=omus");
  g_calls.clear();
  g_uiLevels.clear();
  ExpectPatch(Run(nullptr, true), nullptr, INSTALLTYPE_DEFAULT, L"REINSTALL=ALL REINSTALLMODE=omus");
  EXPECT_TRUE(g_stateQueries.empty()) << "a patch does not ask whether the product is installed";
}

TEST_F(EngineCallTest, MajorPatchPassesNoCommandLine) {
  ExpectPatch(Run(L"MAJPATCH", true), nullptr, INSTALLTYPE_DEFAULT, nullptr);
}

TEST_F(EngineCallTest, PatchWithConfiguredCommandLine) {
  ExpectPatch(Run(L"MAJPATCH", true, nullptr, L"MYPROP=1"), nullptr, INSTALLTYPE_DEFAULT, L"MYPROP=1");
}

TEST_F(EngineCallTest, AdministrativePatchPatchesTheImage) {
  ExpectPatch(Run(L"MINPATCH", true, L"/a \"C:\\Admin Images\\Tamaris 4.12\""), L"C:\\Admin Images\\Tamaris 4.12",
              INSTALLTYPE_NETWORK_IMAGE, L"REINSTALL=ALL REINSTALLMODE=omus");
  g_calls.clear();
  g_uiLevels.clear();
  ExpectPatch(Run(L"MAJPATCH", true, L"/a"), nullptr, INSTALLTYPE_NETWORK_IMAGE, nullptr);
}

// ------------------------------------------------------------------ operation keywords

class OperationTest : public testing::Test {
protected:
  void SetUp() override { App().m_pMainWnd = nullptr; }

  static MessageBoxContent CheckAndReadMessage(const wchar_t* operation, bool isPatch, SetupResult* result) {
    bool updateMode = false;
    return AnswerOneBox([&] { *result = CheckOperation(operation, isPatch, &updateMode); }, IDOK, kBoxMs);
  }
};

TEST_F(OperationTest, KeywordOfTheOtherKindIsRefusedWithMessage34) {
  SetupResult result = 0;
  MessageBoxContent box = CheckAndReadMessage(L"MINPATCH", false, &result);
  EXPECT_EQ(87u, result);
  EXPECT_EQ(Expected(MSG_BAD_OPERATION, {L"MINPATCH"}), box.text);
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), box.icon);
  box = CheckAndReadMessage(L"INSTALL", true, &result);
  EXPECT_EQ(87u, result);
  EXPECT_EQ(Expected(MSG_BAD_OPERATION, {L"INSTALL"}), box.text);
}

TEST_F(OperationTest, KeywordsAreComparedWholeAndIgnoringCase) {
  bool updateMode = true;
  EXPECT_EQ(0u, CheckOperation(L"install", false, &updateMode));
  EXPECT_FALSE(updateMode);
  EXPECT_EQ(0u, CheckOperation(L"iNsTaLlUpD", false, &updateMode));
  EXPECT_TRUE(updateMode);
  EXPECT_EQ(0u, CheckOperation(L"minpatch", true, &updateMode));
  EXPECT_TRUE(updateMode);
  EXPECT_EQ(0u, CheckOperation(L"MajPatch", true, &updateMode));
  EXPECT_FALSE(updateMode);
  EXPECT_EQ(0u, CheckOperation(nullptr, false, &updateMode));
  EXPECT_FALSE(updateMode);
  EXPECT_EQ(0u, CheckOperation(nullptr, true, &updateMode));
  EXPECT_TRUE(updateMode);
  SetupResult result = 0;
  MessageBoxContent box = CheckAndReadMessage(L"INSTALLUPDATE", false, &result);
  EXPECT_EQ(87u, result);
}

// ------------------------------------------------------------------ run folders left behind

// What the start of a run removes of earlier runs' folders: the setup's own
// (the control); of a folder so named that is a link, or of a link in one,
// nothing it leads to. run_folder_links.sh makes the links (Wine makes none).
std::wstring Env(const wchar_t* name) {
  wchar_t value[MAX_PATH] = L"";
  GetEnvironmentVariableW(name, value, MAX_PATH);
  return value;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(StaleRunFolders, OnlyTheSetupsOwnGoAndNothingALinkLeadsTo) {
  const std::wstring link = Env(L"PELORIN_TEST_STALE_LINK"), planted = Env(L"PELORIN_TEST_STALE_PLANTED"),
                     other = Env(L"PELORIN_TEST_OTHER");
  if (link.empty()) GTEST_SKIP() << "run by run_folder_links.sh, which makes the links";
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  WString own, file;
  UniqueHandle held;
  ASSERT_TRUE(MakeRunFolder(own) && CreateRunFile(own, L"Tamaris.x64.En.msi", file, held));
  held.Reset();
  const struct { const char* what; std::wstring path; bool stays; } rows[] = {
      {"the setup's own stale folder", own.c_str(), false},
      {"a folder so named that is a link", std::wstring(temp) + link, true},
      {"a file of a planted folder", std::wstring(temp) + planted + L"\\own.tmp", false},
      {"a link in a planted folder", std::wstring(temp) + planted + L"\\elsewhere", true},
      {"the file that link leads to", other + L"\\victim.txt", true}};
  for (const auto& row : rows) ASSERT_TRUE(Exists(row.path)) << row.what;
  RemoveStaleRunFolders();
  for (const auto& row : rows) EXPECT_EQ(row.stays, Exists(row.path)) << row.what;
  for (int i = 1; i <= 50; ++i) EXPECT_TRUE(Exists(other + L"\\other\\file" + std::to_wstring(i))) << i;
}

}  // namespace
