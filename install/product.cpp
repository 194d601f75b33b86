#include "install/product.h"

// Placeholder until package installation is built: installs nothing and says
// so through the exit code instead of reporting success.
SetupResult InstallProduct(CPelorinApp&, const ProductEntry&) { return ERROR_CALL_NOT_IMPLEMENTED; }
