// Whether a file carries a trusted Authenticode signature, as the system's
// own check (wintrust.dll) judges it. wintrust.dll and crypt32.dll are loaded
// for each check and released after it; a system without them, or without
// one of the entries used, cannot check signatures.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

enum SignatureCheck {
  SignatureUnsupported = 0,  // the system cannot check signatures
  SignatureTrusted = 1,
  SignatureNotTrusted = 2,
};

// Checks `file`. `referenceFile` (the setup itself) decides how much of the
// system's trust dialog may be shown: a file signed with the same certificate
// as the setup is checked silently, with a dialog only when it fails (and
// is read only once when it passes); any other file may get the system's
// full dialog. `owner` may be null.
SignatureCheck VerifyFileSignature(const wchar_t* referenceFile, const wchar_t* file, HWND owner);

// One check of `file` with the UI choice `ui` (WTD_UI_NONE, WTD_UI_ALL,
// WTD_UI_NOGOOD). When wanted, `isSigned` tells whether the file carries a
// signature at all (valid or not), and `signer` receives a copy of the
// signer's certificate, which the caller frees with CertFreeCertificateContext
// (null when none could be taken).
SignatureCheck QueryTrust(const wchar_t* file, DWORD ui, HWND owner, BOOL* isSigned, PCCERT_CONTEXT* signer);

// Finds WinVerifyTrust in the loaded wintrust.dll. Tests replace it, and
// restore it, to watch the requests the checks make (the UI choice, the
// window) or to play a system whose wintrust.dll lacks the entry.
struct TrustSeams {
  decltype(&WinVerifyTrust) (*findWinVerifyTrust)(HMODULE wintrust);
};
extern TrustSeams g_trustSeams;
