// Installation test setup: Tamaris in English whose package version is
// written with 16 characters. A package of that version beside the setup
// cannot be read as current (the version is too long for the setup to read),
// so the package is downloaded all the same.
#include "records.h"

namespace {

const LanguageEntry kLanguages[] = {
    kTamarisEnglish,
    kEndOfLanguages,
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Tamaris", nullptr, L"4.12.00000.00001", 0, 5, kLanguages},
    kEndOfProducts,
};

}  // namespace

TEST_SETUP_RECORDS(kProducts);
