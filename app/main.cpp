// The application object of the setup executable. It is built before the
// framework starts and lives as long as the process.
#include "app/app.h"
#include "app/config.h"

static CPelorinApp theApp;

CPelorinApp& App() { return theApp; }

// The pinned signers, g_trustedSigner (install/signature.h), are defined in a
// source that the build makes from the setup's option.

#ifndef PELORIN_DOWNLOAD_TRIES
#define PELORIN_DOWNLOAD_TRIES 1
#endif
// The download tries chosen by the build option (see app/config.h).
extern const unsigned g_downloadTries = PELORIN_DOWNLOAD_TRIES;
