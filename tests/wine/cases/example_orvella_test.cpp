// The vendor's worked example (examples/orvella/): Orvella 1.0 in one
// language, for x64 only, with one patch, from a setup signed with the same
// certificate as its packages. One run shows what its records promise: no
// language dialog, the x64 package downloaded and installed, the patch
// fetched, checked and accepted by the engine after it, and nothing to
// answer.
#include <gtest/gtest.h>

#include <wininet.h>

#include "support/install_common.h"

using namespace install_test;
using namespace pelorin_test;

namespace {

const wchar_t kOrvellaCode[] = L"{5C0F2A61-3B7E-4D90-8E21-0A1E2B3C4D01}";
const wchar_t kOrvellaPackage[] = L"Orvella.1.0.x64.msi";
const wchar_t kPatch[] = L"Orvella.1.0.1.x64.msp";

bool OrvellaInstalled() { return ProductState(kOrvellaCode) == INSTALLSTATE_DEFAULT; }

bool RemoveOrvella() {
  MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
  if (OrvellaInstalled()) MsiConfigureProductW(kOrvellaCode, INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
  return ProductState(kOrvellaCode) != INSTALLSTATE_DEFAULT;
}

std::wstring InstalledOrvellaFile() {
  wchar_t programFiles[MAX_PATH] = L"";
  GetEnvironmentVariableW(L"ProgramW6432", programFiles, MAX_PATH);
  return std::wstring(programFiles) + L"\\Orvella\\orvella.txt";
}

class OrvellaExampleTest : public ScenarioTest {
protected:
  void SetUp() override {
    ScenarioTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(RemoveOrvella());
  }
  // Other tests find the system as they expect it.
  void TearDown() override {
    EXPECT_TRUE(RemoveOrvella());
    ScenarioTest::TearDown();
  }
};

TEST_F(OrvellaExampleTest, InstallsTheX64PackageWithoutLanguageDialogThenHandsOverThePatch) {
  if (PackageName(L"En") != L"Tamaris.x64.En.msi") GTEST_SKIP() << "Orvella is offered to x64 systems only";
  std::wstring setup = folder_.Copy(BinPath(L"tests\\wine\\example\\OrvellaSetup.exe"), L"OrvellaSetup.exe");
  ASSERT_FALSE(setup.empty());
  RunResult run = RunSetup(setup);
  ASSERT_TRUE(run.finished);

  // One language: nothing to choose.
  EXPECT_FALSE(run.languageDialogShown);
  // The x64 package, then the patch, each from the static folder and each
  // downloaded in full.
  std::vector<ServedRequest> log = server::Log();
  ASSERT_EQ(2u, log.size());
  EXPECT_EQ("/files/orvella/Orvella.1.0.x64.msi", log[0].path);
  EXPECT_EQ("/files/orvella/Orvella.1.0.1.x64.msp", log[1].path);
  for (const ServedRequest& request : log) {
    EXPECT_EQ(200, request.status) << request.path;
    EXPECT_EQ("complete", request.end) << request.path;
  }
  // Installed, as the user's system shows it.
  EXPECT_TRUE(OrvellaInstalled());
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(InstalledOrvellaFile().c_str()))
      << Printable(InstalledOrvellaFile());
  // Both files passed the signature check without a word to the user.
  for (const ShownBox& box : run.boxes) {
    EXPECT_EQ(std::wstring::npos, box.content.text.find(L"is not trusted")) << Describe(run);
    EXPECT_EQ(L"", InsertOf(MSG_PACKAGE_NOT_FOUND, box.content.text)) << Describe(run);
  }
  // The engine accepted the (empty) patch too: the whole run succeeded.
  EXPECT_EQ(0u, run.exitCode) << Describe(run);
  EXPECT_TRUE(run.boxes.empty()) << Describe(run);
}

// The patch is a second product: its download shows the window again, whose
// Cancel stops it (the package is installed by then).
TEST_F(OrvellaExampleTest, ThePatchsDownloadShowsTheWindowAndHonoursCancel) {
  if (PackageName(L"En") != L"Tamaris.x64.En.msi") GTEST_SKIP() << "Orvella is offered to x64 systems only";
  std::wstring setup = folder_.Copy(BinPath(L"tests\\wine\\example\\OrvellaSetup.exe"), L"OrvellaSetup.exe");
  bool slowed = false, pressed = false;
  RunScript script;
  script.whileRunning = [&](HWND progress) {
    // The package whole, the patch slowly: 256 bytes every 0.1 s.
    if (!slowed && !server::Log().empty()) slowed = server::Set("mode=slow&chunk=256&delay=0.1");
    if (pressed || !progress || !IsWindowVisible(progress)) return;
    if (ControlText(progress, 105) != Expected(MSG_DOWNLOADING_PACKAGE, {kPatch})) return;
    pressed = ClickButton(progress, IDCANCEL);
  };
  RunResult run = RunSetup(setup, script);
  ASSERT_TRUE(run.finished);
  EXPECT_TRUE(slowed);
  EXPECT_TRUE(pressed) << "the patch's download was never shown";
  EXPECT_EQ(1602u, run.exitCode) << Describe(run);
  ASSERT_EQ(1u, run.boxes.size()) << Describe(run);
  EXPECT_EQ(Expected(MSG_CANCELLED), run.boxes[0].content.text);
  EXPECT_TRUE(run.boxes[0].progressVisible);
  std::vector<ServedRequest> log;
  for (int i = 0; i < 40 && log.size() < 2; ++i, Sleep(250)) log = server::Log();
  ASSERT_EQ(2u, log.size());
  EXPECT_EQ("complete", log[0].end);
  EXPECT_EQ("aborted", log[1].end);
  EXPECT_TRUE(OrvellaInstalled());
}

}  // namespace
