#include "ui/language_dlg.h"

#include "ui/resource.h"

CJezikDlg::CJezikDlg() : CDialog(IDD_LANGUAGE) {}

void CJezikDlg::DoDataExchange(CDataExchange* pDX) {
  DDX_Control(pDX, IDCANCEL, m_cancelButton);
  DDX_Control(pDX, IDC_LANGUAGE_LIST, m_languageList);
}

BOOL CJezikDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_languageList.ResetContent();
  // The list sorts its items by name; each item carries its entry.
  int count = 0;
  for (const LanguageEntry* entry = m_languages; entry && entry->langId != 0; ++entry) {
    int index = m_languageList.AddString(entry->displayName);
    if (index < 0) continue;
    ++count;
    m_languageList.SetItemDataPtr(index, const_cast<LanguageEntry*>(entry));
    if (entry->langId == m_preselectLangId) m_selected = entry;
  }
  // The list opens on what OK gives: the user's language, or else the first
  // entry of the records, which a user (or a screen reader) could not see
  // in an empty list.
  for (int index = 0; index < count; ++index)
    if (m_languageList.GetItemDataPtr(index) == m_selected) m_languageList.SetCurSel(index);
  m_languageList.SetFocus();
  m_hIcon = LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDI_APP));
  SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_hIcon);
  return FALSE;  // the focus is set
}

BOOL CJezikDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == IDC_LANGUAGE_LIST && HIWORD(wParam) == CBN_SELCHANGE) {
    int index = m_languageList.GetCurSel();
    if (index != CB_ERR) m_selected = static_cast<const LanguageEntry*>(m_languageList.GetItemDataPtr(index));
    return TRUE;
  }
  return CDialog::OnCommand(wParam, lParam);
}

bool CJezikDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_QUERYDRAGICON:
      *result = (LRESULT)m_hIcon;
      return true;
    case WM_PAINT: {
      // The template has no minimise box; should the platform minimise the
      // window all the same, its icon stands for it.
      if (!IsIconic(m_hWnd)) return false;
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(m_hWnd, &paint);
      SendMessage(WM_ICONERASEBKGND, (WPARAM)dc, 0);
      RECT client;
      GetClientRect(m_hWnd, &client);
      int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
      int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
      DrawIcon(dc, x, y, m_hIcon);
      EndPaint(m_hWnd, &paint);
      *result = 0;
      return true;
    }
    default:
      return CDialog::OnMessage(message, wParam, lParam, result);
  }
}

const LanguageEntry* ChooseLanguage(const LanguageEntry* languages, uint16_t preselectLangId, bool* shown) {
  CJezikDlg dialog;
  dialog.m_languages = languages;
  dialog.m_selected = languages;
  dialog.m_preselectLangId = preselectLangId;
  // Owned by the main window, the progress window, which stays disabled
  // until the choice is made.
  INT_PTR answer = dialog.DoModal();
  if (shown) *shown = answer != -1;
  return answer == IDOK ? dialog.m_selected : nullptr;
}
