// Both windows in the user-interface language of the run: captions and
// button labels as the catalogue has them, and every text fits its control.
// The suite runs this program once per language (LC_ALL), and tells it in
// PELORIN_EXPECT_LANGID which language to expect.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "app/config.h"
#include "ui/language_dlg.h"
#include "ui/messages.h"
#include "ui/resource.h"
#include "windows_harness.h"

using namespace windows_test;

namespace {

struct Labels {
  LANGID language;
  const wchar_t* title;  // application title: the progress window's caption
  const wchar_t* cancel;
  const wchar_t* languageCaption;
  const wchar_t* ok;
  const wchar_t* languageLabel;  // names the list
  const wchar_t* bar;            // the bar's name
};

const Labels kLabels[] = {
    {0x0409, L"Windows Installer Installation Wrapper", L"Cancel", L"Choose setup language", L"&OK", L"&Language:",
     L"Progress"},
    {0x0410, L"Avvio programma Windows Installer", L"Annulla", L"Scegli la lingua del setup", L"&OK", L"&Lingua:",
     L"Avanzamento"},
    {0x041C, L"Paketa e instalimit t\u00EB Windows Installer-it", L"Anulo", L"Zgjidh gjuh\u00EBn e instalimit",
     L"&N\u00EB rregull", L"&Gjuha:", L"P\u00EBrparimi"},
    {0x0424, L"Zaganjalnik programa Windows Installer", L"Prekli\u010Di", L"Izberite jezik namestitve", L"&V redu",
     L"&Jezik:", L"Napredek"},
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
  if (!IsClass(c, L"ComboBox") && !IsClass(c, L"Edit") && !IsClass(c, PROGRESS_CLASSW)) return WithoutMnemonic(TextOf(c));
  HWND before = GetWindow(c, GW_HWNDPREV);
  return IsClass(before, L"Static") ? WithoutMnemonic(TextOf(before)) : L"";
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
    EXPECT_NE("", Utf8(RuleName(c)));
    if (IsClass(c, L"Button")) EXPECT_EQ(Utf8(RuleName(c)), Utf8(Heard(c)));
    if (!IsClass(c, L"ComboBox")) continue;
    wchar_t item[128] = L"";
    SendMessageW(c, CB_GETLBTEXT, SendMessageW(c, CB_GETCURSEL, 0, 0), (LPARAM)item);
    EXPECT_NE("", Utf8(item)) << "no language selected";
    std::wstring value = Heard(c, true);
    EXPECT_EQ(Utf8(item), Utf8(value.empty() ? Heard(c) : value));
  }
  EXPECT_EQ(controls, children);
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
    EXPECT_EQ(Utf8(text), Utf8(TextOf(control)));
    SIZE needed = TextSize(control, text, ClientWidth(control));
    EXPECT_TRUE(needed.cx <= ClientWidth(control) && needed.cy <= ClientHeight(control)) << Utf8(text);
  }
}

TEST_F(Labelled, LanguageDialogSpeaksTheUsersLanguage) {
  std::wstring caption, ok, cancel, label;
  bool opened = false;
  RunAsWorker([] { ChooseLanguage(g_engineUpgrade.products[0].languages, 0x0424); },
              [&](DWORD worker) {
                HWND dialog = opened ? nullptr : DialogOfThread(worker);
                if (!dialog) return;
                opened = true;
                caption = TextOf(dialog);
                ok = TextOf(GetDlgItem(dialog, IDOK));
                cancel = TextOf(GetDlgItem(dialog, IDCANCEL));
                HWND labelControl = GetDlgItem(dialog, IDC_LANGUAGE_LABEL);
                label = TextOf(labelControl);
                EXPECT_LE(TextSize(labelControl, WithoutMnemonic(label)).cx, ClientWidth(labelControl));
                ExpectLayoutHolds(dialog);
                ExpectButtonFits(GetDlgItem(dialog, IDOK));
                ExpectButtonFits(GetDlgItem(dialog, IDCANCEL));
                ExpectCaptionFits(dialog);
                SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
              });
  ASSERT_TRUE(opened);
  EXPECT_EQ(Utf8(labels->languageCaption), Utf8(caption));
  EXPECT_EQ(Utf8(labels->ok), Utf8(ok));
  EXPECT_EQ(Utf8(labels->cancel), Utf8(cancel));
  EXPECT_EQ(Utf8(labels->languageLabel), Utf8(label));
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
  EXPECT_EQ(Utf8(labels->bar), Utf8(Heard(bar)));
  progress().SetDetail(FormatMessageText(MSG_VERIFYING_SIGNATURE, {L"Tamaris.x64.En.msi"}).c_str());
  EXPECT_EQ(Utf8(labels->bar), Utf8(Heard(bar)));
  const std::function<void()> rows[] = {
      [] { ChooseLanguage(g_engineUpgrade.products[0].languages, 0x0424); },
      [] { ChooseLanguage(g_engineUpgrade.products[0].languages, 0x0410); },
      [] { ShowMessage(MSG_CANCELLED, MB_OK | MB_ICONWARNING); },
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    HWND probed = nullptr;
    RunAsWorker(row, [&](DWORD worker) {
      if (probed || !(probed = DialogOfThread(worker))) return;
      ExpectHeardAsNamed(probed);
      PostMessageW(probed, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_NE(nullptr, probed);
  }
  CoUninitialize();
}
