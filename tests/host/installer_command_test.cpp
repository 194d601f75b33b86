#include "install/installer_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Composed {
  std::wstring text;
  bool isNull;
};

Composed Compose(bool isPatch, bool updateMode, bool admin, const wchar_t* configured,
                 const wchar_t* target) {
  InstallerCommand command{isPatch, updateMode, admin, configured, target};
  WString out(L"left over from before");
  bool isNull = true;
  EXPECT_TRUE(ComposeInstallerCommand(command, out, &isNull));
  return {out.c_str(), isNull};
}

const bool kPackage = false, kPatch = true;
const bool kNew = false, kUpdate = true;
const bool kNormal = false, kAdmin = true;

}  // namespace

TEST(PackageCommandLine, NewInstallIsEmpty) {
  Composed c = Compose(kPackage, kNew, kNormal, nullptr, nullptr);
  EXPECT_FALSE(c.isNull);
  EXPECT_EQ(c.text, L"");
}

TEST(PackageCommandLine, ConfirmedUpdateReinstallsEverything) {
  EXPECT_EQ(Compose(kPackage, kUpdate, kNormal, nullptr, nullptr).text,
            L"REINSTALL=ALL REINSTALLMODE=vomus");
}

TEST(PackageCommandLine, AdminWithoutFolderHasLeadingBlankAndNoTargetDir) {
  EXPECT_EQ(Compose(kPackage, kNew, kAdmin, nullptr, nullptr).text, L" ACTION=ADMIN");
}

TEST(PackageCommandLine, AdminWithFolderQuotesIt) {
  EXPECT_EQ(Compose(kPackage, kNew, kAdmin, nullptr, L"D:\\Admin Image").text,
            L" ACTION=ADMIN TARGETDIR=\"D:\\Admin Image\"");
}

TEST(PackageCommandLine, FolderWithoutAdminModeIsNotUsed) {
  EXPECT_EQ(Compose(kPackage, kNew, kNormal, nullptr, L"D:\\x").text, L"");
}

TEST(PackageCommandLine, ConfiguredTextReplacesUpdateText) {
  EXPECT_EQ(Compose(kPackage, kUpdate, kNormal, L"ADDLOCAL=ALL", nullptr).text, L"ADDLOCAL=ALL");
  EXPECT_EQ(Compose(kPackage, kNew, kNormal, L"ADDLOCAL=ALL", nullptr).text, L"ADDLOCAL=ALL");
}

TEST(PackageCommandLine, AdminPartsFollowConfiguredOrUpdateText) {
  EXPECT_EQ(Compose(kPackage, kNew, kAdmin, L"X=1", L"D:\\a").text,
            L"X=1 ACTION=ADMIN TARGETDIR=\"D:\\a\"");
  EXPECT_EQ(Compose(kPackage, kUpdate, kAdmin, nullptr, nullptr).text,
            L"REINSTALL=ALL REINSTALLMODE=vomus ACTION=ADMIN");
}

TEST(PatchCommandLine, UpdateModeReinstallsWithoutV) {
  Composed c = Compose(kPatch, kUpdate, kNormal, nullptr, nullptr);
  EXPECT_FALSE(c.isNull);
  EXPECT_EQ(c.text, L"REINSTALL=ALL REINSTALLMODE=omus");
}

TEST(PatchCommandLine, WithoutUpdateModeThereIsNoCommandLineAtAll) {
  Composed c = Compose(kPatch, kNew, kNormal, nullptr, nullptr);
  EXPECT_TRUE(c.isNull);
  EXPECT_EQ(c.text, L"");
}

TEST(PatchCommandLine, ConfiguredTextWinsAndEmptyConfiguredTextIsNotNull) {
  EXPECT_EQ(Compose(kPatch, kUpdate, kNormal, L"P=1", nullptr).text, L"P=1");
  Composed c = Compose(kPatch, kNew, kNormal, L"", nullptr);
  EXPECT_FALSE(c.isNull);
  EXPECT_EQ(c.text, L"");
}

TEST(PatchCommandLine, AdminModeAddsNothing) {
  EXPECT_EQ(Compose(kPatch, kUpdate, kAdmin, nullptr, L"D:\\img").text,
            L"REINSTALL=ALL REINSTALLMODE=omus");
  EXPECT_TRUE(Compose(kPatch, kNew, kAdmin, nullptr, L"D:\\img").isNull);
  EXPECT_EQ(Compose(kPatch, kNew, kAdmin, L"P=1", nullptr).text, L"P=1");
}

TEST(InstallerCommandTexts, LengthsOfTheFixedTexts) {
  EXPECT_EQ(wcslen(REINSTALL_PACKAGE_PROPERTIES), 33u);
  EXPECT_EQ(wcslen(REINSTALL_PATCH_PROPERTIES), 32u);
}
