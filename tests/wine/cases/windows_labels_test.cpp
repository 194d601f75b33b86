// Both windows in the user-interface language of the run: captions and
// button labels as the catalogue has them, every text fits its control, and
// a screen reader is told what each control is. The suite runs this program
// once per language (LC_ALL), and tells it in PELORIN_EXPECT_LANGID which
// language to expect.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "app/app.h"
#include "app/config.h"
#include "ui/language_dlg.h"
#include "ui/messages.h"
#include "ui/resource.h"
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

RECT Client(HWND window) {
  RECT rect = {};
  GetClientRect(window, &rect);
  return rect;
}

// A label fits its button with a few pixels to spare on each side.
void ExpectButtonFits(HWND button) {
  std::wstring label = WithoutMnemonic(WindowText(button));
  EXPECT_LE(TextSize(button, label).cx + 8, Client(button).right) << Printable(label);
}

void ExpectCaptionFits(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_LE(CaptionTextWidth(WindowText(window)) + 16, rect.right - rect.left) << Printable(WindowText(window));
}

// Every control lies inside the window and none covers another.
void ExpectLayoutHolds(HWND window) {
  RECT client, placed[16], both;
  GetClientRect(window, &client);
  MapWindowPoints(window, nullptr, (POINT*)&client, 2);
  int count = 0;
  for (HWND c = GetWindow(window, GW_CHILD); c && count < 16; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!IsWindowVisible(c) || !GetWindowRect(c, &placed[count])) continue;
    EXPECT_TRUE(IntersectRect(&both, &placed[count], &client) && EqualRect(&both, &placed[count])) << GetDlgCtrlID(c);
    for (int i = 0; i < count; ++i) EXPECT_FALSE(IntersectRect(&both, &placed[i], &placed[count])) << GetDlgCtrlID(c);
    ++count;
  }
}

// ---------------------------------------------------------------- screen readers
//
// What a screen reader is told, asked as a reader asks: Microsoft Active
// Accessibility (oleacc). Wine's oleacc answers less than Windows does:
// every child's role is "client", it gives no values (S_FALSE) and no
// window objects (E_NOTIMPL), and it names every child window, a combo box
// too, by its own text, where Windows names a combo box (or a bar) by the
// static label before it. So the probe checks the structure (one accessible
// child per control), names each control that takes input by the documented
// rule (a button's own text; for a combo box, edit box or bar, the static
// label just before it in tab order) and requires that name, and holds
// oleacc to what Wine can tell: the buttons' names, the bar's name, and the
// selected language (a combo box's value on Windows, its name under Wine).

bool IsClass(HWND window, const wchar_t* name) {
  wchar_t found[64] = L"";
  return GetClassNameW(window, found, 64) && !lstrcmpiW(found, name);
}

std::wstring RuleName(HWND c) {
  if (!IsClass(c, L"ComboBox") && !IsClass(c, L"Edit") && !IsClass(c, PROGRESS_CLASSW)) return WithoutMnemonic(WindowText(c));
  HWND before = GetWindow(c, GW_HWNDPREV);
  return IsClass(before, L"Static") ? WithoutMnemonic(WindowText(before)) : L"";
}

// What oleacc answers for `window`'s client: its name, its value, or (with
// `children`) how many children it has.
std::wstring Heard(HWND window, bool value = false, long* children = nullptr) {
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, (void**)&object))) return L"?";
  VARIANT self = {};
  self.vt = VT_I4;  // CHILDID_SELF
  BSTR text = nullptr;
  HRESULT result = value ? object->get_accValue(self, &text) : object->get_accName(self, &text);
  if (children) object->get_accChildCount(children);
  std::wstring heard = result == S_OK && text ? text : L"";
  SysFreeString(text);
  object->Release();
  return heard;
}

void ExpectHeardAsNamed(HWND window) {
  long children = -1, controls = 0;
  Heard(window, false, &children);
  for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT), ++controls) {
    if (!IsWindowVisible(c) || !(GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP)) continue;
    SCOPED_TRACE(GetDlgCtrlID(c));
    EXPECT_NE("", Printable(RuleName(c)));
    if (IsClass(c, L"Button")) EXPECT_EQ(Printable(RuleName(c)), Printable(Heard(c)));
    if (!IsClass(c, L"ComboBox")) continue;
    wchar_t item[128] = L"";
    SendMessageW(c, CB_GETLBTEXT, SendMessageW(c, CB_GETCURSEL, 0, 0), (LPARAM)item);
    EXPECT_NE("", Printable(item)) << "no language selected";
    std::wstring value = Heard(c, true);
    EXPECT_EQ(Printable(item), Printable(value.empty() ? Heard(c) : value));
  }
  EXPECT_EQ(controls, children);
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
  // Runs `work` as the setup's worker while `look` is handed each dialog of
  // this process but the progress window (message boxes too), unanswered.
  void WhileShown(const std::function<void()>& work, const std::function<void(HWND)>& look) {
    RunScript user;
    user.answer = false;
    user.whileRunning = [&](HWND) {
      for (HWND shown : TopLevelWindows(GetCurrentProcessId(), L"#32770"))
        if (shown != window() && IsWindowVisible(shown)) return look(shown);
    };
    RunInProcess(work, user);
  }
  LANGID language = 0;
};

}  // namespace

