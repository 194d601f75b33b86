// Installation test setup: Tamaris in English with the operation that updates
// an installed product, written in mixed case as an author might: a first run
// installs it, a later run reinstalls it over the installed copy.
#include "records.h"

namespace {

const LanguageEntry kLanguages[] = {
    kTamarisEnglish,
    kEndOfLanguages,
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"InstallUpd", L"Tamaris", nullptr, L"4.12", 0, 5, kLanguages},
    kEndOfProducts,
};

}  // namespace

TEST_SETUP_RECORDS(kProducts);
