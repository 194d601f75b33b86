// The verdict on a file's signature, and the exit code that carries it from a
// second instance of the setup ("/v") to the first. Portable: it needs
// nothing of Windows.
#pragma once

#include "app/setup_result.h"

enum SignatureCheck {
  SignatureUnsupported = 0,  // the system cannot check signatures
  SignatureTrusted = 1,
  SignatureNotTrusted = 2,
};

// The exit code of "/v" for `verdict`: 0, TRUST_E_PROVIDER_UNKNOWN or
// TRUST_E_SUBJECT_NOT_TRUSTED.
inline SetupResult VerifyExitCode(SignatureCheck verdict) {
  switch (verdict) {
    case SignatureTrusted: return 0;
    case SignatureUnsupported: return kResultSignaturesUnsupported;
    default: return kResultSubjectNotTrusted;
  }
}

// The verdict that the exit code of "/v" tells. Any other code (also a check
// that could not run) is not trusted: an unchecked file is never used.
inline SignatureCheck VerdictOfExitCode(SetupResult code) {
  if (code == VerifyExitCode(SignatureTrusted)) return SignatureTrusted;
  if (code == VerifyExitCode(SignatureUnsupported)) return SignatureUnsupported;
  return SignatureNotTrusted;
}
