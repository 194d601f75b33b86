// Test setup: a product without a language array: it fails with 160 without
// a message.
#include "app/config.h"

namespace {

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Nothing", nullptr, nullptr, 0, 5, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, nullptr},
};

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {PELORIN_ENGINE_URL, L"InstMSIA.exe", L"InstMSIW.exe", 200, kProducts};
