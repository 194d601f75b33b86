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
#include "support/windows_harness.h"

using namespace windows_test;

namespace {

struct Labels {
  LANGID language;
  const wchar_t* title;  // application title: the progress window's caption
  const wchar_t* cancel;
  const wchar_t* languageCaption;
  const wchar_t* ok;
};

const Labels kLabels[] = {
    {0x0409, L"Windows Installer Installation Wrapper", L"Cancel", L"Choose setup language", L"&OK"},
    {0x0410, L"Avvio programma Windows Installer", L"Annula", L"Scegli la lingua del setup", L"&OK"},
    {0x041C, L"Paketa e instalimit t\u00EB Windows Installer-it.", L"Anulo", L"Zgjidh gjuh\u00EBn e instalimit",
     L"&N\u00EB rregull"},
    {0x0424, L"Zaganjalnik programa Windows Installer", L"Prekli\u010Di", L"Izberite jezik namestitve", L"&V redu"},
};

LANGID ExpectedLanguage() {
  const char* value = getenv("PELORIN_EXPECT_LANGID");
  return value ? (LANGID)strtoul(value, nullptr, 0) : 0;
}

const Labels* ExpectedLabels() {
  for (const Labels& labels : kLabels)
    if (labels.language == ExpectedLanguage()) return &labels;
  return nullptr;
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
  std::wstring label = WithoutMnemonic(TextOf(button));
  EXPECT_LE(TextSize(button, label).cx + 8, ClientWidth(button)) << Utf8(label);
}

void ExpectCaptionFits(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_LE(CaptionTextWidth(TextOf(window)) + 16, rect.right - rect.left) << Utf8(TextOf(window));
}

class Labelled : public ProgressWindowTest {
protected:
  void SetUp() override {
    labels = ExpectedLabels();
    ASSERT_NE(nullptr, labels) << "run with PELORIN_EXPECT_LANGID set to 1033, 1040, 1052 or 1060";
    // Otherwise the platform would not pick this language for the texts.
    ASSERT_EQ(labels->language, GetUserDefaultUILanguage()) << "LC_ALL does not match PELORIN_EXPECT_LANGID";
    ProgressWindowTest::SetUp();
  }
  const Labels* labels = nullptr;
};

}  // namespace

TEST_F(Labelled, ProgressWindowSpeaksTheUsersLanguage) {
  EXPECT_EQ(Utf8(labels->title), Utf8(App().m_pszAppName));
  EXPECT_EQ(Utf8(labels->title), Utf8(TextOf(window())));
  EXPECT_EQ(Utf8(labels->cancel), Utf8(TextOf(control(IDCANCEL))));
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
      << Utf8(headline.c_str());
  for (UINT id : {MSG_DOWNLOADING_PACKAGE, MSG_VERIFYING_SIGNATURE}) {
    WString detail = FormatMessageText(id, {longest.c_str()});
    progress().SetDetail(detail.c_str());
    EXPECT_EQ(Utf8(detail.c_str()), Utf8(TextOf(control(IDC_DETAIL))));
    EXPECT_LE(TextSize(control(IDC_DETAIL), detail.c_str()).cx, ClientWidth(control(IDC_DETAIL)))
        << Utf8(detail.c_str());
  }
  WString engine = LoadMessageText(MSG_DOWNLOADING_ENGINE);
  EXPECT_LE(TextSize(control(IDC_DETAIL), engine.c_str()).cx, ClientWidth(control(IDC_DETAIL)))
      << Utf8(engine.c_str());
}

TEST_F(Labelled, LanguageDialogSpeaksTheUsersLanguage) {
  std::wstring caption, ok, cancel;
  bool opened = false;
  RunAsWorker([] { ChooseLanguage(g_engineUpgrade.products[0].languages, 0x0424); },
              [&](DWORD worker) {
                HWND dialog = opened ? nullptr : DialogOfThread(worker);
                if (!dialog) return;
                opened = true;
                caption = TextOf(dialog);
                ok = TextOf(GetDlgItem(dialog, IDOK));
                cancel = TextOf(GetDlgItem(dialog, IDCANCEL));
                ExpectButtonFits(GetDlgItem(dialog, IDOK));
                ExpectButtonFits(GetDlgItem(dialog, IDCANCEL));
                ExpectCaptionFits(dialog);
                SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
              });
  ASSERT_TRUE(opened);
  EXPECT_EQ(Utf8(labels->languageCaption), Utf8(caption));
  EXPECT_EQ(Utf8(labels->ok), Utf8(ok));
  EXPECT_EQ(Utf8(labels->cancel), Utf8(cancel));
}
