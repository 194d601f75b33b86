#include "install/signature.h"

// Placeholder until signature checking is built: the system is taken as
// unable to check, so nothing is ever called trusted.
SignatureCheck VerifyFileSignature(const wchar_t*, const wchar_t*, HWND) { return SignatureUnsupported; }
