// The language dialog as the installation runs it: ChooseLanguage on the
// worker thread, owned by the progress window, which this thread serves;
// the user's part is played through the dialog's controls.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/config.h"
#include "ui/language_dlg.h"
#include "ui/resource.h"
#include "app/app.h"
#include "support/run.h"

using namespace pelorin_test;

namespace {

// The languages of the product this setup installs, in their array order.
const LanguageEntry* ShippedLanguages() { return g_engineUpgrade.products[0].languages; }

// More languages than ship, in an order that sorting changes.
const LanguageEntry kFourLanguages[] = {
    {.langId = 0x0424, .displayName = L"Sloven\u0161\u010Dina", .packageX86 = L"T.Sl.msi"},
    {.langId = 0x0409, .displayName = L"English", .packageX86 = L"T.En.msi"},
    {.langId = 0x041C, .displayName = L"Shqip", .packageX86 = L"T.Sq.msi"},
    {.langId = 0x0410, .displayName = L"Italiano", .packageX86 = L"T.It.msi"},
    {},
};

const LanguageEntry* EntryOf(const LanguageEntry* languages, LANGID id) {
  for (const LanguageEntry* e = languages; e->langId; ++e)
    if (e->langId == id) return e;
  return nullptr;
}

HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_LANGUAGE_LIST); }

std::vector<std::wstring> Items(HWND dialog) { return ComboItems(List(dialog)); }
std::wstring Shown(HWND dialog) { return ComboSelection(List(dialog)); }

// Selects the item named `name` as the list does when the user picks it.
void Pick(HWND dialog, const wchar_t* name) {
  int index = (int)SendMessageW(List(dialog), CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)name);
  ASSERT_GE(index, 0) << Printable(name);
  SendMessageW(List(dialog), CB_SETCURSEL, index, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE_LIST, CBN_SELCHANGE), (LPARAM)List(dialog));
}

void Press(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

class LanguageDialog : public ProgressWindowTest {
protected:
  // Runs ChooseLanguage as the installation does; `user` acts on the dialog
  // once it is open. Gives what ChooseLanguage gave.
  const LanguageEntry* Choose(const LanguageEntry* languages, LANGID preselect,
                              const std::function<void(HWND)>& user) {
    const LanguageEntry* chosen = reinterpret_cast<const LanguageEntry*>(1);
    opened = false;
    RunScript script;
    script.answer = false;
    script.timeoutMs = 20000;
    script.whileRunning = [&](HWND progress) {
      HWND dialog = opened ? nullptr : OpenDialog(progress);
      if (!dialog) return;
      opened = true;
      user(dialog);
    };
    RunInProcess([&] { chosen = ChooseLanguage(languages, preselect); }, script);
    EXPECT_TRUE(opened) << "the dialog never showed";
    return chosen;
  }
  bool opened = false;
};

}  // namespace

TEST_F(LanguageDialog, UsersLanguageIsPreselectedAndOkGivesIt) {
  std::vector<std::wstring> items;
  std::wstring shown;
  const LanguageEntry* chosen = Choose(ShippedLanguages(), 0x0424, [&](HWND dialog) {
    items = Items(dialog);
    shown = Shown(dialog);
    Press(dialog, IDOK);
  });
  // Sorted by name, not in array order.
  ASSERT_EQ(2u, items.size());
  EXPECT_EQ("English", Printable(items[0]));
  EXPECT_EQ(Printable(L"Sloven\u0161\u010Dina"), Printable(items[1]));
  EXPECT_EQ(Printable(L"Sloven\u0161\u010Dina"), Printable(shown));
  ASSERT_NE(nullptr, chosen);
  EXPECT_EQ(EntryOf(ShippedLanguages(), 0x0424), chosen);
}

TEST_F(LanguageDialog, OtherSublanguageOpensOnTheFirstEntryOfTheArrayWhichOkGives) {
  // English (United Kingdom) is not English (United States); Italian is not
  // among the product's languages at all.
  for (LANGID user : {0x0809, 0x0410}) {
    std::wstring shown = L"?";
    const LanguageEntry* chosen = Choose(ShippedLanguages(), user, [&](HWND dialog) {
      shown = Shown(dialog);
      Press(dialog, IDOK);
    });
    // The array's first entry (Slovenian), not the list's first item (English).
    EXPECT_EQ(Printable(L"Sloven\u0161\u010Dina"), Printable(shown));
    EXPECT_EQ(&ShippedLanguages()[0], chosen);
    EXPECT_EQ(0x0424, chosen ? chosen->langId : 0);
  }
}

TEST_F(LanguageDialog, TheLastSelectionCounts) {
  const LanguageEntry* chosen = Choose(ShippedLanguages(), 0x0424, [&](HWND dialog) {
    Pick(dialog, L"English");
    Pick(dialog, L"Sloven\u0161\u010Dina");
    Pick(dialog, L"English");
    Press(dialog, IDOK);
  });
  ASSERT_NE(nullptr, chosen);
  EXPECT_EQ(0x0409, chosen->langId);
  EXPECT_EQ(EntryOf(ShippedLanguages(), 0x0409), chosen);
}

