// Test setup: a product without a language array: it fails with 160 without
// a message.
#include "records.h"

namespace {

const ProductEntry kProducts[] = {
    {PELORIN_DOWNLOAD_URL, L"INSTALL", L"Nothing", nullptr, nullptr, 0, 5, nullptr},
    kEndOfProducts,
};

}  // namespace

TEST_SETUP_RECORDS(kProducts);
