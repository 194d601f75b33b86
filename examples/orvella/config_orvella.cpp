// Orvella 1.0, in English only, for 64-bit Windows (x64) only, followed by
// its first patch, Orvella 1.0.1.
//
// A copy of this file with other names and files is all a vendor changes to
// make a setup for their own product; docs/vendor-guide.md goes through each
// field. A field left out is null (or 0). The build fills in the two
// addresses (g_downloadUrl and g_engineUrl, from PELORIN_DOWNLOAD_URL and
// PELORIN_ENGINE_URL), so the same source serves a test server and the real one.
#include "app/config.h"

namespace {

// One language: the setup shows no language dialog. Only the x64 field is
// set: a 32-bit or ARM64 system is told that there is no package for it.
const LanguageEntry kOrvellaLanguages[] = {
    {.langId = 0x0409, .displayName = L"English", .packageX64 = L"Orvella.1.0.x64.msi"},
    {},
};

// The patch is a product record of its own: a record whose only file for a
// platform is a patch has it applied to the installed product.
const LanguageEntry kOrvellaPatchLanguages[] = {
    {.langId = 0x0409, .displayName = L"English", .patchX64 = L"Orvella.1.0.1.x64.msp"},
    {},
};

const ProductEntry kProducts[] = {
    {.downloadUrl = g_downloadUrl,
     .operation = L"INSTALL",
     .productName = L"Orvella",
     .productVersion = L"1.0",
     .uiLevel = 5,
     .languages = kOrvellaLanguages},
    {.downloadUrl = g_downloadUrl,
     .operation = L"MINPATCH",
     .productName = L"Orvella 1.0.1",
     .uiLevel = 5,
     .languages = kOrvellaPatchLanguages},
    {},
};

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {
    .baseUrl = g_engineUrl,
    .ansiInstaller = L"InstMSIA.exe",
    .unicodeInstaller = L"InstMSIW.exe",
    .minimumVersion = 200,
    .products = kProducts,
};
