// Results of the setup's operations, with the values of the Windows error and
// Windows Installer codes. Every result that the setup gives of its own is
// named here, once (the platform's name beside it); a result of the Windows
// Installer engine, a child process or the platform is passed on as it came.
// Portable: it needs nothing of Windows.
#pragma once

#include <stdint.h>

typedef uint32_t SetupResult;

const SetupResult kResultFileNotFound = 2;             // ERROR_FILE_NOT_FOUND: not found, or not downloaded
const SetupResult kResultNotTrusted = 4;               // a file is not trusted (ERROR_TOO_MANY_OPEN_FILES by number)
const SetupResult kResultOutOfMemory = 14;             // ERROR_OUTOFMEMORY
const SetupResult kResultInvalidParameter = 87;        // ERROR_INVALID_PARAMETER: a record or file is unusable
const SetupResult kResultNoSignatures = 120;           // ERROR_CALL_NOT_IMPLEMENTED: signatures cannot be checked
const SetupResult kResultBadArguments = 160;           // ERROR_BAD_ARGUMENTS
const SetupResult kResultStartupFailed = 713;          // the framework's own initialisation failed
const SetupResult kResultCancelled = 1602;             // ERROR_INSTALL_USEREXIT: the user cancelled
const SetupResult kResultInstallFailure = 1603;        // ERROR_INSTALL_FAILURE
const SetupResult kResultAlreadyRunning = 1618;        // ERROR_INSTALL_ALREADY_RUNNING
const SetupResult kResultPlatformUnsupported = 1633;   // ERROR_INSTALL_PLATFORM_UNSUPPORTED
const SetupResult kResultRestartInitiated = 1641;      // ERROR_SUCCESS_REBOOT_INITIATED
const SetupResult kResultRestartRequired = 3010;       // ERROR_SUCCESS_REBOOT_REQUIRED

// The verdicts of "/v" other than 0 (trusted), as its exit code.
const SetupResult kResultSignaturesUnsupported = 0x800B0001;  // TRUST_E_PROVIDER_UNKNOWN
const SetupResult kResultSubjectNotTrusted = 0x800B0004;      // TRUST_E_SUBJECT_NOT_TRUSTED
