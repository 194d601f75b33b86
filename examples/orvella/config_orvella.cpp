// Orvella 1.0, in English only, for 64-bit Windows (x64) only, followed by
// its first patch, Orvella 1.0.1.
//
// A copy of this file with other names and files is all a vendor changes to
// make a setup for their own product; docs/vendor-guide.md goes through each
// field. The build fills in the two addresses (PELORIN_DOWNLOAD_URL,
// PELORIN_ENGINE_URL), so the same source serves a test server and the real one.
#include "app/config.h"

#ifndef PELORIN_DOWNLOAD_URL
#error "PELORIN_DOWNLOAD_URL must be set by the build"
#endif
#ifndef PELORIN_ENGINE_URL
#error "PELORIN_ENGINE_URL must be set by the build"
#endif

namespace {

// One language: the setup shows no language dialog. Only the x64 field is
// set: a 32-bit or ARM64 system is told that there is no package for it.
const LanguageEntry kOrvellaLanguages[] = {
    {0x0409, L"English", nullptr, nullptr, L"Orvella.1.0.x64.msi", nullptr, nullptr, nullptr, nullptr, nullptr},
    {0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

// The patch is a product record of its own: a record whose only file for a
// platform is a patch has it applied to the installed product.
const LanguageEntry kOrvellaPatchLanguages[] = {
    {0x0409, L"English", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, L"Orvella.1.0.1.x64.msp", nullptr},
    {0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Orvella", nullptr, L"1.0", 0, 5, kOrvellaLanguages},
    {PELORIN_DOWNLOAD_URL, L"MINPATCH", L"Orvella 1.0.1", nullptr, nullptr, 0, 5, kOrvellaPatchLanguages},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr},
};

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {PELORIN_ENGINE_URL, L"InstMSIA.exe", L"InstMSIW.exe", 200, kProducts};
