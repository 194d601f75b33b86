// Whether a file carries a trusted Authenticode signature.
#pragma once

#include <windows.h>

enum SignatureCheck {
  SignatureUnsupported = 0,  // the system cannot check signatures
  SignatureTrusted = 1,
  SignatureNotTrusted = 2,
};

// Checks `file`; `referenceFile` (the setup itself) decides how much of the
// system's trust dialog may be shown. `owner` may be null.
SignatureCheck VerifyFileSignature(const wchar_t* referenceFile, const wchar_t* file, HWND owner);
