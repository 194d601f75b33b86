// What the test setups' product records have in common: Tamaris 4.12 in
// English, the entries that end the two tables, and the setup-wide record.
#pragma once

#include "app/config.h"

inline constexpr LanguageEntry kTamarisEnglish = {
    0x0409, L"English", nullptr, L"Tamaris.Win32.En.msi", L"Tamaris.x64.En.msi", L"Tamaris.ARM64.En.msi",
    nullptr, nullptr, nullptr, nullptr};
inline constexpr LanguageEntry kEndOfLanguages = {};
inline constexpr ProductEntry kEndOfProducts = {};

// The setup-wide record of a test setup that installs `products`.
#define TEST_SETUP_RECORDS(products) \
  const EngineUpgradeEntry g_engineUpgrade = {PELORIN_ENGINE_URL, L"InstMSIA.exe", L"InstMSIW.exe", 200, products}
