// Where the setup lives: folders whose names are in Slovenian, Albanian,
// Chinese or hold an emoji, and folders so deep that a package's path no
// longer fits in MAX_PATH. The Windows Installer takes no longer path (it
// overflows inside the engine): such a package counts as not there.
#include <gtest/gtest.h>

#include "support/install_common.h"

using namespace install_test;
using namespace pelorin_test;

namespace {

class PathTest : public ScenarioTest {
protected:
  // A folder below the test's folder whose full path has `length` characters.
  std::wstring FolderOfLength(size_t length) {
    std::wstring base = folder_.path() + L"\\";
    if (length <= base.size()) {
      ADD_FAILURE() << "the test folder is already longer than " << length;
      return L"";
    }
    std::wstring path = base + std::wstring(length - base.size(), L'd');
    EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError();
    return path;
  }
  // The setup `variant` and the signed package in `folder`; the setup's path.
  static std::wstring PlaceIn(const std::wstring& folder, const std::wstring& variant) {
    std::wstring setup = folder + L"\\Pelorin.exe";
    EXPECT_TRUE(CopyFileW(SetupVariant(variant).c_str(), setup.c_str(), FALSE)) << Printable(setup);
    EXPECT_TRUE(CopyFileW(PackageFile(L"signed", kPackage).c_str(), (folder + L"\\" + kPackage).c_str(), FALSE));
    return setup;
  }
};

// ------------------------------------------------------------------ MAX_PATH

// The package's path has MAX_PATH - 1 characters: the longest that is used.
TEST_F(PathTest, PackageWhosePathJustFitsIsUsed) {
  std::wstring folder = FolderOfLength(MAX_PATH - 1 - 1 - kPackage.size());
  ASSERT_EQ((size_t)MAX_PATH - 1, (folder + L"\\" + kPackage).size());
  RunResult run = RunSetup(PlaceIn(folder, L"no_download_url"));
  ExpectInstalledOnly(run, Sample(L"signed", kPackage));
  EXPECT_TRUE(server::Log().empty());
}

// One character more: not there. Without a download address the setup names
// it.
TEST_F(PathTest, PackageWhosePathIsLongerThanMaxPathIsNotUsed) {
  std::wstring folder = FolderOfLength(MAX_PATH - 1 - kPackage.size());
  std::wstring package = folder + L"\\" + kPackage;
  ASSERT_EQ((size_t)MAX_PATH, package.size());
  RunResult run = RunSetup(PlaceIn(folder, L"no_download_url"));
  // (Its icon is not read: a path without blanks does not wrap, and the box,
  // wider than the screen, shows its icon off the screen.)
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(2u, run.exitCode);
  ASSERT_EQ(1u, run.boxes.size()) << Describe(run);
  EXPECT_EQ(Printable(Expected(MSG_PACKAGE_NOT_FOUND, {package})), Printable(run.boxes[0].content.text));
  EXPECT_TRUE(InstalledSamples().empty());
  // (With a download address it downloads the package: see long_folder.sh.)
}

// The folder of an administrative installation: one the engine takes gets
// the image; one of MAX_PATH characters, or with a double quote, is refused
// before anything is downloaded, and never reaches the engine.
TEST_F(PathTest, AdministrativeFolderThatTheEngineCannotTakeIsRefused) {
  std::wstring setup = PlaceIn(folder_.path(), L"tamaris");
  RunScript script;
  script.language = L"English";
  std::wstring image = folder_.path() + L"\\image";
  ASSERT_TRUE(CreateDirectoryW(image.c_str(), nullptr));
  RunResult run = RunSetup(setup, script, L"/a " + Quote(image));
  ASSERT_TRUE(run.finished);
  // Wine's engine makes no administrative image (1626), but it was asked.
  bool imageMade = run.exitCode == 0 && FileExists(image + L"\\" + kPackage);
  bool engineAnswered = run.boxes.size() == 1 && run.boxes[0].content.text.find(L"Windows Installer returned") !=
                                                     std::wstring::npos;
  EXPECT_TRUE(imageMade || engineAnswered) << Describe(run);

  std::wstring deep = folder_.path() + L"\\";
  deep += std::wstring(MAX_PATH - deep.size(), L'd');
  // The argument and the folder read from it. An unquoted folder may hold a
  // double quote, which would end TARGETDIR's value and add a property.
  const std::pair<std::wstring, std::wstring> refused[] = {
      {Quote(deep), deep}, {L"C:\\img\"PATCH=\"\\\\host\\x.msp", L"C:\\img\"PATCH=\"\\\\host\\x.msp"}};
  for (const auto& [argument, folder] : refused) {
    run = RunSetup(setup, script, L"/a " + argument);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ((DWORD)ERROR_INSTALL_FAILURE, run.exitCode);
    ASSERT_EQ(1u, run.boxes.size()) << Describe(run);
    EXPECT_EQ(Printable(L"The path '" + folder + L"' is invalid."), Printable(run.boxes[0].content.text));
  }
  EXPECT_TRUE(server::Log().empty());
}

// ------------------------------------------------------------------ names

TEST_F(PathTest, FoldersNamedInOtherScriptsHoldAWorkingSetup) {
  const wchar_t* const names[] = {L"Namestitev \u010D\u0161\u017E", L"Instalimi \u00EB\u00E7",
                                  L"\u5B89\u88C5\u7A0B\u5E8F", L"Setup \U0001F680"};
  for (const wchar_t* name : names) {
    SCOPED_TRACE(Printable(name));
    std::wstring folder = folder_.path() + L"\\" + name;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
    std::wstring setup = PlaceIn(folder, L"no_download_url");
    ExpectInstalledOnly(RunSetup(setup), Sample(L"signed", kPackage));
    EXPECT_TRUE(UninstallSamples());
    // "/v" on the package there: trusted, nothing shown.
    RunResult verify = RunSetup(setup, RunScript(), L"/v " + Quote(folder + L"\\" + kPackage));
    ASSERT_TRUE(verify.finished);
    EXPECT_EQ(0u, verify.exitCode);
    EXPECT_TRUE(verify.boxes.empty()) << Describe(verify);
  }
  EXPECT_TRUE(server::Log().empty());
}

}  // namespace
