// The language dialog of the shipped configuration (Slovenian and English):
// it lists both languages sorted by name, opens on the user's language, and
// the choice decides which package is downloaded and installed.
#include <gtest/gtest.h>

#include "support/install_common.h"

using namespace install_test;
using namespace pelorin_test;

namespace {

class LanguageChoiceTest : public ScenarioTest {
protected:
  void ExpectChoiceInstalled(const std::wstring& language, const std::wstring& package) {
    RunScript script;
    script.language = language;
    RunResult run = RunSetup(setup_, script);
    ASSERT_TRUE(run.finished);
    EXPECT_TRUE(run.languageDialogShown);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.boxes.empty()) << Describe(run);
    std::vector<ServedRequest> requests = server::Log();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(Printable(package), requests[0].package);
    EXPECT_TRUE(run.StatusShown(105, Expected(MSG_DOWNLOADING_PACKAGE, {package})));
    const SamplePackage& chosen = Sample(L"signed", package);
    EXPECT_EQ(INSTALLSTATE_DEFAULT, ProductState(chosen.productCode));
    EXPECT_TRUE(FileExists(InstalledFile(chosen))) << Printable(InstalledFile(chosen));
    EXPECT_EQ(std::vector<std::wstring>{chosen.productCode}, InstalledSamples());
  }
};

TEST_F(LanguageChoiceTest, DialogListsBothLanguagesAndOpensOnTheUsersLanguage) {
  ASSERT_EQ(0x0409, UiLanguage()) << "this test runs in an English locale";
  RunScript script;
  script.cancelLanguage = true;
  RunResult run = RunSetup(setup_, script);
  ASSERT_TRUE(run.finished);
  ASSERT_TRUE(run.languageDialogShown);
  EXPECT_EQ(L"Choose setup language", run.languageCaption);
  std::vector<std::wstring> expected = {L"English", L"Sloven\u0161\u010Dina"};
  EXPECT_EQ(expected, run.languageItems);
  EXPECT_EQ(L"English", run.languageSelectedAtOpen);
}

TEST_F(LanguageChoiceTest, EnglishInstallsTheEnglishPackage) {
  ExpectChoiceInstalled(L"English", PackageName(L"En"));
}

TEST_F(LanguageChoiceTest, SlovenianInstallsTheSlovenianPackage) {
  ExpectChoiceInstalled(L"Sloven\u0161\u010Dina", PackageName(L"Sl"));
}

}  // namespace
