#include "ui/message_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

std::wstring Format(const wchar_t* format, std::initializer_list<MessageInsert> inserts = {}) {
  std::vector<MessageInsert> list(inserts);
  WString out(L"left over from before");
  EXPECT_TRUE(FormatInserts(format, list.empty() ? nullptr : list.data(), list.size(), out));
  return out.c_str();
}

}  // namespace

TEST(TextInserts, SameInsertTwiceAndLineFeedKept) {
  EXPECT_EQ(Format(L"This installation requires package '%1'. Do you wish to install it now?\n"
                   L"If you already installed '%1', you can choose 'No'.",
                   {L"Tamaris"}),
            L"This installation requires package 'Tamaris'. Do you wish to install it now?\n"
            L"If you already installed 'Tamaris', you can choose 'No'.");
}

TEST(TextInserts, NonAsciiTextAroundAndInInsert) {
  EXPECT_EQ(Format(L"Prosimo, počakajte. Prenašanje datoteke '%1' ...", {L"č.msi"}),
            L"Prosimo, počakajte. Prenašanje datoteke 'č.msi' ...");
}

TEST(TextInserts, NumberInsertInTextFormPrintsDecimal) {
  EXPECT_EQ(Format(L"[%1]", {int32_t(-42)}), L"[-42]");
}

TEST(TextInserts, NullTextPrintsNothing) {
  EXPECT_EQ(Format(L"'%1'", {static_cast<const wchar_t*>(nullptr)}), L"''");
}

TEST(NumberInserts, SignedDecimal) {
  EXPECT_EQ(Format(L"Windows Installer returned '%1!d!'.", {uint32_t(1619)}),
            L"Windows Installer returned '1619'.");
  EXPECT_EQ(Format(L"%1!d!", {int32_t(0)}), L"0");
  EXPECT_EQ(Format(L"%1!d!", {int32_t(-7)}), L"-7");
  EXPECT_EQ(Format(L"%1!d!", {int32_t(INT_MAX)}), L"2147483647");
  EXPECT_EQ(Format(L"%1!d!", {int32_t(INT_MIN)}), L"-2147483648");
}

TEST(NumberInserts, UnsignedCodeAboveIntMaxPrintsNegative) {
  EXPECT_EQ(Format(L"%1!d!", {uint32_t(0x800B0004u)}), L"-2146762748");
}

TEST(NumberInserts, SecondInsert) {
  EXPECT_EQ(Format(L"'%1!d!' is an invalid MSI version. Be sure that it is numeric and is at least '%2!d!'.",
                   {int32_t(110), int32_t(200)}),
            L"'110' is an invalid MSI version. Be sure that it is numeric and is at least '200'.");
  EXPECT_EQ(Format(L"%2!d!/%1!d!", {int32_t(1), int32_t(-2)}), L"-2/1");
}

TEST(NumberInserts, TextInsertInNumberFormPrintsItsText) {
  EXPECT_EQ(Format(L"<%1!d!>", {L"abc"}), L"<abc>");
}

TEST(InsertNumbers, TwoDigitInsertNumbers) {
  std::vector<MessageInsert> ten;
  for (int32_t i = 1; i <= 10; ++i) ten.emplace_back(i * 11);
  WString out;
  ASSERT_TRUE(FormatInserts(L"%10|%1|%10!d!|%100", ten.data(), ten.size(), out));
  EXPECT_STREQ(out.c_str(), L"110|11|110|1100");
}

TEST(InsertNumbers, TwoDigitNumberIsNotInsertOneFollowedByADigit) {
  EXPECT_EQ(Format(L"%12", {L"x"}), L"%12");
}

TEST(OtherSequences, CopiedUnchanged) {
  EXPECT_EQ(Format(L"100%", {L"x"}), L"100%");
  EXPECT_EQ(Format(L"%x %0 %n %% %!", {L"x"}), L"%x %0 %n %% %!");
  EXPECT_EQ(Format(L"%%1", {L"x"}), L"%%1");
  EXPECT_EQ(Format(L"%%%1", {L"x"}), L"%%x");
}

TEST(OtherSequences, OtherPrintfFormAfterInsertStaysLiteral) {
  EXPECT_EQ(Format(L"%1!s! %1!d", {L"x"}), L"x!s! x!d");
}

TEST(MissingInserts, LeftAsWritten) {
  EXPECT_EQ(Format(L"'%1' and '%2'", {L"a"}), L"'a' and '%2'");
  EXPECT_EQ(Format(L"code %2!d!", {int32_t(5)}), L"code %2!d!");
  EXPECT_EQ(Format(L"The required data with code %1!d! is missing."),
            L"The required data with code %1!d! is missing.");
}

TEST(PlainTexts, CopiedWholeWithTrailingLineFeed) {
  const wchar_t* usage =
      L"Usage:\n   /? :  Show this dialog.\n   /a :  Prepare an administrative install.\n"
      L"   /a <full path to existing administrative install> :  Prepare/Patch administrative install in given folder.\n"
      L"   /v <full path to file> :  Verify signature on file.\n";
  EXPECT_EQ(Format(usage), usage);
  EXPECT_EQ(Format(L""), L"");
  EXPECT_EQ(Format(nullptr), L"");
}

TEST(InstallerReport, SilentCodes) {
  for (uint32_t code : {1602u, 1603u, 1604u, 1641u, 3010u, 1259u})
    EXPECT_EQ(InstallerCodeToReport(code), 0u) << code;
}

TEST(InstallerReport, PackageNotOpenedCodesBecome1619) {
  for (uint32_t code : {2u, 3u, 123u}) EXPECT_EQ(InstallerCodeToReport(code), 1619u) << code;
}

TEST(InstallerReport, OtherCodesReportThemselves) {
  for (uint32_t code : {1605u, 1619u, 1620u, 1638u, 4u, 0x80070005u})
    EXPECT_EQ(InstallerCodeToReport(code), code) << code;
}
