// Checks the message catalogue of a Pelorin executable as Windows loads it.
//
//   resource_strings.exe [MODULE]
//
// MODULE, a Pelorin executable, is loaded as a data file; without an argument
// the program checks its own resources (when it is linked with
// ui/res/pelorin.rc). Then:
//  1. every catalogue entry of each of the four languages is read directly,
//     FindResourceExW with that language, and compared with the rows of
//     tests/catalogue.inc;
//  2. every entry is read with LoadStringW, which takes the language that the
//     resource loader picks for the user's interface language (under Wine it
//     follows LC_ALL / LANG: en_US.UTF-8, it_IT.UTF-8, sq_AL.UTF-8,
//     sl_SI.UTF-8), and compared with the table of GetUserDefaultUILanguage()
//     when that is one of the four.
// Mismatches are printed as UTF-8 with line feeds shown as \n, then one summary
// line. Exit code: 0 when everything matches, 1 on a mismatch, 2 when MODULE
// cannot be loaded.

#include <windows.h>

#include <string>

#include "support/catalogue.h"

using namespace pelorin_test;

namespace {

void Print(const std::wstring& text) {
    std::wstring shown;
    for (wchar_t c : text) {
        if (c == L'\n')
            shown += L"\\n";
        else if (c == L'\r')
            shown += L"\\r";
        else
            shown += c;
    }
    shown += L'\n';
    int size = WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), static_cast<int>(shown.size()),
                                   nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), static_cast<int>(shown.size()), &bytes[0], size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

// The entry `id` of the string table in language `lang` exactly, without the
// resource loader's language fallback. `found` tells whether it exists.
std::wstring ReadString(HMODULE module, unsigned id, LANGID lang, bool* found) {
    *found = false;
    HRSRC info = FindResourceExW(module, RT_STRING,
                                 MAKEINTRESOURCEW(id / 16 + 1), lang);
    if (!info)
        return std::wstring();
    HGLOBAL handle = LoadResource(module, info);
    const WORD* p = static_cast<const WORD*>(LockResource(handle));
    if (!p)
        return std::wstring();
    for (unsigned i = 0; i < id % 16; ++i)
        p += 1 + *p;
    if (*p == 0)
        return std::wstring();
    *found = true;
    return std::wstring(reinterpret_cast<const wchar_t*>(p + 1), *p);
}

std::wstring Number(unsigned value) {
    wchar_t buffer[16];
    wsprintfW(buffer, L"%u", value);
    return buffer;
}

bool Compare(const std::wstring& where, const std::wstring& got, bool found,
             const wchar_t* expected) {
    if (found && got == expected)
        return true;
    Print(where + L": got " + (found ? L"\"" + got + L"\"" : std::wstring(L"nothing")));
    Print(where + L": expected \"" + expected + L"\"");
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HMODULE module = nullptr;
    if (argc > 1) {
        module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module) {
            Print(L"cannot load " + std::wstring(argv[1]) + L", error " + Number(GetLastError()));
            return 2;
        }
    } else {
        module = GetModuleHandleW(nullptr);
    }

    int mismatches = 0;
  LANGID ui = GetUserDefaultUILanguage();
  bool uiIsOne = false;
  for (const CatalogueRow& row : kCatalogue) {
    if (row.id >= LABEL_LANGUAGE_CAPTION) continue;  // dialog labels: tools/check_resources.py
    for (int i = 0; i < 4; ++i) {
      bool found = false;
      std::wstring text = ReadString(module, row.id, kCatalogueLanguages[i], &found);
      if (!Compare(L"language " + Number(kCatalogueLanguages[i]) + L" message " + Number(row.id), text, found,
                   row.texts[i]))
        ++mismatches;
      if (kCatalogueLanguages[i] != ui) continue;
      uiIsOne = true;
      const wchar_t* loaded = nullptr;
      int length = LoadStringW(module, row.id, reinterpret_cast<LPWSTR>(&loaded), 0);
      std::wstring got = loaded && length > 0 ? std::wstring(loaded, length) : std::wstring();
      if (!Compare(L"LoadStringW " + Number(row.id), got, length > 0, row.texts[i])) ++mismatches;
    }
  }

  Print(Number(mismatches) + L" mismatches; interface language " + Number(ui) +
          (uiIsOne ? L", LoadStringW checked" : L", not one of the four: LoadStringW not checked"));
    if (argc > 1)
        FreeLibrary(module);
    return mismatches ? 1 : 0;
}
