#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Text(const ArgumentToken& token) { return std::wstring(token.first, token.last + 1); }

// The first token of `args` as text, or "<none>".
struct FirstToken {
  std::wstring text;
  bool quoted = false;
  wchar_t ender = L'?';  // the character that ended the token
};

FirstToken ReadFirst(std::wstring args) {
  FirstToken result;
  ArgumentToken token;
  if (!NextArgument(&args[0], &token)) {
    result.text = L"<none>";
    return result;
  }
  result.text = Text(token);
  result.quoted = token.quoted;
  result.ender = token.last[1];
  return result;
}

}  // namespace

// --- Argument tokens -------------------------------------------------------

// Each row: the text, its first token ("<none>"), whether it is quoted, and
// the character that ended it, which is not passed over.
TEST(ArgumentTokens, FirstToken) {
  const struct {
    const wchar_t* args;
    const wchar_t* text;
    bool quoted;
    wchar_t ender;
  } rows[] = {
      {L"/v file.exe", L"/v", false, L' '},        // a plain word ends before a blank
      {L" \t \t-a\tC:\\x", L"-a", false, L'\t'},  // leading blanks skipped, a tab ends a word
      {L"  word", L"word", false, L'\0'},          // to the end of the text
      {L"\"C:\\Program Files\\a\tb.msi\" rest", L"C:\\Program Files\\a\tb.msi", true, L'"'},  // blanks kept
      {L"\"C:\\open ended", L"C:\\open ended", true, L'\0'},  // no closing quote: to the end
      {L"\"\"", L"\"", true, L'\0'},                // empty quotes: the second quote is the token
      {L"\" x\"", L" x", true, L'"'},                // a blank right after the opening quote belongs to it
      {L"", L"<none>", false, L'?'},
      {L" \t  ", L"<none>", false, L'?'},
      {L"\"", L"<none>", false, L'?'},              // an opening quote at the end is no token
      {L"   \"", L"<none>", false, L'?'},
  };
  for (const auto& row : rows) {
    FirstToken t = ReadFirst(row.args);
    EXPECT_EQ(t.text, row.text) << row.args;
    EXPECT_EQ(t.quoted, row.quoted) << row.args;
    EXPECT_EQ(t.ender, row.ender) << row.args;
  }
}

TEST(ArgumentTokens, NullPositionGivesNoToken) {
  ArgumentToken token;
  EXPECT_FALSE(NextArgument(nullptr, &token));
}

TEST(ArgumentTokens, SuccessiveTokensFromCharacterAfterLast) {
  std::wstring args = L"one \"two three\"";
  ArgumentToken first, second;
  ASSERT_TRUE(NextArgument(&args[0], &first));
  ASSERT_TRUE(NextArgument(first.last + 1, &second));
  EXPECT_EQ(Text(second), L"two three");
  EXPECT_TRUE(second.quoted);
}

// --- Command mode -----------------------------------------------------------

// The first token decides: a switch in either switch character and case,
// whatever follows it; anything else (an unknown letter, a lone switch
// character, a token of three or more characters, two without a switch
// character, a quoted switch, stray quotes) asks for the usage text.
TEST(CommandMode, ReadFromTheFirstToken) {
  EXPECT_EQ(ReadCommandMode(nullptr), ModeInstall);
  const struct {
    CommandMode mode;
    std::vector<const wchar_t*> texts;
  } rows[] = {
      {ModeInstall, {L"", L"   ", L" \t\t "}},
      {ModeAdminInstall, {L"/a", L"-a", L"/A", L"-A", L"  /a \"C:\\Admin Image\"", L"/a\tC:\\x y z /?"}},
      {ModeVerify, {L"/v", L"-V \"C:\\a b.exe\"", L"/v one two"}},  // the file is judged later
      {ModeUsage, {L"/?", L"-?", L"/x", L"/q", L"/", L"- a", L"/ab", L"/v\"x\"", L"/admin C:\\x", L"aa", L"a/",
                   L"\\a", L"\"/a\"", L"\"/v\" file", L"\"", L"  \"\"", L"foo /a"}},
  };
  for (const auto& row : rows)
    for (const wchar_t* text : row.texts) EXPECT_EQ(ReadCommandMode(text), row.mode) << text;
}

