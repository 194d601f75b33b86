// Installation test setup: Tamaris 4.12 in English only, whose downloads
// give up after 3 seconds without data instead of a minute, so that a test
// can wait for it.
#include "records.h"
#include "app/seams.h"

namespace {

const LanguageEntry kLanguages[] = {
    kTamarisEnglish,
    kEndOfLanguages,
};

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Tamaris", nullptr, L"4.12", 0, 5, kLanguages},
    kEndOfProducts,
};

struct ShortNoDataLimit {
  ShortNoDataLimit() { g_seams.downloadNoDataLimitMs = 3000; }
} g_shortNoDataLimit;

}  // namespace

TEST_SETUP_RECORDS(kProducts);
