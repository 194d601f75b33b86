// The language selection dialog: the user chooses in which language the
// product is installed, from the product's configured languages. The
// setup's own texts keep the user-interface language.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "afx/afxwin.h"
#include "app/config.h"

class CJezikDlg : public CDialog {
public:
  CJezikDlg();

  HICON m_hIcon = nullptr;                    // shared, not destroyed
  const LanguageEntry* m_languages = nullptr; // up to the entry with langId 0
  const LanguageEntry* m_selected = nullptr;  // the current choice
  uint16_t m_preselectLangId = 0;             // selected when the dialog opens
  CButton m_cancelButton;                     // control 2
  CComboBox m_languageList;                   // control 1000, sorted

protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

// Lets the user choose one of `languages` (ended by an entry whose langId is
// 0), starting on the entry of `preselectLangId` when there is one, in a
// modal dialog owned by the main window. Gives the chosen entry, or null
// when the user cancels. Without a choice by the user the first entry of
// the array is the one given. `*shown` (when given) is false when the dialog
// could not be created at all, which is no answer of the user's.
const LanguageEntry* ChooseLanguage(const LanguageEntry* languages, uint16_t preselectLangId,
                                    bool* shown = nullptr);
