// Installation test setup: Tamaris 4.12 in English only. With one language
// the setup asks nothing and installs the English package for the system.
#include "records.h"

namespace {

const LanguageEntry kLanguages[] = {
    kTamarisEnglish,
    kEndOfLanguages,
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Tamaris", nullptr, L"4.12", 0, 5, kLanguages},
    kEndOfProducts,
};

}  // namespace

TEST_SETUP_RECORDS(kProducts);
