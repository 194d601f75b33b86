// Running a child process from the worker thread and waiting for its end
// while the thread's own messages are still served.
#pragma once

#include <windows.h>

#include "app/setup_result.h"

// Runs the engine redistributable at `upgradePath` as
//   "<upgradePath>" /c:"msiinst /delayreboot"
// and gives its exit code unchanged; when it cannot be run, the platform's
// error code (2 for a missing file), 14 when memory runs out, or 1603 when
// the command line cannot be built.
SetupResult RunEngineUpgrade(const wchar_t* upgradePath);

// Has a second instance of the setup at `exePath` check the signature of
// `filePath`:
//   "<exePath>" /v "<filePath>"
// Its exit code is the verdict: 0 trusted, TRUST_E_PROVIDER_UNKNOWN when the
// system cannot check signatures, TRUST_E_SUBJECT_NOT_TRUSTED otherwise.
// Failures to run it give the codes of RunEngineUpgrade.
SetupResult RunSignatureCheck(const wchar_t* exePath, const wchar_t* filePath);

// Waits, without time-out, for `process` to end, taking and dispatching one
// message of the calling thread's queue each time one is there. A quit
// message is dispatched like any other and does not end the wait. 0 when the
// process has ended; the platform's error code when waiting fails.
DWORD WaitPumpingMessages(HANDLE process);
