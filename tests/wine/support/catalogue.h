// The texts a user must see, as the tests expect them: the rows of
// tests/catalogue.inc, keyed by message ID (ui/resource.h) or dialog label.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/resource.h"

namespace pelorin_test {

// Keys of the dialog templates' labels, beside the message IDs.
enum : unsigned { LABEL_LANGUAGE_CAPTION = 0x10000, LABEL_OK, LABEL_CANCEL, LABEL_LANGUAGE_LABEL, LABEL_BAR };

const LANGID kEnglish = 1033;
const LANGID kCatalogueLanguages[4] = {1033, 1040, 1052, 1060};

struct CatalogueRow {
  unsigned id;
  const wchar_t* texts[4];  // in the order of kCatalogueLanguages
};

const CatalogueRow kCatalogue[] = {
#define MESSAGE(id, en, it, sq, sl) {id, {en, it, sq, sl}},
#define LABEL(name, en, it, sq, sl) {LABEL_##name, {en, it, sq, sl}},
#include "tests/catalogue.inc"
#undef MESSAGE
#undef LABEL
};

// The text of `id` in `language` as the catalogue holds it; null when there
// is no such row or language.
inline const wchar_t* CatalogueText(unsigned id, LANGID language = kEnglish) {
  for (const CatalogueRow& row : kCatalogue)
    for (int i = 0; i < 4; ++i)
      if (row.id == id && kCatalogueLanguages[i] == language) return row.texts[i];
  return nullptr;
}

// The text as shown: each %N and %N!d! replaced by inserts[N - 1]. A key
// without a row gives a text that no window shows.
inline std::wstring Expected(unsigned id, const std::vector<std::wstring>& inserts = {},
                             LANGID language = kEnglish) {
  const wchar_t* format = CatalogueText(id, language);
  if (!format) return L"<no catalogue row " + std::to_wstring(id) + L" in " + std::to_wstring(language) + L">";
  std::wstring text = format;
  for (size_t n = inserts.size(); n > 0; --n) {
    for (const std::wstring& form : {L"%" + std::to_wstring(n) + L"!d!", L"%" + std::to_wstring(n)}) {
      const std::wstring& insert = inserts[n - 1];
      for (size_t at = text.find(form); at != std::wstring::npos; at = text.find(form, at + insert.size()))
        text.replace(at, form.size(), insert);
    }
  }
  return text;
}

// The text that fills %1 in `shown`, when `shown` is message `id` with one
// insert; empty otherwise.
inline std::wstring InsertOf(unsigned id, const std::wstring& shown, LANGID language = kEnglish) {
  const std::wstring model = Expected(id, {L"\x01"}, language);
  size_t mark = model.find(L'\x01');
  if (mark == std::wstring::npos) return L"";
  const std::wstring before = model.substr(0, mark), after = model.substr(mark + 1);
  if (shown.size() <= before.size() + after.size() || shown.compare(0, before.size(), before) != 0 ||
      shown.compare(shown.size() - after.size(), after.size(), after) != 0)
    return L"";
  return shown.substr(before.size(), shown.size() - before.size() - after.size());
}

}  // namespace pelorin_test
