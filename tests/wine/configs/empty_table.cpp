// Test setup: a product table whose first entry has no product name, so the
// worker installs nothing and ends with 0.
#include "records.h"

namespace {

const ProductEntry kProducts[] = {
    kEndOfProducts,
};

}  // namespace

TEST_SETUP_RECORDS(kProducts);
