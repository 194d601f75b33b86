// Both windows in the user-interface language of the run: captions and
// button labels as the catalogue has them, and every text fits its control.
// The suite runs this program once per language (LC_ALL), and tells it in
// PELORIN_EXPECT_LANGID which language to expect.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/config.h"
#include "ui/language_dlg.h"
#include "ui/messages.h"
#include "ui/resource.h"
#include "app/app.h"
#include "support/run.h"

using namespace pelorin_test;

namespace {

LANGID ExpectedLanguage() {
  const char* value = getenv("PELORIN_EXPECT_LANGID");
  return value ? (LANGID)strtoul(value, nullptr, 0) : 0;
}

std::wstring WithoutMnemonic(const std::wstring& text) {
  std::wstring plain;
  for (wchar_t c : text)
    if (c != L'&') plain += c;
  return plain;
}

// The size `text` takes in `control`'s font, on one line or, with
// `width`, word-wrapped to that width.
SIZE TextSize(HWND control, const std::wstring& text, int width = 0) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageW(control, WM_GETFONT, 0, 0));
  RECT rect = {0, 0, width ? width : 10000, 0};
  DrawTextW(dc, text.c_str(), -1, &rect, DT_CALCRECT | (width ? DT_WORDBREAK : DT_SINGLELINE) | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

int CaptionTextWidth(const std::wstring& text) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size = {};
  GetTextExtentPoint32W(dc, text.c_str(), (int)text.size(), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
  return size.cx;
}

int ClientWidth(HWND window) {
  RECT rect;
  GetClientRect(window, &rect);
  return rect.right;
}
int ClientHeight(HWND window) {
  RECT rect;
  GetClientRect(window, &rect);
  return rect.bottom;
}

// A label fits its button with a few pixels to spare on each side.
void ExpectButtonFits(HWND button) {
  std::wstring label = WithoutMnemonic(WindowText(button));
  EXPECT_LE(TextSize(button, label).cx + 8, ClientWidth(button)) << Printable(label);
}

void ExpectCaptionFits(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_LE(CaptionTextWidth(WindowText(window)) + 16, rect.right - rect.left) << Printable(WindowText(window));
}

class Labelled : public ProgressWindowTest {
protected:
  void SetUp() override {
    language = ExpectedLanguage();
    ASSERT_NE(nullptr, CatalogueText(MSG_APP_TITLE, language))
        << "run with PELORIN_EXPECT_LANGID set to 1033, 1040, 1052 or 1060";
    // Otherwise the platform would not pick this language for the texts.
    ASSERT_EQ(language, GetUserDefaultUILanguage()) << "LC_ALL does not match PELORIN_EXPECT_LANGID";
    ProgressWindowTest::SetUp();
  }
  std::wstring Label(unsigned id) const { return Expected(id, {}, language); }
  LANGID language = 0;
};

}  // namespace

TEST_F(Labelled, ProgressWindowSpeaksTheUsersLanguage) {
  EXPECT_EQ(Printable(Label(MSG_APP_TITLE)), Printable(App().m_pszAppName));
  EXPECT_EQ(Printable(Label(MSG_APP_TITLE)), Printable(WindowText(window())));
  EXPECT_EQ(Printable(Label(LABEL_CANCEL)), Printable(WindowText(control(IDCANCEL))));
  ExpectButtonFits(control(IDCANCEL));
  ExpectCaptionFits(window());
}

TEST_F(Labelled, StatusTextsFitTheirLines) {
  // The longest texts this build writes: the product name and the longest
  // package name of the shipped configuration.
  const ProductEntry& product = g_engineUpgrade.products[0];
  std::wstring longest;
  for (const LanguageEntry* e = product.languages; e->langId; ++e)
    for (const wchar_t* name : {e->packageX86, e->packageX64, e->packageArm64})
      if (name && wcslen(name) > longest.size()) longest = name;
  WString headline = FormatMessageText(MSG_PLEASE_WAIT, {product.productName});
  progress().SetHeadline(headline.c_str());
  HWND headlineLine = control(IDC_HEADLINE);
  EXPECT_LE(TextSize(headlineLine, headline.c_str(), ClientWidth(headlineLine)).cy, ClientHeight(headlineLine))
      << Printable(headline.c_str());
  for (UINT id : {MSG_DOWNLOADING_PACKAGE, MSG_VERIFYING_SIGNATURE}) {
    WString detail = FormatMessageText(id, {longest.c_str()});
    progress().SetDetail(detail.c_str());
    EXPECT_EQ(Printable(detail.c_str()), Printable(WindowText(control(IDC_DETAIL))));
    EXPECT_LE(TextSize(control(IDC_DETAIL), detail.c_str()).cx, ClientWidth(control(IDC_DETAIL)))
        << Printable(detail.c_str());
  }
  WString engine = LoadMessageText(MSG_DOWNLOADING_ENGINE);
  EXPECT_LE(TextSize(control(IDC_DETAIL), engine.c_str()).cx, ClientWidth(control(IDC_DETAIL)))
      << Printable(engine.c_str());
}

TEST_F(Labelled, LanguageDialogSpeaksTheUsersLanguage) {
  std::wstring caption, ok, cancel;
  bool opened = false;
  RunScript user;
  user.answer = false;
  user.whileRunning = [&](HWND progress) {
    HWND dialog = opened ? nullptr : OpenDialog(progress);
    if (!dialog) return;
    opened = true;
    caption = WindowText(dialog);
    ok = WindowText(GetDlgItem(dialog, IDOK));
    cancel = WindowText(GetDlgItem(dialog, IDCANCEL));
    ExpectButtonFits(GetDlgItem(dialog, IDOK));
    ExpectButtonFits(GetDlgItem(dialog, IDCANCEL));
    ExpectCaptionFits(dialog);
    SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  };
  RunInProcess([] { ChooseLanguage(g_engineUpgrade.products[0].languages, 0x0424); }, user);
  ASSERT_TRUE(opened);
  EXPECT_EQ(Printable(Label(LABEL_LANGUAGE_CAPTION)), Printable(caption));
  EXPECT_EQ(Printable(Label(LABEL_OK)), Printable(ok));
  EXPECT_EQ(Printable(Label(LABEL_CANCEL)), Printable(cancel));
}
