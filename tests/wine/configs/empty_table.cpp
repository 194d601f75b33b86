// Test setup: a product table whose first entry has no product name, so the
// worker installs nothing and ends with 0.
#include "app/config.h"

namespace {

const ProductEntry kProducts[] = {
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr},
};

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {PELORIN_ENGINE_URL, L"InstMSIA.exe", L"InstMSIW.exe", 200, kProducts};
