// Installation test setup: Tamaris in English with the operation that updates
// an installed product, written in mixed case as an author might: a first run
// installs it, a later run reinstalls it over the installed copy.
#include "app/config.h"

namespace {

const LanguageEntry kLanguages[] = {
    {0x0409, L"English", nullptr, L"Tamaris.Win32.En.msi", L"Tamaris.x64.En.msi", L"Tamaris.ARM64.En.msi", nullptr,
     nullptr, nullptr, nullptr},
    {0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"InstallUpd", L"Tamaris", nullptr, L"4.12", 0, 5, kLanguages},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr},
};

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {PELORIN_ENGINE_URL, L"InstMSIA.exe", L"InstMSIW.exe", 200, kProducts};
