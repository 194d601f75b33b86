// Tamaris 4.12, in Slovenian and English, for x86, x64 and ARM64.
#include "app/config.h"

namespace {

const LanguageEntry kTamarisLanguages[] = {
    {.langId = 0x0424,
     .displayName = L"Sloven\u0161\u010Dina",
     .packageX86 = L"Tamaris.Win32.Sl.msi",
     .packageX64 = L"Tamaris.x64.Sl.msi",
     .packageArm64 = L"Tamaris.ARM64.Sl.msi"},
    {.langId = 0x0409,
     .displayName = L"English",
     .packageX86 = L"Tamaris.Win32.En.msi",
     .packageX64 = L"Tamaris.x64.En.msi",
     .packageArm64 = L"Tamaris.ARM64.En.msi"},
    {},
};

const ProductEntry kProducts[] = {
    {.downloadUrl = g_downloadUrl,
     .operation = L"INSTALL",
     .productName = L"Tamaris",
     .productVersion = L"4.12",
     .uiLevel = 5,
     .languages = kTamarisLanguages},
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
