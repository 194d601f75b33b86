// Setups built from other product records: a product that asks first, a
// first language entry with LANGID 0, an operation keyword that does not
// exist, a single language, a product offered only as a patch, and the
// operation that updates an installed product.
#include <gtest/gtest.h>

#include <msiquery.h>

#include "support/install_common.h"

using namespace install_test;
using namespace pelorin_test;

namespace {

class ConfigurationTest : public ScenarioTest {
protected:
  std::wstring Prepare(const std::wstring& variant) { return CopySetup(variant); }

  static std::vector<std::string> RequestedPackages() {
    std::vector<std::string> names;
    for (const ServedRequest& request : server::Log()) names.push_back(request.package);
    return names;
  }

};

// No skips the first product before anything; Yes installs both.
TEST_F(ConfigurationTest, AskFirstAnsweredNoSkipsToTheNextProductAndYesInstallsBoth) {
  for (int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer == IDNO ? "No" : "Yes");
    ASSERT_TRUE(UninstallSamples() && server::Reset() && server::Set("root=signed"));
    RunScript script;
    script.questionAnswer = answer;
    RunResult run = RunSetup(Prepare(L"ask_first"), script);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_EQ(1u, run.boxes.size()) << Describe(run);
    EXPECT_EQ(Printable(Expected(MSG_ASK_INSTALL, {L"Tamaris SL"})), Printable(run.boxes[0].content.text));
    EXPECT_EQ(static_cast<UINT>(MB_ICONQUESTION), run.boxes[0].content.icon);
    EXPECT_EQ(std::vector<int>({IDYES, IDNO}), run.boxes[0].content.ButtonIds());
    EXPECT_FALSE(run.languageDialogShown);
    std::vector<std::string> requested = {Printable(PackageName(L"Sl")), Printable(PackageName(L"En"))};
    if (answer == IDNO) requested.erase(requested.begin());
    EXPECT_EQ(requested, RequestedPackages());
    EXPECT_EQ(answer == IDYES, run.StatusShown(103, Expected(MSG_PLEASE_WAIT, {L"Tamaris SL"})));
    EXPECT_TRUE(run.StatusShown(103, Expected(MSG_PLEASE_WAIT, {L"Tamaris EN"})));
    EXPECT_EQ(answer == IDYES, ProductState(Sample(L"signed", PackageName(L"Sl")).productCode) == INSTALLSTATE_DEFAULT);
    EXPECT_EQ(INSTALLSTATE_DEFAULT, ProductState(Sample(L"signed", PackageName(L"En")).productCode));
    EXPECT_EQ(answer == IDYES ? 2u : 1u, InstalledSamples().size());
  }
}

TEST_F(ConfigurationTest, FirstLanguageEntryWithLangIdZeroEndsWith160AndNoMessage) {
  RunResult run = RunSetup(Prepare(L"lang_zero"));
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(160u, run.exitCode);
  EXPECT_TRUE(run.boxes.empty()) << Describe(run);
  EXPECT_FALSE(run.languageDialogShown);
  // Neither the operation (not even valid here) nor the download was looked at.
  EXPECT_TRUE(server::Log().empty());
  EXPECT_TRUE(InstalledSamples().empty());
}

TEST_F(ConfigurationTest, BadOperationKeywordIsRefusedBeforeAnyDownload) {
  RunResult run = RunSetup(Prepare(L"bad_operation"));
  ExpectErrorAndNothingInstalled(run, 87, Expected(MSG_BAD_OPERATION, {L"UPGRADE"}));
  EXPECT_TRUE(server::Log().empty()) << "the server was asked before the keyword was checked";
  EXPECT_FALSE(run.StatusShown(105, Expected(MSG_DOWNLOADING_PACKAGE, {kPackage})));
}

TEST_F(ConfigurationTest, SingleLanguageInstallsWithoutAsking) {
  RunResult run = RunSetup(Prepare(L"one_language"));
  ExpectInstalledOnly(run, Sample(L"signed", kPackage));
  EXPECT_FALSE(run.languageDialogShown);
  EXPECT_EQ(std::vector<std::string>{Printable(kPackage)}, RequestedPackages());
}

// What this system's engine answers when the sample patch is applied the
// way the setup applies it: the sample "patch" is a package under a patch
// name (no patch can be built here), so the engine refuses it.
UINT EngineAnswerToSamplePatch() {
  MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
  return MsiApplyPatchW(PackageFile(L"signed", PackageName(L"En", L"msp")).c_str(), nullptr, INSTALLTYPE_DEFAULT,
                        L"REINSTALL=ALL REINSTALLMODE=omus");
}

TEST_F(ConfigurationTest, PatchOnlyProductGetsThePatchForItsProcessor) {
  if (PackageName(L"En") != L"Tamaris.x64.En.msi") GTEST_SKIP() << "the setup offers its patch to x64 systems";
  RunResult run = RunSetup(Prepare(L"patch_only"));
  ASSERT_TRUE(run.finished);
  // The x64 patch was fetched (the Win32 package and patch were not) and
  // passed the signature check ...
  EXPECT_EQ(std::vector<std::string>{Printable(PackageName(L"En", L"msp"))}, RequestedPackages());
  EXPECT_TRUE(run.StatusShown(105, Expected(MSG_DOWNLOADING_PACKAGE, {PackageName(L"En", L"msp")})));
  EXPECT_TRUE(run.StatusShown(105, Expected(MSG_VERIFYING_SIGNATURE, {PackageName(L"En", L"msp")})));
  // ... and handed to the engine as a patch, whose answer is the result.
  UINT engine = EngineAnswerToSamplePatch();
  ASSERT_NE(0u, engine);
  EXPECT_EQ(engine, run.exitCode) << Describe(run);
  for (const ShownBox& box : run.boxes) {
    EXPECT_EQ(L"", InsertOf(MSG_PACKAGE_NOT_FOUND, box.content.text)) << Describe(run);
    EXPECT_EQ(std::wstring::npos, box.content.text.find(L"is not trusted")) << Describe(run);
  }
  EXPECT_TRUE(InstalledSamples().empty());
}

TEST_F(ConfigurationTest, UpdateOperationInstallsAndThenReinstalls) {
  std::wstring setup = Prepare(L"installupd");
  const SamplePackage& english = Sample(L"signed", PackageName(L"En"));
  // Not installed yet: installed as new.
  RunResult first = RunSetup(setup);
  ASSERT_TRUE(first.finished);
  EXPECT_EQ(0u, first.exitCode) << Describe(first);
  EXPECT_EQ(INSTALLSTATE_DEFAULT, ProductState(english.productCode));
  // Installed: the engine reinstalls over it, and the product stays.
  ASSERT_TRUE(DeleteFileW(InstalledFile(english).c_str()));
  RunResult second = RunSetup(setup);
  ASSERT_TRUE(second.finished);
  EXPECT_EQ(0u, second.exitCode) << Describe(second);
  EXPECT_TRUE(second.boxes.empty()) << Describe(second);
  EXPECT_EQ(INSTALLSTATE_DEFAULT, ProductState(english.productCode));
  EXPECT_TRUE(FileExists(InstalledFile(english))) << "the reinstallation did not restore the product's file";
  EXPECT_EQ(2u, server::Log().size());
}

}  // namespace
