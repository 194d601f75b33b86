// Installation test setup: Tamaris 4.12 in English, which can only be
// installed from a package beside the setup: there is no download address.
#include "records.h"

namespace {

const LanguageEntry kLanguages[] = {
    kTamarisEnglish,
    kEndOfLanguages,
};

const ProductEntry kProducts[] = {
    {nullptr, L"INSTALL", L"Tamaris", nullptr, L"4.12", 0, 5, kLanguages},
    kEndOfProducts,
};

}  // namespace

TEST_SETUP_RECORDS(kProducts);
