// Installation test setup: a product that offers no full package for x64,
// only a patch, so the x64 system gets the patch, applied as a patch. The
// operation is absent, which counts as "DEFAULT" (an update for a patch).
// It asks first, so that a test sees every status text the setup writes.
#include "records.h"

namespace {

const LanguageEntry kLanguages[] = {
    {0x0409, L"English", nullptr, L"Tamaris.Win32.En.msi", nullptr, L"Tamaris.ARM64.En.msi", nullptr,
     L"Tamaris.Win32.En.msp", L"Tamaris.x64.En.msp", nullptr},
    kEndOfLanguages,
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, nullptr, L"Tamaris", nullptr, L"4.12", 1, 5, kLanguages},
    kEndOfProducts,
};

}  // namespace

TEST_SETUP_RECORDS(kProducts);