// --- Verify arguments -------------------------------------------------------

namespace {

struct Verify {
  uint32_t result;
  std::wstring file;   // "<null>" when none
  std::wstring args;   // the whole buffer afterwards, NULs shown as '|'
};

Verify RunVerify(const std::wstring& text) {
  std::wstring args = text;
  wchar_t* file = reinterpret_cast<wchar_t*>(1);
  Verify v;
  v.result = ReadVerifyArguments(&args[0], &file);
  v.file = file ? std::wstring(file) : L"<null>";
  for (wchar_t c : args) v.args += c ? c : L'|';
  return v;
}

// `text` names the one file `file`; what the buffer then holds.
std::wstring ExpectOneFile(const std::wstring& text, const std::wstring& file) {
  Verify v = RunVerify(text);
  EXPECT_EQ(v.result, 0u) << text;
  EXPECT_EQ(v.file, file) << text;
  return v.args;
}

}  // namespace

TEST(VerifyArguments, NoFileIsBadArguments) {
  EXPECT_EQ(RunVerify(L"/v").result, 160u);
  EXPECT_EQ(RunVerify(L"/v   \t").result, 160u);
  EXPECT_EQ(RunVerify(L"/v").file, L"<null>");
}

TEST(VerifyArguments, OpeningQuoteAtEndIsNoFile) {
  EXPECT_EQ(RunVerify(L"/v \"").result, 160u);
  EXPECT_EQ(RunVerify(L"/v   \"").result, 160u);
}

TEST(VerifyArguments, EmptyOrAbsentTextIsBadArguments) {
  EXPECT_EQ(RunVerify(L"").result, 160u);
  wchar_t* file = nullptr;
  EXPECT_EQ(ReadVerifyArguments(nullptr, &file), 160u);
}

TEST(VerifyArguments, OneUnquotedFile) { ExpectOneFile(L"/v C:\\Temp\\InstMSIW.exe", L"C:\\Temp\\InstMSIW.exe"); }

TEST(VerifyArguments, QuotedPathKeepsBlankAndClosingQuoteBecomesNul) {
  EXPECT_EQ(ExpectOneFile(L"/v \"C:\\Documents and Settings\\x.exe\"", L"C:\\Documents and Settings\\x.exe"),
            L"/v \"C:\\Documents and Settings\\x.exe|");
}

TEST(VerifyArguments, TrailingBlanksAfterOneFileAreAllowed) {
  EXPECT_EQ(ExpectOneFile(L"/v C:\\x.exe ", L"C:\\x.exe"), L"/v C:\\x.exe|");
  ExpectOneFile(L"-V  \"C:\\a b.exe\" \t ", L"C:\\a b.exe");
}

TEST(VerifyArguments, TwoFilesAreBadArguments) {
  EXPECT_EQ(RunVerify(L"/v a.exe b.exe").result, 160u);
  EXPECT_EQ(RunVerify(L"/v \"a b.exe\" \"c.exe\"").result, 160u);
  EXPECT_EQ(RunVerify(L"/v a.exe\tb").result, 160u);
}

TEST(VerifyArguments, BadArgumentsLeaveTheTextUntouched) {
  Verify v = RunVerify(L"/v a.exe b.exe");
  EXPECT_EQ(v.args, L"/v a.exe b.exe");
  EXPECT_EQ(v.file, L"<null>");
}

TEST(VerifyArguments, TextRightAfterClosingQuoteIsAThirdToken) {
  EXPECT_EQ(RunVerify(L"/v \"C:\\a b.exe\"x").result, 160u);
}

TEST(VerifyArguments, MissingClosingQuoteRunsToEnd) { ExpectOneFile(L"/v \"C:\\a b.exe", L"C:\\a b.exe"); }

TEST(VerifyArguments, EmptyQuotesGiveAFileMadeOfTheSecondQuote) { ExpectOneFile(L"/v \"\"", L"\""); }

TEST(VerifyArguments, FileRightAfterTabOrSeveralBlanks) { ExpectOneFile(L"  /v\t\t file.msi", L"file.msi"); }