TEST_F(Labelled, ProgressWindowSpeaksTheUsersLanguage) {
  EXPECT_EQ(Printable(Label(MSG_APP_TITLE)), Printable(App().m_pszAppName));
  EXPECT_EQ(Printable(Label(MSG_APP_TITLE)), Printable(WindowText(window())));
  EXPECT_EQ(Printable(Label(LABEL_CANCEL)), Printable(WindowText(control(IDCANCEL))));
  ExpectButtonFits(control(IDCANCEL));
  ExpectCaptionFits(window());
  ExpectLayoutHolds(window());
}

// Every text the window shows is whole in its line, as the line wraps it:
// with each package name of the records and the longest wait between tries.
TEST_F(Labelled, StatusTextsFitTheirLines) {
  const ProductEntry& product = g_engineUpgrade.products[0];
  std::vector<std::pair<int, WString>> shown;
  shown.emplace_back(IDC_HEADLINE, FormatMessageText(MSG_PLEASE_WAIT, {product.productName}));
  shown.emplace_back(IDC_DETAIL, LoadMessageText(MSG_DOWNLOADING_ENGINE));
  shown.emplace_back(IDC_DETAIL, FormatMessageText(MSG_VERIFYING_SIGNATURE, {g_engineUpgrade.unicodeInstaller}));
  for (const LanguageEntry* e = product.languages; e->langId; ++e)
    for (const wchar_t* name : {e->packageNonNt, e->packageX86, e->packageX64, e->packageArm64, e->patchNonNt,
                                e->patchX86, e->patchX64, e->patchArm64}) {
      if (!name) continue;
      shown.emplace_back(IDC_DETAIL, FormatMessageText(MSG_DOWNLOADING_PACKAGE, {name}));
      shown.emplace_back(IDC_DETAIL, FormatMessageText(MSG_VERIFYING_SIGNATURE, {name}));
      shown.emplace_back(IDC_DETAIL, FormatMessageText(MSG_DOWNLOAD_RETRY, {name, (uint32_t)30}));
    }
  for (const auto& line : shown) {
    std::wstring text = line.second.c_str();
    ASSERT_FALSE(text.empty());
    if (line.first == IDC_HEADLINE) progress().SetHeadline(text.c_str());
    if (line.first == IDC_DETAIL) progress().SetDetail(text.c_str());
    HWND control = GetDlgItem(window(), line.first);
    EXPECT_EQ(Printable(text), Printable(WindowText(control)));
    SIZE needed = TextSize(control, text, Client(control).right);
    EXPECT_TRUE(needed.cx <= Client(control).right && needed.cy <= Client(control).bottom) << Printable(text);
  }
}

TEST_F(Labelled, LanguageDialogSpeaksTheUsersLanguage) {
  bool opened = false;
  WhileShown([] { ChooseLanguage(g_engineUpgrade.products[0].languages, 0x0424); },
              [&](HWND dialog) {
                if (opened) return;
                opened = true;
                EXPECT_EQ(Printable(Label(LABEL_LANGUAGE_CAPTION)), Printable(WindowText(dialog)));
                EXPECT_EQ(Printable(Label(LABEL_OK)), Printable(WindowText(GetDlgItem(dialog, IDOK))));
                EXPECT_EQ(Printable(Label(LABEL_CANCEL)), Printable(WindowText(GetDlgItem(dialog, IDCANCEL))));
                HWND label = GetDlgItem(dialog, IDC_LANGUAGE_LABEL);
                EXPECT_EQ(Printable(Label(LABEL_LANGUAGE_LABEL)), Printable(WindowText(label)));
                EXPECT_LE(TextSize(label, WithoutMnemonic(WindowText(label))).cx, Client(label).right);
                ExpectLayoutHolds(dialog);
                ExpectButtonFits(GetDlgItem(dialog, IDOK));
                ExpectButtonFits(GetDlgItem(dialog, IDCANCEL));
                ExpectCaptionFits(dialog);
                SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
              });
  ASSERT_TRUE(opened);
}

// Each window a user meets, as a screen reader is told of it: the progress
// window during a download (its bar keeps its name while the status line
// before it changes), the language dialog with and without the user's
// language among the product's, and a message box.
TEST_F(Labelled, EveryWindowTellsAScreenReaderWhatEachControlIs) {
  CoInitialize(nullptr);
  HWND bar = control(IDC_PROGRESS);
  progress().SetDetail(FormatMessageText(MSG_DOWNLOADING_PACKAGE, {L"Tamaris.x64.En.msi"}).c_str());
  SendMessageW(bar, PBM_SETPOS, 42, 0);
  ExpectHeardAsNamed(window());
  EXPECT_EQ(Printable(Label(LABEL_BAR)), Printable(Heard(bar)));
  progress().SetDetail(FormatMessageText(MSG_VERIFYING_SIGNATURE, {L"Tamaris.x64.En.msi"}).c_str());
  EXPECT_EQ(Printable(Label(LABEL_BAR)), Printable(Heard(bar)));
  const std::function<void()> rows[] = {
      [] { ChooseLanguage(g_engineUpgrade.products[0].languages, 0x0424); },
      [] { ChooseLanguage(g_engineUpgrade.products[0].languages, 0x0410); },
      [] { ShowMessage(MSG_CANCELLED, MB_OK | MB_ICONWARNING); },
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    HWND probed = nullptr;
    WhileShown(row, [&](HWND dialog) {
      if (probed) return;
      probed = dialog;
      ExpectHeardAsNamed(probed);
      PostMessageW(probed, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_NE(nullptr, probed);
  }
  CoUninitialize();
}
