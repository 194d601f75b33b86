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

// Each row: the argument text, whether it parses, the folder ("<null>" for
// none) and the text afterwards ("" when it does not matter).
TEST(AdminTarget, FolderAfterTheSwitch) {
  const struct {
    const wchar_t* text;
    bool ok;
    const wchar_t* target;
    const wchar_t* args;
  } rows[] = {
      {L"", false, L"<null>", L""},
      {L" \t ", false, L"<null>", L""},  // blanks only
      {L"/a", true, L"<null>", L""},      // the switch alone
      {L"-A", true, L"<null>", L""},
      {L"  /a \t ", true, L"<null>", L""},
      // A quoted folder keeps its blank, without the quotes.
      {L"/a \"D:\\Admin Image\\Tamaris 4\"", true, L"D:\\Admin Image\\Tamaris 4", L"/a \"D:\\Admin Image\\Tamaris 4|"},
      // An unquoted one ends at a blank; a further word is ignored.
      {L"/a D:\\Admin more words", true, L"D:\\Admin", L"/a D:\\Admin|more words"},
      {L"-a \"D:\\x y\"z w", true, L"D:\\x y", L""},        // text after the closing quote is ignored
      {L"\t/a\t\tD:\\img\tx", true, L"D:\\img", L""},      // tabs separate
      {L"/a \"D:\\Admin Image", true, L"D:\\Admin Image", L""},  // no closing quote: to the end
      {L"/a \"", true, L"<null>", L"/a \""},                   // an opening quote at the end is no folder
      {L"/a \"\"", true, L"\"", L""},                          // empty quotes: the second quote is the folder
      {L"/a C:\\img\"PATCH=\"\\\\host\\x.msp", true, L"C:\\img\"PATCH=\"\\\\host\\x.msp", L""},
  };
  for (const auto& row : rows) {
    Parsed p = Parse(row.text);
    EXPECT_EQ(p.ok, row.ok) << row.text;
    EXPECT_EQ(p.target, row.target) << row.text;
    if (*row.args) { EXPECT_EQ(p.args, row.args) << row.text; }
  }
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
  for (const std::wstring& folder : {std::wstring(L"\\\\host\\share\\Admin Image"), longest})
    EXPECT_TRUE(AdminTargetAcceptable(folder.c_str())) << folder.size();
  for (const std::wstring& folder : {std::wstring(L"C:\\img\"PATCH=\"\\\\host\\x.msp"), std::wstring(L"\""), longest + L"d"})
    EXPECT_FALSE(AdminTargetAcceptable(folder.c_str())) << folder.size();
}
