// The application object of the setup executable. It is built before the
// framework starts and lives as long as the process.
#include "app/app.h"
#include "app/config.h"

static CPelorinApp theApp;

CPelorinApp& App() { return theApp; }

#ifndef PELORIN_TRUSTED_SIGNER
#define PELORIN_TRUSTED_SIGNER L""
#endif
// The signer pinned by the build option, if any (see install/signature.h).
extern const wchar_t* const g_trustedSigner = PELORIN_TRUSTED_SIGNER;

#ifndef PELORIN_DOWNLOAD_TRIES
#define PELORIN_DOWNLOAD_TRIES 1
#endif
// The download tries chosen by the build option (see app/config.h).
extern const unsigned g_downloadTries = PELORIN_DOWNLOAD_TRIES;
