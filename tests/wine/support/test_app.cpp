// The application object of a test program that calls the setup's code
// directly. It is not started: tests set the members they need.
#include "app/app.h"

static CPelorinApp theApp;

CPelorinApp& App() { return theApp; }

// The build options of test programs (app/build_options.h): nothing listens
// at the addresses, no signer is pinned (the pin is tried with a setup built
// with one), and one try, the default build's (more are tried with a setup
// built with more).
extern const wchar_t g_downloadUrl[] = L"http://127.0.0.1:1/prenos/?paket=";
extern const wchar_t g_engineUrl[] = L"http://127.0.0.1:1/MSI/2.0/";
extern const wchar_t g_trustedSigner[] = L"";
extern const unsigned g_downloadTries = 1;
