#include "install/signature.h"

#include <softpub.h>
#include <stddef.h>
#include <wchar.h>

#include "afx/system_library.h"
#include "app/build_options.h"
#include "afx/seams.h"

namespace {

// Hex digits of a SHA-256.
const int kKeyHashLength = 64;

// The request as every system since the first with Authenticode knows it:
// later systems added members at the end, which are left out (48 bytes in a
// 32-bit process).
const DWORD kTrustDataSize = offsetof(WINTRUST_DATA, dwUIContext) + sizeof(DWORD);
static_assert(sizeof(void*) != 4 || (kTrustDataSize == 48 && sizeof(WINTRUST_FILE_INFO) == 16),
              "the 32-bit request has the sizes every system knows");

// A signer certificate owned by VerifyFileSignature, freed with crypt32's
// entry on every path.
class SignerCertificate {
public:
  explicit SignerCertificate(decltype(&CertFreeCertificateContext) free) : m_free(free) {}
  SignerCertificate(const SignerCertificate&) = delete;
  SignerCertificate& operator=(const SignerCertificate&) = delete;
  ~SignerCertificate() {
    if (m_context) m_free(m_context);
  }
  PCCERT_CONTEXT get() const { return m_context; }
  PCCERT_CONTEXT* Receive() { return &m_context; }

private:
  decltype(&CertFreeCertificateContext) m_free;
  PCCERT_CONTEXT m_context = nullptr;
};

// A copy of the certificate of the first signer in the verification state, or
// null when the state holds none.
PCCERT_CONTEXT CopySignerCertificate(const SystemLibrary& wintrust, HANDLE state) {
  auto providerData = SYSTEM_PROC(wintrust, WTHelperProvDataFromStateData);
  auto signerFromChain = SYSTEM_PROC(wintrust, WTHelperGetProvSignerFromChain);
  auto certFromChain = SYSTEM_PROC(wintrust, WTHelperGetProvCertFromChain);
  CRYPT_PROVIDER_DATA* provider = providerData(state);
  CRYPT_PROVIDER_SGNR* signer = provider ? signerFromChain(provider, 0, FALSE, 0) : nullptr;
  CRYPT_PROVIDER_CERT* certificate = signer ? certFromChain(signer, 0) : nullptr;
  if (!certificate || !certificate->pCert) return nullptr;
  // The copy outlives the state, which is closed next.
  SystemLibrary crypt32(L"crypt32.dll");
  auto duplicate = SYSTEM_PROC(crypt32, CertDuplicateCertificateContext);
  return duplicate ? duplicate(certificate->pCert) : nullptr;
}

// The hash of the public key of `certificate`: SHA-256 of its encoded
// SubjectPublicKeyInfo, in lower-case hex. False when the system cannot tell.
bool KeyHash(PCCERT_CONTEXT certificate, wchar_t (&hex)[kKeyHashLength + 1]) {
  hex[0] = L'\0';
  if (!certificate) return false;
  SystemLibrary crypt32(L"crypt32.dll");
  auto encode = SYSTEM_PROC(crypt32, CryptEncodeObject);
  auto hash = SYSTEM_PROC(crypt32, CryptHashCertificate2);
  if (!encode || !hash) return false;
  CERT_PUBLIC_KEY_INFO* key = &certificate->pCertInfo->SubjectPublicKeyInfo;
  DWORD size = 0;
  if (!encode(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, nullptr, &size) || size == 0) return false;
  BYTE* encoded = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, size));
  if (!encoded) return false;
  BYTE digest[kKeyHashLength / 2];
  DWORD digestSize = sizeof(digest);
  bool hashed = encode(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, encoded, &size) &&
                hash(L"SHA256", 0, nullptr, encoded, size, digest, &digestSize) && digestSize == sizeof(digest);
  HeapFree(GetProcessHeap(), 0, encoded);
  if (!hashed) return false;
  static const wchar_t kHex[] = L"0123456789abcdef";
  for (DWORD i = 0; i < sizeof(digest); ++i) {
    hex[2 * i] = kHex[digest[i] >> 4];
    hex[2 * i + 1] = kHex[digest[i] & 15];
  }
  hex[kKeyHashLength] = L'\0';
  return true;
}

