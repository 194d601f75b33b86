// Installation test setup: Tamaris in English whose package version is
// written with 16 characters. A package of that version beside the setup
// cannot be read as current (the version is too long for the setup to read),
// so the package is downloaded all the same.
#include "app/config.h"

namespace {

const LanguageEntry kLanguages[] = {
    {0x0409, L"English", nullptr, L"Tamaris.Win32.En.msi", L"Tamaris.x64.En.msi", L"Tamaris.ARM64.En.msi", nullptr,
     nullptr, nullptr, nullptr},
    {0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Tamaris", nullptr, L"4.12.00000.00001", 0, 5, kLanguages},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr},
};

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {PELORIN_ENGINE_URL, L"InstMSIA.exe", L"InstMSIW.exe", 200, kProducts};
