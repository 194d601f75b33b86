// Test setup: a product whose language array is empty (its first entry has
// langId 0): the product fails with 160 without a message.
#include "records.h"

namespace {

const LanguageEntry kLanguages[] = {
    {0, L"English", nullptr, L"Zero.Win32.msi", L"Zero.x64.msi", L"Zero.ARM64.msi", nullptr, nullptr, nullptr,
     nullptr},
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Zero", nullptr, nullptr, 0, 5, kLanguages},
    kEndOfProducts,
};

}  // namespace

TEST_SETUP_RECORDS(kProducts);
