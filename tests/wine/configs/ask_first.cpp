// Test setup: two products that each ask first (message 20) whether to
// install them; one language each, so no language dialog follows a Yes.
// Answering No to both installs nothing and ends with 0.
#include "records.h"

namespace {

const LanguageEntry kLanguages[] = {
    {0x0409, L"English", nullptr, L"Alpha.Win32.msi", L"Alpha.x64.msi", L"Alpha.ARM64.msi", nullptr, nullptr,
     nullptr, nullptr},
    kEndOfLanguages,
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Alpha \u010Cebela", nullptr, nullptr, 1, 5, kLanguages},
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Beta", nullptr, nullptr, 1, 5, kLanguages},
    kEndOfProducts,
};

}  // namespace

TEST_SETUP_RECORDS(kProducts);