// The key that "self" pins: the one whose valid signature the setup itself
// carries, read once at start-up (PinSetupSigner). Empty while none is known:
// an unsigned setup pinned to itself trusts nothing.
wchar_t g_setupKey[kKeyHashLength + 1];

// Whether a list entry (`length` characters at `entry`) names the key `hex`.
bool EntryNames(const wchar_t* entry, int length, const wchar_t* hex) {
  if (length == 4 && wcsncmp(entry, L"self", 4) == 0) {
    entry = g_setupKey;
    length = lstrlenW(g_setupKey);
  }
  // The build option may be written in either case.
  return length == kKeyHashLength &&
         CompareStringW(MAKELCID(0x0409, SORT_DEFAULT), NORM_IGNORECASE, hex, kKeyHashLength, entry, length) ==
             CSTR_EQUAL;
}

// Whether the public key of `certificate` is one that the pin list names.
// A system that cannot tell gives false: with a pin, nothing unproven is
// trusted.
bool MatchesPin(PCCERT_CONTEXT certificate, const wchar_t* pins) {
  wchar_t hex[kKeyHashLength + 1];
  if (!KeyHash(certificate, hex)) return false;
  for (const wchar_t* entry = pins; *entry;) {
    const wchar_t* end = entry;
    while (*end && *end != L';') ++end;
    if (EntryNames(entry, (int)(end - entry), hex)) return true;
    entry = *end ? end + 1 : end;
  }
  return false;
}

}  // namespace

SignatureCheck QueryTrust(const wchar_t* file, DWORD ui, HWND owner, BOOL* isSigned, PCCERT_CONTEXT* signer,
                          HANDLE fileHandle) {
  if (isSigned) *isSigned = FALSE;
  if (signer) *signer = nullptr;

  SystemLibrary wintrust(L"wintrust.dll");
  auto verify =
      g_seams.findWinVerifyTrust ? g_seams.findWinVerifyTrust(wintrust.get()) : SYSTEM_PROC(wintrust, WinVerifyTrust);
  if (!wintrust || !verify || !SYSTEM_PROC(wintrust, WTHelperProvDataFromStateData) ||
      !SYSTEM_PROC(wintrust, WTHelperGetProvSignerFromChain) || !SYSTEM_PROC(wintrust, WTHelperGetProvCertFromChain))
    return SignatureUnsupported;

  WINTRUST_FILE_INFO fileInfo = {};
  fileInfo.cbStruct = sizeof(fileInfo);
  fileInfo.pcwszFilePath = file;
  if (fileHandle) {
    // Read from its start, whatever an earlier check left behind.
    fileInfo.hFile = fileHandle;
    SetFilePointer(fileHandle, 0, nullptr, FILE_BEGIN);
  }
  WINTRUST_DATA request = {};
  request.cbStruct = kTrustDataSize;
  request.dwUIChoice = ui;
  // Never asks the network about revoked certificates: a setup may run
  // offline, and the answer must not depend on the system's settings.
  request.fdwRevocationChecks = WTD_REVOKE_NONE;
  request.dwUnionChoice = WTD_CHOICE_FILE;
  request.pFile = &fileInfo;
  // The verification state is kept only when the signer is to be read from it.
  request.dwStateAction = signer ? WTD_STATEACTION_VERIFY : WTD_STATEACTION_IGNORE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  // INVALID_HANDLE_VALUE tells the system that nobody may be asked.
  HWND window = ui == WTD_UI_NONE ? (HWND)INVALID_HANDLE_VALUE : owner;
  LONG answer = verify(window, &action, &request);

  if (answer != TRUST_E_PROVIDER_UNKNOWN) {
    if (isSigned) *isSigned = answer != TRUST_E_NOSIGNATURE;
    // Taken even from a signature that failed the check: the certificate only
    // decides how much dialog the final check may show.
    if (signer && answer != TRUST_E_NOSIGNATURE) *signer = CopySignerCertificate(wintrust, request.hWVTStateData);
  }

  if (signer || answer == TRUST_E_NOSIGNATURE || answer == TRUST_E_PROVIDER_UNKNOWN) {
    request.dwStateAction = WTD_STATEACTION_CLOSE;
    request.dwUIChoice = WTD_UI_NONE;
    verify((HWND)INVALID_HANDLE_VALUE, &action, &request);
  }

  if (answer == TRUST_E_PROVIDER_UNKNOWN) return SignatureUnsupported;
  return answer == ERROR_SUCCESS ? SignatureTrusted : SignatureNotTrusted;
}

