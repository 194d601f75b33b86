// The product records of every test setup, one table. A setup is built from
// this file with PELORIN_TEST_SETUP naming its row.
#include "app/config.h"
#include "app/seams.h"

#ifndef PELORIN_TEST_SETUP
#error "PELORIN_TEST_SETUP must name the setup's records"
#endif

namespace {

#define URL PELORIN_DOWNLOAD_URL
#define LANGUAGE(id, name, win32, x64, arm64) {id, name, nullptr, win32, x64, arm64, nullptr, nullptr, nullptr, nullptr}
#define TAMARIS(id, name, suffix) \
  LANGUAGE(id, name, L"Tamaris.Win32." suffix ".msi", L"Tamaris.x64." suffix ".msi", L"Tamaris.ARM64." suffix ".msi")

const LanguageEntry kEnglish[] = {TAMARIS(0x0409, L"English", "En"), {}};
const LanguageEntry kSlovenian[] = {TAMARIS(0x0424, L"Sloven\u0161\u010Dina", "Sl"), {}};

// Tamaris 4.12 in English only: with one language the setup asks nothing.
#define ENGLISH_TAMARIS(url, operation, version) \
  { {url, operation, L"Tamaris", nullptr, version, 0, 5, kEnglish}, {} }

const ProductEntry install_one_language[] = ENGLISH_TAMARIS(URL, L"INSTALL", L"4.12");
// Downloads give up after 3 s without data instead of a minute (below); the
// second tries each download three times.
const ProductEntry install_no_data_limit[] = ENGLISH_TAMARIS(URL, L"INSTALL", L"4.12");
const ProductEntry install_no_data_limit_retrying[] = ENGLISH_TAMARIS(URL, L"INSTALL", L"4.12");
// Downloads stop at 1 MiB instead of the Windows Installer's limit (below).
const ProductEntry install_size_limit[] = ENGLISH_TAMARIS(URL, L"INSTALL", L"4.12");
// Installed only from a package beside the setup: no download address.
const ProductEntry install_no_download_url[] = ENGLISH_TAMARIS(nullptr, L"INSTALL", L"4.12");
// An operation that does not exist: refused before anything is downloaded.
const ProductEntry install_bad_operation[] = ENGLISH_TAMARIS(URL, L"UPGRADE", L"4.12");
// The update operation in mixed case: a first run installs, a later one reinstalls.
const ProductEntry install_installupd[] = ENGLISH_TAMARIS(URL, L"InstallUpd", L"4.12");
// A version of 16 characters, which the setup cannot read from a package
// beside it: the package is downloaded all the same.
const ProductEntry install_long_version[] = ENGLISH_TAMARIS(URL, L"INSTALL", L"4.12.00000.00001");

// Tamaris in Slovenian asks first; Tamaris in English does not. A No skips
// the first product only.
const ProductEntry install_ask_first[] = {
    {URL, L"INSTALL", L"Tamaris SL", nullptr, L"4.12", 1, 5, kSlovenian},
    {URL, L"INSTALL", L"Tamaris EN", nullptr, L"4.12", 0, 5, kEnglish},
    {},
};

// A first language entry with LANGID 0 although real entries follow: 160
// before any file, the operation (not even valid) or the address is looked at.
const LanguageEntry kZeroFirst[] = {
    TAMARIS(0, L"Nobody", "En"), TAMARIS(0x0409, L"English", "En"), TAMARIS(0x0424, L"Sloven\u0161\u010Dina", "Sl"),
    {}};
const ProductEntry install_lang_zero[] = {{URL, L"NOSUCHOPERATION", L"Tamaris", nullptr, L"4.12", 0, 5, kZeroFirst},
                                          {}};

// No full package for x64, only a patch: applied as a patch. No operation
// counts as "DEFAULT" (an update for a patch). It asks first, so that a test
// sees every status text.
const LanguageEntry kPatchOnly[] = {{0x0409, L"English", nullptr, L"Tamaris.Win32.En.msi", nullptr,
                                     L"Tamaris.ARM64.En.msi", nullptr, L"Tamaris.Win32.En.msp",
                                     L"Tamaris.x64.En.msp", nullptr},
                                    {}};
const ProductEntry install_patch_only[] = {{URL, nullptr, L"Tamaris", nullptr, L"4.12", 1, 5, kPatchOnly}, {}};

// Two products that each ask first; one language each. No to both installs
// nothing and ends with 0.
const LanguageEntry kAlpha[] = {LANGUAGE(0x0409, L"English", L"Alpha.Win32.msi", L"Alpha.x64.msi", L"Alpha.ARM64.msi"),
                                {}};
const ProductEntry ask_first[] = {
    {URL, L"INSTALL", L"Alpha \u010Cebela", nullptr, nullptr, 1, 5, kAlpha},
    {URL, L"INSTALL", L"Beta", nullptr, nullptr, 1, 5, kAlpha},
    {},
};
// No product at all: the worker installs nothing and ends with 0.
const ProductEntry empty_table[] = {{}};
// An empty language array (its first entry has langId 0): 160, no message.
const LanguageEntry kZero[] = {LANGUAGE(0, L"English", L"Zero.Win32.msi", L"Zero.x64.msi", L"Zero.ARM64.msi")};
const ProductEntry lang_zero[] = {{URL, L"INSTALL", L"Zero", nullptr, nullptr, 0, 5, kZero}, {}};
// No language array: 160, no message.
const ProductEntry no_languages[] = {{URL, L"INSTALL", L"Nothing", nullptr, nullptr, 0, 5, nullptr}, {}};

// The size limit, where the seams table has it (`downloadSizeLimit`, in
// bytes); a setup built from a table without it keeps the full limit, and the
// rows that need the short one fail.
template <class Table>
auto SetSizeLimit(Table& seams, int) -> decltype(seams.downloadSizeLimit = 0, void()) {
  seams.downloadSizeLimit = 1024 * 1024;
}
template <class Table>
void SetSizeLimit(Table&, long) {}

struct ShortLimits {
  ShortLimits() {
    if (&PELORIN_TEST_SETUP[0] == &install_no_data_limit[0] ||
        &PELORIN_TEST_SETUP[0] == &install_no_data_limit_retrying[0])
      g_seams.downloadNoDataLimitMs = 3000;
    if (&PELORIN_TEST_SETUP[0] == &install_size_limit[0]) SetSizeLimit(g_seams, 0);
  }
} g_shortLimits;

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {PELORIN_ENGINE_URL, L"InstMSIA.exe", L"InstMSIW.exe", 200,
                                            PELORIN_TEST_SETUP};
