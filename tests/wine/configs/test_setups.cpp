// The product records of every test setup, one table. A setup is built from
// this file with PELORIN_TEST_SETUP naming its row.
#include "app/config.h"
#include "afx/seams.h"

#ifndef PELORIN_TEST_SETUP
#error "PELORIN_TEST_SETUP must name the setup's records"
#endif

namespace {

#define URL g_downloadUrl
#define LANGUAGE(id, name, win32, x64, arm64) \
  {.langId = id, .displayName = name, .packageX86 = win32, .packageX64 = x64, .packageArm64 = arm64}
#define TAMARIS(id, name, suffix) \
  LANGUAGE(id, name, L"Tamaris.Win32." suffix ".msi", L"Tamaris.x64." suffix ".msi", L"Tamaris.ARM64." suffix ".msi")

const LanguageEntry kEnglish[] = {TAMARIS(0x0409, L"English", "En"), {}};
const LanguageEntry kSlovenian[] = {TAMARIS(0x0424, L"Sloven\u0161\u010Dina", "Sl"), {}};

// Tamaris 4.12 in English only: with one language the setup asks nothing.
#define TAMARIS_PRODUCT(url, keyword, name, version, ask, entries)                                            \
  {.downloadUrl = url, .operation = keyword, .productName = name, .productVersion = version, .askFirst = ask, \
   .uiLevel = 5, .languages = entries}
#define ENGLISH_TAMARIS(url, keyword, version) \
  { TAMARIS_PRODUCT(url, keyword, L"Tamaris", version, 0, kEnglish), {} }

const ProductEntry install_one_language[] = ENGLISH_TAMARIS(URL, L"INSTALL", L"4.12");
// Downloads give up after 3 s without data instead of a minute (below); the
// second tries each download three times.
const ProductEntry install_no_data_limit[] = ENGLISH_TAMARIS(URL, L"INSTALL", L"4.12");
const ProductEntry install_no_data_limit_three_tries[] = ENGLISH_TAMARIS(URL, L"INSTALL", L"4.12");
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
    TAMARIS_PRODUCT(URL, L"INSTALL", L"Tamaris SL", L"4.12", 1, kSlovenian),
    TAMARIS_PRODUCT(URL, L"INSTALL", L"Tamaris EN", L"4.12", 0, kEnglish),
    {},
};

// A first language entry with LANGID 0 although real entries follow: 160
// before any file, the operation (not even valid) or the address is looked at.
const LanguageEntry kZeroFirst[] = {
    TAMARIS(0, L"Nobody", "En"), TAMARIS(0x0409, L"English", "En"), TAMARIS(0x0424, L"Sloven\u0161\u010Dina", "Sl"),
    {}};
const ProductEntry install_lang_zero[] = {TAMARIS_PRODUCT(URL, L"NOSUCHOPERATION", L"Tamaris", L"4.12", 0, kZeroFirst),
                                          {}};

// No full package for x64, only a patch: applied as a patch. No operation
// counts as "DEFAULT" (an update for a patch). It asks first, so that a test
// sees every status text.
const LanguageEntry kPatchOnly[] = {{.langId = 0x0409, .displayName = L"English", .packageX86 = L"Tamaris.Win32.En.msi",
                                     .packageArm64 = L"Tamaris.ARM64.En.msi", .patchX86 = L"Tamaris.Win32.En.msp",
                                     .patchX64 = L"Tamaris.x64.En.msp"},
                                    {}};
const ProductEntry install_patch_only[] = {TAMARIS_PRODUCT(URL, nullptr, L"Tamaris", L"4.12", 1, kPatchOnly), {}};

// Two products that each ask first; one language each. No to both installs
// nothing and ends with 0.
const LanguageEntry kAlpha[] = {LANGUAGE(0x0409, L"English", L"Alpha.Win32.msi", L"Alpha.x64.msi", L"Alpha.ARM64.msi"),
                                {}};
const ProductEntry ask_first[] = {
    TAMARIS_PRODUCT(URL, L"INSTALL", L"Alpha \u010Cebela", nullptr, 1, kAlpha),
    TAMARIS_PRODUCT(URL, L"INSTALL", L"Beta", nullptr, 1, kAlpha),
    {},
};
// No product at all: the worker installs nothing and ends with 0.
const ProductEntry empty_table[] = {{}};
// An empty language array (its first entry has langId 0): 160, no message.
const LanguageEntry kZero[] = {LANGUAGE(0, L"English", L"Zero.Win32.msi", L"Zero.x64.msi", L"Zero.ARM64.msi")};
const ProductEntry lang_zero[] = {TAMARIS_PRODUCT(URL, L"INSTALL", L"Zero", nullptr, 0, kZero), {}};
// No language array: 160, no message.
const ProductEntry no_languages[] = {TAMARIS_PRODUCT(URL, L"INSTALL", L"Nothing", nullptr, 0, nullptr), {}};

struct ShortLimits {
  ShortLimits() {
    if (&PELORIN_TEST_SETUP[0] == &install_no_data_limit[0] ||
        &PELORIN_TEST_SETUP[0] == &install_no_data_limit_three_tries[0])
      g_seams.downloadNoDataLimitMs = 3000;
    if (&PELORIN_TEST_SETUP[0] == &install_size_limit[0]) g_seams.downloadSizeLimit = 1024 * 1024;
  }
} g_shortLimits;

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {.baseUrl = g_engineUrl, .ansiInstaller = L"InstMSIA.exe",
                                            .unicodeInstaller = L"InstMSIW.exe", .minimumVersion = 200,
                                            .products = PELORIN_TEST_SETUP};
