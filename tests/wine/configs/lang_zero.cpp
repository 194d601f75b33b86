// Test setup: a product whose language array is empty (its first entry has
// langId 0): the product fails with 160 without a message.
#include "app/config.h"

namespace {

const LanguageEntry kLanguages[] = {
    {0, L"English", nullptr, L"Zero.Win32.msi", L"Zero.x64.msi", L"Zero.ARM64.msi", nullptr, nullptr, nullptr,
     nullptr},
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Zero", nullptr, nullptr, 0, 5, kLanguages},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr},
};

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {PELORIN_ENGINE_URL, L"InstMSIA.exe", L"InstMSIW.exe", 200, kProducts};
