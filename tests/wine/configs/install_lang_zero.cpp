// Installation test setup: a product whose first language entry has LANGID 0
// although real entries follow it. The product fails with 160 before any of
// its files, its operation or its download address is looked at (the
// operation keyword here is not even valid, and the server would answer).
#include "records.h"

namespace {

const LanguageEntry kLanguages[] = {
    {0, L"Nobody", nullptr, L"Tamaris.Win32.En.msi", L"Tamaris.x64.En.msi", L"Tamaris.ARM64.En.msi", nullptr,
     nullptr, nullptr, nullptr},
    kTamarisEnglish,
    {0x0424, L"Sloven\u0161\u010Dina", nullptr, L"Tamaris.Win32.Sl.msi", L"Tamaris.x64.Sl.msi",
     L"Tamaris.ARM64.Sl.msi", nullptr, nullptr, nullptr, nullptr},
    kEndOfLanguages,
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"NOSUCHOPERATION", L"Tamaris", nullptr, L"4.12", 0, 5, kLanguages},
    kEndOfProducts,
};

}  // namespace

TEST_SETUP_RECORDS(kProducts);
