// Tamaris 4.12, in Slovenian and English, for x86, x64 and ARM64.
#include "app/config.h"

#ifndef PELORIN_DOWNLOAD_URL
#error "PELORIN_DOWNLOAD_URL must be set by the build"
#endif
#ifndef PELORIN_ENGINE_URL
#error "PELORIN_ENGINE_URL must be set by the build"
#endif

namespace {

const LanguageEntry kTamarisLanguages[] = {
    {0x0424, L"Sloven\u0161\u010Dina", nullptr, L"Tamaris.Win32.Sl.msi", L"Tamaris.x64.Sl.msi",
     L"Tamaris.ARM64.Sl.msi", nullptr, nullptr, nullptr, nullptr},
    {0x0409, L"English", nullptr, L"Tamaris.Win32.En.msi", L"Tamaris.x64.En.msi", L"Tamaris.ARM64.En.msi",
     nullptr, nullptr, nullptr, nullptr},
    {0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Tamaris", nullptr, L"4.12", 0, 5, kTamarisLanguages},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr},
};

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {PELORIN_ENGINE_URL, L"InstMSIA.exe", L"InstMSIW.exe", 200, kProducts};