TEST_F(LanguageDialog, ArrowKeysInTheListChooseToo) {
  const LanguageEntry* chosen = Choose(ShippedLanguages(), 0x0424, [&](HWND dialog) {
    GUITHREADINFO input = {sizeof(input)};
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &input);
    EXPECT_EQ(List(dialog), input.hwndFocus);
    // The dialog's own thread reads the keys from its queue.
    PostMessageW(List(dialog), WM_KEYDOWN, VK_UP, 0x00480001);
    PostMessageW(List(dialog), WM_KEYUP, VK_UP, 0xC0480001);
    PumpWhile([&] { return Shown(dialog) != L"English"; }, 2000);
    EXPECT_EQ("English", Printable(Shown(dialog)));
    Press(dialog, IDOK);
  });
  ASSERT_NE(nullptr, chosen);
  EXPECT_EQ(0x0409, chosen->langId);
}

TEST_F(LanguageDialog, EveryItemKeepsItsOwnEntryWhenSorted) {
  std::vector<std::wstring> items;
  std::vector<const LanguageEntry*> data;
  std::wstring shown;
  const LanguageEntry* chosen = Choose(kFourLanguages, 0x0424, [&](HWND dialog) {
    items = Items(dialog);
    for (size_t i = 0; i < items.size(); ++i)
      data.push_back((const LanguageEntry*)SendMessageW(List(dialog), CB_GETITEMDATA, i, 0));
    shown = Shown(dialog);
    Pick(dialog, L"Shqip");
    Press(dialog, IDOK);
  });
  ASSERT_EQ(4u, items.size());
  EXPECT_EQ("English", Printable(items[0]));
  EXPECT_EQ("Italiano", Printable(items[1]));
  EXPECT_EQ("Shqip", Printable(items[2]));
  EXPECT_EQ(Printable(L"Sloven\u0161\u010Dina"), Printable(items[3]));
  for (size_t i = 0; i < data.size(); ++i) {
    ASSERT_NE(nullptr, data[i]);
    EXPECT_EQ(Printable(items[i]), Printable(data[i]->displayName));
  }
  // Selected first and then moved down by the sort, the item keeps its selection.
  EXPECT_EQ(Printable(L"Sloven\u0161\u010Dina"), Printable(shown));
  EXPECT_EQ(&kFourLanguages[2], chosen);
}

TEST_F(LanguageDialog, CancelGivesNothing) {
  const LanguageEntry* chosen =
      Choose(ShippedLanguages(), 0x0424, [&](HWND dialog) { Press(dialog, IDCANCEL); });
  EXPECT_EQ(nullptr, chosen);
}

TEST_F(LanguageDialog, CancelAfterAChoiceGivesNothing) {
  const LanguageEntry* chosen = Choose(ShippedLanguages(), 0x0424, [&](HWND dialog) {
    Pick(dialog, L"English");
    Press(dialog, IDCANCEL);
  });
  EXPECT_EQ(nullptr, chosen);
}

TEST_F(LanguageDialog, EscapeGivesNothing) {
  const LanguageEntry* chosen = Choose(ShippedLanguages(), 0x0424, [&](HWND dialog) {
    PostMessageW(List(dialog), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(List(dialog), WM_KEYUP, VK_ESCAPE, 0xC0010001);
  });
  EXPECT_EQ(nullptr, chosen);
}

TEST_F(LanguageDialog, ProgressWindowIsItsDisabledOwnerWhileOpen) {
  bool enabledWhileOpen = true;
  HWND owner = nullptr;
  Choose(ShippedLanguages(), 0x0424, [&](HWND dialog) {
    owner = GetWindow(dialog, GW_OWNER);
    // So the Cancel button of the progress window cannot be pressed meanwhile.
    enabledWhileOpen = IsWindowEnabled(window()) != FALSE;
    Press(dialog, IDOK);
  });
  EXPECT_EQ(window(), owner);
  EXPECT_FALSE(enabledWhileOpen);
  EXPECT_TRUE(IsWindowEnabled(window()));
  EXPECT_EQ(CancelState::kRunning, progress().m_cancelled.phase());
}

TEST_F(LanguageDialog, CarriesTheApplicationIconAndAnswersForItWhenDragged) {
  HICON big = nullptr, dragged = nullptr;
  Choose(ShippedLanguages(), 0x0424, [&](HWND dialog) {
    big = (HICON)SendMessageW(dialog, WM_GETICON, ICON_BIG, 0);
    dragged = (HICON)SendMessageW(dialog, WM_QUERYDRAGICON, 0, 0);
    Press(dialog, IDOK);
  });
  EXPECT_NE(nullptr, big);
  EXPECT_EQ(big, dragged);
  EXPECT_EQ(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP)), big);
}

TEST_F(LanguageDialog, OpensCentredOnTheScreen) {
  RECT rect = {};
  Choose(ShippedLanguages(), 0x0424, [&](HWND dialog) {
    GetWindowRect(dialog, &rect);
    Press(dialog, IDOK);
  });
  EXPECT_NEAR(GetSystemMetrics(SM_CXSCREEN) / 2, (rect.left + rect.right) / 2, 2);
  EXPECT_NEAR(GetSystemMetrics(SM_CYSCREEN) / 2, (rect.top + rect.bottom) / 2, 2);
}
