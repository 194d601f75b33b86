// The setup's texts in the user-interface language. The suite runs this
// program once per catalogue language, with LC_ALL set to that language's
// locale and PELORIN_EXPECT_LANGID to its LANGID (under Wine the setup takes
// the language of its parent's locale, see support/driver.h). Each run checks
// that the locale is really in effect, then compares what the setup shows
// with the catalogue texts of that language:
//  - the usage text (message 37) with the application title (57344) as caption;
//  - the usage text after a malformed "/v" (exit code 160);
//  - the ask-first question (message 20) and the progress window, both
//    captioned with the application title, and the Cancel label.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "support/shell_texts.h"
#include "support/driver.h"

using namespace pelorin_test;

namespace {

const DWORD kStartMs = 30000;
const DWORD kEndMs = 30000;

LANGID ExpectedLanguage() {
  wchar_t value[16] = {};
  if (!GetEnvironmentVariableW(L"PELORIN_EXPECT_LANGID", value, 16)) return 0;
  return (LANGID)wcstoul(value, nullptr, 10);
}

class Language : public testing::Test {
protected:
  void SetUp() override {
    LANGID expected = ExpectedLanguage();
    ASSERT_NE(0, expected) << "PELORIN_EXPECT_LANGID is not set: the suite sets it with LC_ALL";
    ASSERT_EQ(expected, UiLanguage()) << "the locale of LC_ALL is not in effect";
    texts_ = CatalogueFor(expected);
    ASSERT_TRUE(texts_) << "no catalogue texts for " << expected;
  }
  const CatalogueTexts* texts_ = nullptr;

  // "/?" or a malformed "/v": the usage text; gives the exit code.
  DWORD ExpectUsage(const std::wstring& arguments) {
    Process setup = Process::Start(SetupPath(), arguments);
    EXPECT_TRUE(setup.ok()) << Printable(setup.error());
    HWND box = WaitForMessageBox(setup.id(), kStartMs, setup.handle());
    EXPECT_TRUE(box) << "no usage text; exit code " << setup.ExitCode();
    if (!box) return setup.ExitCode();
    MessageBoxContent content = ReadMessageBox(box);
    EXPECT_EQ(Printable(texts_->usage), Printable(content.text));
    EXPECT_EQ(Printable(texts_->title), Printable(content.caption));
    EXPECT_EQ(std::vector<int>{IDOK}, content.ButtonIds());
    EXPECT_EQ((UINT)MB_ICONINFORMATION, content.icon) << "icon";
    EXPECT_TRUE(ClickButton(box, IDOK));
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(setup.Finish(kEndMs, &code));
    return code;
  }
};

TEST_F(Language, UsageTextWithTheApplicationTitleAsCaption) { EXPECT_EQ(0u, ExpectUsage(L"/?")); }

TEST_F(Language, UsageTextAfterMalformedVerify) { EXPECT_EQ((DWORD)ERROR_BAD_ARGUMENTS, ExpectUsage(L"/v")); }

TEST_F(Language, AskFirstQuestionAndProgressWindow) {
  Process setup = Process::Start(BinPath(std::wstring(PELORIN_TEST_SETUPS) + L"\\ask_first.exe"), L"");
  ASSERT_TRUE(setup.ok()) << Printable(setup.error());
  for (const wchar_t* product : {L"Alpha \u010Cebela", L"Beta"}) {
    SCOPED_TRACE(Printable(product));
    HWND box = WaitForMessageBox(setup.id(), kStartMs, setup.handle());
    ASSERT_TRUE(box) << "no question; exit code " << setup.ExitCode();
    MessageBoxContent question = ReadMessageBox(box);
    EXPECT_EQ(Printable(WithInsert(texts_->askInstall, product)), Printable(question.text));
    EXPECT_EQ(Printable(texts_->title), Printable(question.caption));
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), question.ButtonIds());
    EXPECT_EQ((UINT)MB_ICONQUESTION, question.icon) << "icon";

    HWND progress = WaitForDialog(setup.id(), 1000);
    ASSERT_TRUE(progress) << "no progress window";
    EXPECT_EQ(Printable(texts_->title), Printable(WindowText(progress)));
    EXPECT_EQ(Printable(texts_->cancelLabel), Printable(ControlText(progress, IDCANCEL)));
    ASSERT_TRUE(ClickButton(box, IDNO));
    EXPECT_TRUE(WaitForWindowGone(box, 5000));
  }
  DWORD code = STILL_ACTIVE;
  ASSERT_TRUE(setup.Finish(kEndMs, &code));
  EXPECT_EQ(0u, code);
}

}  // namespace
