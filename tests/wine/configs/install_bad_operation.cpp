// Installation test setup: Tamaris authored with an operation keyword that
// does not exist. The setup must refuse before it downloads anything.
#include "app/config.h"

namespace {

const LanguageEntry kLanguages[] = {
    {0x0409, L"English", nullptr, L"Tamaris.Win32.En.msi", L"Tamaris.x64.En.msi", L"Tamaris.ARM64.En.msi", nullptr,
     nullptr, nullptr, nullptr},
    {0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"UPGRADE", L"Tamaris", nullptr, L"4.12", 0, 5, kLanguages},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr},
};

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {PELORIN_ENGINE_URL, L"InstMSIA.exe", L"InstMSIW.exe", 200, kProducts};
