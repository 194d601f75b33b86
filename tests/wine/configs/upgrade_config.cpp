// Product records of the engine upgrade tests: no product, so that a setup
// run ends right after the engine gate and the binding of the engine; and
// the engine redistributables on a loopback server whose address a test
// writes into g_testEngineUrl before the run (the server's port is chosen
// when it starts).
#include "app/config.h"

wchar_t g_testEngineUrl[256] = L"http://127.0.0.1:1/MSI/2.0/";

namespace {

const ProductEntry kNoProducts[] = {{}};

}  // namespace

const EngineUpgradeEntry g_engineUpgrade = {.baseUrl = g_testEngineUrl, .ansiInstaller = L"InstMSIA.exe",
                                            .unicodeInstaller = L"InstMSIW.exe", .minimumVersion = 200,
                                            .products = kNoProducts};
