// Hostile files beside the setup, as a Downloads folder may hold them: a
// planted unsigned package, a package of another signer where the build
// pins one, and a second process that tries to swap the package between its
// check and its installation. Nothing unverified reaches the engine. And a
// system that refuses the setup a window it needs: the exit code says
// neither success nor the user's cancel.
#include <gtest/gtest.h>

#include "support/install_common.h"

using namespace install_test;
using namespace pelorin_test;

namespace {

class HostileFileTest : public ScenarioTest {
protected:
  static void ExpectNotTrusted(const RunResult& run, const std::wstring& path) {
    ExpectErrorAndNothingInstalled(run, 4, Expected(MSG_NOT_TRUSTED, {path}));
  }

  // The download that the refusal names.
  static std::wstring Downloaded(const RunResult& run) {
    return run.boxes.empty() ? L"" : InsertOf(MSG_NOT_TRUSTED, run.boxes[0].content.text);
  }
};

// ------------------------------------------------------------------ planted packages

TEST_F(HostileFileTest, UnsignedPackageBesideTheSetupIsReplacedByTheDownload) {
  std::wstring setup = CopySetup(L"tamaris", L"unsigned", kPackage);
  RunResult run = RunEnglish(setup);
  ExpectInstalledOnly(run, Sample(L"signed", kPackage));
  // Checked, refused, downloaded and checked again.
  std::vector<ServedRequest> requests = server::Log();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(Printable(kPackage), requests[0].package);
  EXPECT_TRUE(run.StatusShown(105, Expected(MSG_DOWNLOADING_PACKAGE, {kPackage})));
}

// (The control, a trusted package beside the same setup, is installed: see
// install_local_test.)
TEST_F(HostileFileTest, UnsignedPackageBesideASetupWithoutDownloadAddressIsNamedAndRefused) {
  std::wstring setup = CopySetup(L"no_download_url", L"unsigned", kPackage);
  RunResult run = RunSetup(setup);
  ExpectNotTrusted(run, folder_.File(kPackage));
  EXPECT_TRUE(server::Log().empty());
}

// ------------------------------------------------------------------ pinned signers

// The packages are signed with one key that the system trusts. A setup is
// given one package download, or one beside it too; "/v" by the same setup,
// as the engine upgrade asks it of a redistributable, gives the same verdict.
struct PinRow {
  const wchar_t* setup;
  bool beside;     // the package also beside the setup
  bool installed;  // else refused wherever it comes from: message 22, exit code 4
};
const PinRow kPinRows[] = {
    {L"tamaris", false, true},              // no pin: any signer the system trusts
    {L"pinned", false, true},               // the packages' key
    {L"pinned_other", true, false},         // another key that the system trusts as well
    {L"pinned_next", true, true},           // two keys in capitals, of which the second signs
    {L"pinned_self_signer", true, true},    // "self", the setup signed with the packages' key
    {L"pinned_self_other", true, false},    // "self", the setup signed with another key
    {L"pinned_self", true, false},          // "self", the setup unsigned: nothing is trusted
};

class PinTest : public HostileFileTest, public testing::WithParamInterface<PinRow> {};

TEST_P(PinTest, PackageIsInstalledOnlyWhenThePinNamesItsKey) {
  const PinRow& row = GetParam();
  std::wstring setup = row.beside ? CopySetup(row.setup, L"signed", kPackage) : CopySetup(row.setup);
  RunResult run = RunEnglish(setup);
  if (row.installed) {
    ExpectInstalledOnly(run, Sample(L"signed", kPackage));
    EXPECT_EQ(row.beside ? 0u : 1u, server::Log().size());
  } else {
    ASSERT_EQ(1u, server::Log().size()) << "the refused local package was not replaced by the download";
    std::wstring cached = Downloaded(run);
    EXPECT_NE(0, _wcsnicmp(cached.c_str(), folder_.path().c_str(), folder_.path().size())) << Printable(cached);
    ExpectNotTrusted(run, cached);
  }
  RunResult verify = RunSetup(setup, RunScript(), L"/v " + Quote(PackageFile(L"signed", kPackage)));
  ASSERT_TRUE(verify.finished);
  EXPECT_EQ(row.installed ? 0u : 0x800B0004u, verify.exitCode);
}
INSTANTIATE_TEST_SUITE_P(Rows, PinTest, testing::ValuesIn(kPinRows),
                         [](const testing::TestParamInfo<PinRow>& info) { return Printable(info.param.setup); });

// ------------------------------------------------------------------ a swap after the check

struct SwapAttempts {
  int made = 0;
  std::vector<std::string> succeeded;
};

// Tries what a second process would do to swap `path`: overwrite, rename,
// delete. Each that works is noted (and undone where it can be).
void TrySwap(const std::wstring& path, SwapAttempts* attempts) {
  ++attempts->made;
  HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (writer != INVALID_HANDLE_VALUE) {
    attempts->succeeded.push_back("opened for writing");
    CloseHandle(writer);
  }
  if (MoveFileW(path.c_str(), (path + L".moved").c_str())) {
    attempts->succeeded.push_back("renamed");
    MoveFileW((path + L".moved").c_str(), path.c_str());
  }
  std::wstring copy = path + L".copy";
  CopyFileW(path.c_str(), copy.c_str(), FALSE);
  if (DeleteFileW(path.c_str())) {
    attempts->succeeded.push_back("deleted");
    MoveFileW(copy.c_str(), path.c_str());
  }
  DeleteFileW(copy.c_str());
}

TEST_F(HostileFileTest, PackageCannotBeSwappedBetweenItsCheckAndItsInstallation) {
  std::wstring setup = CopySetup(L"tamaris", L"signed", kPackage);
  const std::wstring local = folder_.File(kPackage);
  SwapAttempts during;
  RunScript script;
  // Right after the check, before the engine is called.
  script.whileHeldForTheEngine = [&] { TrySwap(local, &during); };
  RunResult run = RunEnglish(setup, script);
  ExpectInstalledOnly(run, Sample(L"signed", kPackage));
  EXPECT_TRUE(server::Log().empty());
  EXPECT_TRUE(run.heldForTheEngine);
  EXPECT_EQ(1, during.made);
  EXPECT_TRUE(during.succeeded.empty()) << testing::PrintToString(during.succeeded);
  // The control: once the setup has ended, the same attempts all work.
  SwapAttempts after;
  TrySwap(local, &after);
  EXPECT_EQ((std::vector<std::string>{"opened for writing", "renamed", "deleted"}), after.succeeded);
}

// Someone writing the package while the setup starts: it cannot be held, so
// it is not trusted.
TEST_F(HostileFileTest, PackageOpenForWritingIsNotTrusted) {
  std::wstring setup = CopySetup(L"tamaris", L"signed", kPackage);
  const std::wstring local = folder_.File(kPackage);
  HANDLE writer = CreateFileW(local.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  RunResult run = RunEnglish(setup);
  CloseHandle(writer);
  ExpectNotTrusted(run, local);
  EXPECT_TRUE(server::Log().empty());
}

// ------------------------------------------------------------------ windows that cannot be created

// A window the setup needs cannot be created, as where the system is out of
// resources. Nothing is installed and the exit code never says success or
// the user's cancel. The hook's count shows that the window was really
// refused (the same setups without it install: above, and the question in
// install_config_test).
struct RefusedWindow {
  const char* what;
  const wchar_t* windowClass;
  int letThrough;  // windows of the class created before the refusal
  const wchar_t* variant;
  DWORD exitCode;
};

const RefusedWindow kRefusedWindows[] = {
    {"the progress window", L"#32770", 0, L"tamaris", ERROR_INSTALL_FAILURE},
    // (After the progress window; the message boxes that follow are refused
    // as well.)
    {"the language dialog", L"#32770", 1, L"tamaris", ERROR_INSTALL_FAILURE},
    {"the question whether to install", L"#32770", 1, L"ask_first", ERROR_INSTALL_FAILURE},
};

TEST_F(HostileFileTest, SetupThatCannotCreateAWindowItNeedsFailsHonestly) {
  for (const RefusedWindow& refused : kRefusedWindows) {
    SCOPED_TRACE(refused.what);
    std::wstring setup = CopySetup(refused.variant);
    RunScript script;
    script.language = L"English";
    script.refuseWindows = refused.windowClass;
    script.refuseAfter = refused.letThrough;
    RunResult run = RunSetup(setup, script);
    ASSERT_TRUE(run.finished);
    EXPECT_GE(run.windowsRefused, 1) << "no window was refused: the run proves nothing";
    EXPECT_EQ(refused.exitCode, run.exitCode) << Describe(run);
    EXPECT_TRUE(InstalledSamples().empty());
    EXPECT_TRUE(server::Log().empty());
    UninstallSamples();
    server::Reset();
  }
}

}  // namespace
