#include "install/admin_target.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Parsed {
  bool ok;
  std::wstring target;  // "<null>" when no folder
  std::wstring args;    // the buffer afterwards, NULs shown as '|'
};

Parsed Parse(const std::wstring& text) {
  std::wstring args = text;
  wchar_t* target = reinterpret_cast<wchar_t*>(1);
  Parsed p;
  p.ok = ParseAdminTarget(&args[0], &target);
  p.target = target ? std::wstring(target) : L"<null>";
  for (wchar_t c : args) p.args += c ? c : L'|';
  return p;
}

}  // namespace

TEST(AdminTarget, AbsentTextFails) {
  wchar_t* target = reinterpret_cast<wchar_t*>(1);
  EXPECT_FALSE(ParseAdminTarget(nullptr, &target));
  EXPECT_EQ(target, nullptr);
}

TEST(AdminTarget, EmptyOrBlankTextFails) {
  EXPECT_FALSE(Parse(L"").ok);
  EXPECT_FALSE(Parse(L" \t ").ok);
}

TEST(AdminTarget, SwitchAloneHasNoFolder) {
  for (const wchar_t* text : {L"/a", L"-A", L"  /a \t "}) {
    Parsed p = Parse(text);
    EXPECT_TRUE(p.ok) << text;
    EXPECT_EQ(p.target, L"<null>") << text;
  }
}

TEST(AdminTarget, QuotedFolderKeepsBlankWithoutQuotes) {
  Parsed p = Parse(L"/a \"D:\\Admin Image\\Tamaris 4\"");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.target, L"D:\\Admin Image\\Tamaris 4");
  EXPECT_EQ(p.args, L"/a \"D:\\Admin Image\\Tamaris 4|");
}

TEST(AdminTarget, UnquotedFolderEndsAtBlankAndFurtherWordIsIgnored) {
  Parsed p = Parse(L"/a D:\\Admin more words");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.target, L"D:\\Admin");
  EXPECT_EQ(p.args, L"/a D:\\Admin|more words");
}

TEST(AdminTarget, TextAfterClosingQuoteIsIgnored) {
  Parsed p = Parse(L"-a \"D:\\x y\"z w");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.target, L"D:\\x y");
}

TEST(AdminTarget, TabsSeparateSwitchAndFolder) {
  Parsed p = Parse(L"\t/a\t\tD:\\img\tx");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.target, L"D:\\img");
}

TEST(AdminTarget, MissingClosingQuoteRunsToEnd) {
  Parsed p = Parse(L"/a \"D:\\Admin Image");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.target, L"D:\\Admin Image");
}

TEST(AdminTarget, OpeningQuoteAtEndIsNoFolder) {
  Parsed p = Parse(L"/a \"");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.target, L"<null>");
  EXPECT_EQ(p.args, L"/a \"");
}

TEST(AdminTarget, EmptyQuotesGiveAFolderMadeOfTheSecondQuote) {
  Parsed p = Parse(L"/a \"\"");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.target, L"\"");
}

TEST(AdminTarget, ParsingTheCutTextAgainGivesTheSameFolder) {
  std::wstring args = L"/a D:\\Admin extra";
  wchar_t* first = nullptr;
  wchar_t* second = nullptr;
  ASSERT_TRUE(ParseAdminTarget(&args[0], &first));
  ASSERT_TRUE(ParseAdminTarget(&args[0], &second));
  EXPECT_EQ(first, second);
  EXPECT_STREQ(second, L"D:\\Admin");
}

// What the engine may be given: a double quote anywhere would end TARGETDIR's
// value and let the rest add properties; 260 characters overflow the engine.
TEST(AdminTarget, FolderWithADoubleQuoteOrOfMaxPathCharactersIsNotAcceptable) {
  const std::wstring longest(259, L'd');
  for (const std::wstring& folder : {std::wstring(L"C:\\img"), std::wstring(L"\\\\host\\share\\Admin Image"), longest})
    EXPECT_TRUE(AdminTargetAcceptable(folder.c_str())) << folder.size();
  for (const std::wstring& folder : {Parse(L"/a C:\\img\"PATCH=\"\\\\host\\x.msp").target, Parse(L"/a \"\"").target,
                                     std::wstring(L"\"C:\\img"), longest + L"d"})
    EXPECT_FALSE(AdminTargetAcceptable(folder.c_str())) << folder.size();
  EXPECT_EQ(Parse(L"/a C:\\img\"PATCH=\"\\\\host\\x.msp").target, L"C:\\img\"PATCH=\"\\\\host\\x.msp");
}
