// Installation test setup: Tamaris 4.12 in English only. With one language
// the setup asks nothing and installs the English package for the system.
#include "app/config.h"

namespace {

const LanguageEntry kLanguages[] = {
    {0x0409, L"English", nullptr, L"Tamaris.Win32.En.msi", L"Tamaris.x64.En.msi", L"Tamaris.ARM64.En.msi", nullptr,
     nullptr, nullptr, nullptr},
    {0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Tamaris", nullptr, L"4.12", 0, 5, kLanguages},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr},
};

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {PELORIN_ENGINE_URL, L"InstMSIA.exe", L"InstMSIW.exe", 200, kProducts};
