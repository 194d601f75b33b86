// A package beside the setup: used when it carries the configured version
// and its signature is trusted (checked without download); replaced by a
// download when it carries another version or a version too long to read;
// and, where the setup has no download address, reported with its local
// path. Packages that are not trusted: install_hostile_test.
#include <gtest/gtest.h>

#include "install_common.h"

using namespace install_test;
using namespace pelorin_test;

namespace {

const std::wstring kPackage = PackageName(L"En");

class LocalPackageTest : public ScenarioTest {
protected:
  // The setup `variant` in the folder, with the package of `kind` beside it
  // (none when `kind` is empty).
  std::wstring Prepare(const std::wstring& variant, const std::wstring& kind) {
    std::wstring setup = CopySetup(variant);
    if (!kind.empty()) EXPECT_FALSE(folder_.Copy(PackageFile(kind, kPackage)).empty());
    return setup;
  }

  static RunResult RunEnglish(const std::wstring& setup) {
    RunScript script;
    script.language = L"English";
    return RunSetup(setup, script);
  }

  static void ExpectInstalledOnly(const SamplePackage& package) {
    EXPECT_EQ(INSTALLSTATE_DEFAULT, ProductState(package.productCode));
    EXPECT_TRUE(FileExists(InstalledFile(package))) << Printable(InstalledFile(package));
    EXPECT_EQ(std::vector<std::wstring>{package.productCode}, InstalledSamples());
  }

};

TEST_F(LocalPackageTest, CurrentTrustedPackageIsCheckedAndInstalledWithoutDownload) {
  std::wstring setup = Prepare(L"tamaris", L"signed");
  RunResult run = RunEnglish(setup);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE(run.boxes.empty()) << Describe(run);
  EXPECT_TRUE(server::Log().empty()) << "the server was asked although a current package was there";
  // The product's line, then the check; no download line.
  EXPECT_TRUE(run.statusRecorded);
  std::vector<std::pair<int, std::wstring>> expected = {{103, Text16(L"Tamaris")}, {105, Text19(kPackage)}};
  EXPECT_EQ(expected, run.statusTexts);
  ExpectInstalledOnly(Sample(L"signed", kPackage));
}

TEST_F(LocalPackageTest, PackageOfAnotherVersionIsReplacedByDownload) {
  std::wstring setup = Prepare(L"tamaris", L"older");
  RunResult run = RunEnglish(setup);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE(run.boxes.empty()) << Describe(run);
  std::vector<ServedRequest> requests = server::Log();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(Printable(kPackage), requests[0].package);
  EXPECT_TRUE(run.StatusShown(105, Text19(kPackage)));
  // The downloaded 4.12, not the 4.11 beside the setup.
  ExpectInstalledOnly(Sample(L"signed", kPackage));
  EXPECT_NE(INSTALLSTATE_DEFAULT, ProductState(Sample(L"older", kPackage).productCode));
}

TEST_F(LocalPackageTest, PackageWithVersionTooLongToReadIsReplacedByDownload) {
  // The setup wants the 16-character version that this package carries, but
  // cannot read so long a version: the package counts as not current.
  std::wstring setup = Prepare(L"long_version", L"longversion");
  RunResult run = RunSetup(setup);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(0u, run.exitCode) << Describe(run);
  std::vector<ServedRequest> requests = server::Log();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(Printable(kPackage), requests[0].package);
  ExpectInstalledOnly(Sample(L"signed", kPackage));
  EXPECT_NE(INSTALLSTATE_DEFAULT, ProductState(Sample(L"longversion", kPackage).productCode));
}

TEST_F(LocalPackageTest, WithoutDownloadAddressCurrentPackageIsInstalled) {
  std::wstring setup = Prepare(L"no_download_url", L"signed");
  RunResult run = RunSetup(setup);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(0u, run.exitCode);
  EXPECT_TRUE(run.boxes.empty()) << Describe(run);
  EXPECT_FALSE(run.languageDialogShown);
  ExpectInstalledOnly(Sample(L"signed", kPackage));
}

void ExpectLocalPathMessage(const RunResult& run, const std::wstring& localPath) {
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(2u, run.exitCode);
  ASSERT_EQ(1u, run.boxes.size()) << Describe(run);
  EXPECT_EQ(Printable(Text13(localPath)), Printable(run.boxes[0].content.text));
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), run.boxes[0].content.icon);
  EXPECT_EQ(std::vector<int>{IDOK}, run.boxes[0].content.ButtonIds());
  EXPECT_TRUE(server::Log().empty());
  EXPECT_TRUE(InstalledSamples().empty());
}

TEST_F(LocalPackageTest, WithoutDownloadAddressPackageOfAnotherVersionIsNamed) {
  std::wstring setup = Prepare(L"no_download_url", L"older");
  RunResult run = RunSetup(setup);
  ExpectLocalPathMessage(run, folder_.File(kPackage));
}

TEST_F(LocalPackageTest, WithoutDownloadAddressMissingPackageIsNamed) {
  std::wstring setup = Prepare(L"no_download_url", L"");
  RunResult run = RunSetup(setup);
  ExpectLocalPathMessage(run, folder_.File(kPackage));
}

}  // namespace
