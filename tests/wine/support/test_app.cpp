// The application object of a test program that calls the setup's code
// directly. It is not started: tests set the members they need.
#include "app/app.h"

static CPelorinApp theApp;

CPelorinApp& App() { return theApp; }

// No signer is pinned in test programs; the pin is tried with a setup built
// with one.
extern const wchar_t* const g_trustedSigner = L"";
// One try, the default build's; more are tried with a setup built with more.
extern const unsigned g_downloadTries = 1;
