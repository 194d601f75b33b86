// A package beside the setup: used when its signature is trusted and it
// carries the configured version (checked first: the engine does not read a
// file that nobody vouched for); replaced by a download when it carries
// another version or a version too long to read;
// and, where the setup has no download address, reported with its local
// path. Packages that are not trusted: install_hostile_test.
#include <gtest/gtest.h>

#include "support/install_common.h"

using namespace install_test;
using namespace pelorin_test;

namespace {

class LocalPackageTest : public ScenarioTest {};

TEST_F(LocalPackageTest, CurrentTrustedPackageIsCheckedAndInstalledWithoutDownload) {
  std::wstring setup = CopySetup(L"tamaris", L"signed", kPackage);
  RunResult run = RunEnglish(setup);
  ExpectInstalledOnly(run, Sample(L"signed", kPackage));
  EXPECT_TRUE(server::Log().empty()) << "the server was asked although a current package was there";
  // The product's line, then the check; no download line.
  EXPECT_TRUE(run.statusRecorded);
  std::vector<std::pair<int, std::wstring>> expected = {{103, Expected(MSG_PLEASE_WAIT, {L"Tamaris"})}, {105, Expected(MSG_VERIFYING_SIGNATURE, {kPackage})}};
  EXPECT_EQ(expected, run.statusTexts);
}

TEST_F(LocalPackageTest, PackageOfAnotherVersionIsReplacedByDownload) {
  std::wstring setup = CopySetup(L"tamaris", L"older", kPackage);
  RunResult run = RunEnglish(setup);
  // The downloaded 4.12, not the 4.11 beside the setup.
  ExpectInstalledOnly(run, Sample(L"signed", kPackage));
  std::vector<ServedRequest> requests = server::Log();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(Printable(kPackage), requests[0].package);
  // Checked before its version was read, then set aside for the download,
  // which is checked in turn.
  std::vector<std::pair<int, std::wstring>> expected = {
      {103, Expected(MSG_PLEASE_WAIT, {L"Tamaris"})}, {105, Expected(MSG_VERIFYING_SIGNATURE, {kPackage})}, {105, Expected(MSG_DOWNLOADING_PACKAGE, {kPackage})}, {105, Expected(MSG_VERIFYING_SIGNATURE, {kPackage})}};
  EXPECT_EQ(expected, run.statusTexts);
  EXPECT_NE(INSTALLSTATE_DEFAULT, ProductState(Sample(L"older", kPackage).productCode));
}

TEST_F(LocalPackageTest, PackageWithVersionTooLongToReadIsReplacedByDownload) {
  // The setup wants the 16-character version that this package carries, but
  // cannot read so long a version: the package counts as not current.
  std::wstring setup = CopySetup(L"long_version", L"longversion", kPackage);
  RunResult run = RunSetup(setup);
  ExpectInstalledOnly(run, Sample(L"signed", kPackage));
  std::vector<ServedRequest> requests = server::Log();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(Printable(kPackage), requests[0].package);
  EXPECT_NE(INSTALLSTATE_DEFAULT, ProductState(Sample(L"longversion", kPackage).productCode));
}

TEST_F(LocalPackageTest, WithoutDownloadAddressCurrentPackageIsInstalled) {
  std::wstring setup = CopySetup(L"no_download_url", L"signed", kPackage);
  RunResult run = RunSetup(setup);
  ExpectInstalledOnly(run, Sample(L"signed", kPackage));
  EXPECT_FALSE(run.languageDialogShown);
}

void ExpectLocalPathMessage(const RunResult& run, const std::wstring& localPath) {
  ExpectErrorAndNothingInstalled(run, 2, Expected(MSG_PACKAGE_NOT_FOUND, {localPath}));
  EXPECT_TRUE(server::Log().empty());
}

// A package of another version beside it, or none: the local path is named.
TEST_F(LocalPackageTest, WithoutDownloadAddressPackageOfAnotherVersionOrNoneIsNamed) {
  ExpectLocalPathMessage(RunSetup(CopySetup(L"no_download_url", L"older", kPackage)), folder_.File(kPackage));
  DeleteFileW(folder_.File(kPackage).c_str());
  ExpectLocalPathMessage(RunSetup(CopySetup(L"no_download_url")), folder_.File(kPackage));
}

}  // namespace
