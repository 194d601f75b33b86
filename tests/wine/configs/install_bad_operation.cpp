// Installation test setup: Tamaris authored with an operation keyword that
// does not exist. The setup must refuse before it downloads anything.
#include "records.h"

namespace {

const LanguageEntry kLanguages[] = {
    kTamarisEnglish,
    kEndOfLanguages,
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"UPGRADE", L"Tamaris", nullptr, L"4.12", 0, 5, kLanguages},
    kEndOfProducts,
};

}  // namespace

TEST_SETUP_RECORDS(kProducts);
