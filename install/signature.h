// Whether a file carries a trusted Authenticode signature, as the system's
// own check (wintrust.dll) judges it. wintrust.dll and crypt32.dll are loaded
// for each check and released after it; a system without them, or without
// one of the entries used, cannot check signatures.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "install/signature_check.h"

// Checks `file`. `referenceFile` (the setup itself) decides how much of the
// system's trust dialog may be shown: a file signed with the same certificate
// as the setup is checked silently, with a dialog only when it fails (and
// is read only once when it passes); any other file may get the system's
// full dialog. `owner` may be null.
// When `fileHandle` is given (the file opened for reading, shared for reading
// only), the system reads the file through it, so that what is checked is
// what the caller holds. When the build pins signers (g_trustedSigner), a
// file whose signer has a public key that the pin does not name is not
// trusted, whatever else the system trusts.
SignatureCheck VerifyFileSignature(const wchar_t* referenceFile, const wchar_t* file, HWND owner,
                                   HANDLE fileHandle = nullptr);

// Reads the key that "self" stands for from the setup's own file, held open
// as `setupHandle`, when the pin names it. Called once at start-up, before
// any check. Without a held file, or a signature of its own that the system
// trusts, "self" names no key.
void PinSetupSigner(const wchar_t* setupFile, HANDLE setupHandle);

// One check of `file` with the UI choice `ui` (WTD_UI_NONE, WTD_UI_ALL,
// WTD_UI_NOGOOD). When wanted, `isSigned` tells whether the file carries a
// signature at all (valid or not), and `signer` receives a copy of the
// signer's certificate, which the caller frees with CertFreeCertificateContext
// (null when none could be taken).
// `fileHandle`, when given, is the file opened for reading.
SignatureCheck QueryTrust(const wchar_t* file, DWORD ui, HWND owner, BOOL* isSigned, PCCERT_CONTEXT* signer,
                          HANDLE fileHandle = nullptr);