namespace {

// The verdict on a file the system trusts, given the pin: trusted when no
// signer is pinned or the file's signer (`signer`, or read from the file when
// not yet known) has the pinned key.
SignatureCheck Pinned(PCCERT_CONTEXT signer, const wchar_t* file, HANDLE fileHandle) {
  if (!g_trustedSigner[0]) return SignatureTrusted;
  if (signer) return MatchesPin(signer, g_trustedSigner) ? SignatureTrusted : SignatureNotTrusted;
  SystemLibrary crypt32(L"crypt32.dll");
  auto freeCertificate = SYSTEM_PROC(crypt32, CertFreeCertificateContext);
  if (!freeCertificate) return SignatureNotTrusted;
  SignerCertificate fileSigner(freeCertificate);
  BOOL isSigned = FALSE;
  QueryTrust(file, WTD_UI_NONE, nullptr, &isSigned, fileSigner.Receive(), fileHandle);
  return MatchesPin(fileSigner.get(), g_trustedSigner) ? SignatureTrusted : SignatureNotTrusted;
}

}  // namespace

SignatureCheck VerifyFileSignature(const wchar_t* referenceFile, const wchar_t* file, HWND owner, HANDLE fileHandle) {
  SystemLibrary crypt32(L"crypt32.dll");
  auto compare = SYSTEM_PROC(crypt32, CertCompareCertificate);
  auto freeCertificate = SYSTEM_PROC(crypt32, CertFreeCertificateContext);
  if (!compare || !freeCertificate) return SignatureUnsupported;
  // Declared after the library, so freed before it is released.
  SignerCertificate referenceSigner(freeCertificate);
  SignerCertificate fileSigner(freeCertificate);

  BOOL referenceSigned = FALSE;
  if (QueryTrust(referenceFile, WTD_UI_NONE, owner, &referenceSigned, referenceSigner.Receive()) ==
      SignatureUnsupported)
    return SignatureUnsupported;

  // A file from the setup's own signer is checked without asking the user
  // anything unless it fails; any other may show the system's full dialog.
  DWORD ui = WTD_UI_ALL;
  if (referenceSigned) {
    BOOL fileSigned = FALSE;
    SignatureCheck silent = QueryTrust(file, WTD_UI_NONE, owner, &fileSigned, fileSigner.Receive(), fileHandle);
    if (silent == SignatureUnsupported) return SignatureUnsupported;
    // Same issuer and serial number: the same certificate.
    if (fileSigned && referenceSigner.get() && fileSigner.get() &&
        compare(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, referenceSigner.get()->pCertInfo,
                fileSigner.get()->pCertInfo)) {
      // Trusted already: the final check, which would show a dialog only on
      // failure, would show nothing and give the same answer after hashing
      // the whole file once more.
      if (silent == SignatureTrusted) return Pinned(fileSigner.get(), file, fileHandle);
      ui = WTD_UI_NOGOOD;
    }
  }
  SignatureCheck verdict = QueryTrust(file, ui, owner, nullptr, nullptr, fileHandle);
  return verdict == SignatureTrusted ? Pinned(fileSigner.get(), file, fileHandle) : verdict;
}

void PinSetupSigner(const wchar_t* setupFile, HANDLE setupHandle) {
  g_setupKey[0] = L'\0';
  if (!wcsstr(g_trustedSigner, L"self") || !setupHandle) return;
  SystemLibrary crypt32(L"crypt32.dll");
  auto freeCertificate = SYSTEM_PROC(crypt32, CertFreeCertificateContext);
  if (!freeCertificate) return;
  SignerCertificate signer(freeCertificate);
  // Only a signature that the system trusts names the setup's key: a setup
  // whose own signature fails pins nothing.
  if (QueryTrust(setupFile, WTD_UI_NONE, nullptr, nullptr, signer.Receive(), setupHandle) == SignatureTrusted)
    KeyHash(signer.get(), g_setupKey);
}
