// Installation test setup: two products. The first, Tamaris in Slovenian, asks
// before anything else whether to install it; the second, Tamaris in English,
// does not ask. A No to the question skips the first product only.
#include "records.h"

namespace {

const LanguageEntry kSlovenian[] = {
    {0x0424, L"Sloven\u0161\u010Dina", nullptr, L"Tamaris.Win32.Sl.msi", L"Tamaris.x64.Sl.msi",
     L"Tamaris.ARM64.Sl.msi", nullptr, nullptr, nullptr, nullptr},
    kEndOfLanguages,
};

const LanguageEntry kEnglish[] = {
    kTamarisEnglish,
    kEndOfLanguages,
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Tamaris SL", nullptr, L"4.12", 1, 5, kSlovenian},
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Tamaris EN", nullptr, L"4.12", 0, 5, kEnglish},
    kEndOfProducts,
};

}  // namespace

TEST_SETUP_RECORDS(kProducts);
