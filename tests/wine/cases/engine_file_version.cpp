// Reading the version of a file, as the engine checks use it: files with a
// version resource, without any, and with hand-made resources whose
// fixed-version record is missing or too short.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "engine/binding.h"
#include "engine/version.h"
#include "support/driver.h"

using namespace pelorin_test;

namespace {

const DWORD kNoVersion = 0xFFFFFFFF;

std::wstring Material(const wchar_t* relative) {
  return BinPath(std::wstring(PELORIN_TEST_ENGINE_MATERIAL) + L"\\" + relative);
}

// The status the platform itself gives for the file's version information.
DWORD PlatformStatus(const std::wstring& path) {
  DWORD handle = 0;
  if (GetFileVersionInfoSizeW(path.c_str(), &handle) != 0) return 0;
  return GetLastError();
}

TEST(FileVersion, VersionResourceGivesFileVersionsHighPart) {
  std::wstring file = Material(L"versions\\version-7-21.dll");
  ASSERT_TRUE(FileExists(file));
  DWORD version = 0;
  EXPECT_EQ(0u, GetFileVersionMS(file.c_str(), &version));
  // File version 7.21.3.4; the product version 9.8 and the low half 3.4 are
  // not it.
  EXPECT_EQ(0x00070015u, version);
  EXPECT_EQ(721u, VersionNumber(version));
}

TEST(FileVersion, VersionMayBeLeftUnasked) {
  std::wstring file = Material(L"versions\\version-7-21.dll");
  EXPECT_EQ(0u, GetFileVersionMS(file.c_str(), nullptr));
  EXPECT_NE(0u, GetFileVersionMS(Material(L"versions\\version-none.dll").c_str(), nullptr));
}

// A file without version information, one that is no program, a missing
// file: each gives the platform's own error and no version.
TEST(FileVersion, FilesWithoutVersionGiveThePlatformsError) {
  TempFolder folder;
  ASSERT_TRUE(folder.ok());
  const std::wstring files[] = {Material(L"versions\\version-none.dll"),
                                folder.Write(L"notes.txt", "no program, no version\r\n"), folder.File(L"InstMSIW.exe")};
  ASSERT_TRUE(FileExists(files[0]) && FileExists(files[1]) && !FileExists(files[2]));
  for (const std::wstring& file : files) {
    DWORD expected = PlatformStatus(file);
    ASSERT_NE(0u, expected) << Printable(file) << " has version information after all";
    DWORD version = 0x00020000;
    EXPECT_EQ(expected, GetFileVersionMS(file.c_str(), &version)) << Printable(file);
    EXPECT_EQ(kNoVersion, version) << Printable(file);
  }
}

// Version information without a fixed-version record succeeds with no
// version: a number that counts as new enough wherever it is compared.
TEST(FileVersion, VersionResourceWithoutFixedRecordGivesNoVersion) {
  std::wstring file = Material(L"versions\\version-without-fixed.dll");
  ASSERT_TRUE(FileExists(file));
  ASSERT_EQ(0u, PlatformStatus(file)) << "the platform does not take the hand-made resource as version information";
  DWORD version = 0x00020000;
  EXPECT_EQ(0u, GetFileVersionMS(file.c_str(), &version));
  EXPECT_EQ(kNoVersion, version);
  EXPECT_EQ(6619035u, VersionNumber(version));
}

// A record of 4 bytes holds no version; the bytes after it, which read as
// version 7.21, are not taken for one.
TEST(FileVersion, FixedRecordTooShortGivesNoVersion) {
  std::wstring file = Material(L"versions\\version-short-fixed.dll");
  ASSERT_TRUE(FileExists(file));
  ASSERT_EQ(0u, PlatformStatus(file)) << "the platform does not take the hand-made resource as version information";
  // The platform hands out the short record, with version-like bytes after it.
  DWORD handle = 0;
  std::string block(GetFileVersionInfoSizeW(file.c_str(), &handle), '\0');
  ASSERT_TRUE(GetFileVersionInfoW(file.c_str(), 0, (DWORD)block.size(), &block[0]));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", (void**)&fixed, &length));
  ASSERT_EQ(4u, length);
  ASSERT_EQ(0x00070015u, fixed->dwFileVersionMS);

  DWORD version = 0x00020000;
  EXPECT_EQ(0u, GetFileVersionMS(file.c_str(), &version));
  EXPECT_EQ(kNoVersion, version);
}

}  // namespace
