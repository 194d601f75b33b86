#include "install/package.h"

#include "install/processor.h"
#include "install/signature.h"
#include "ui/messages.h"
#include "ui/resource.h"

namespace {

// The download cache hands back a path of at most 519 characters.
const DWORD kCachePathCapacity = 520;

// The field that fits the platform, out of the non-NT, x86, x64, ARM64 four.
const wchar_t* FieldForPlatform(BOOL notNt, const wchar_t* const fields[4]) {
  if (notNt) return fields[0];
  switch (GetNativeMachine()) {
    case IMAGE_FILE_MACHINE_I386: return fields[1];
    case IMAGE_FILE_MACHINE_AMD64: return fields[2];
    case IMAGE_FILE_MACHINE_ARM64: return fields[3];
    default: return nullptr;
  }
}

}  // namespace

SetupResult ChoosePackage(const LanguageEntry& language, BOOL notNt, PackageChoice* choice) {
  const wchar_t* const packages[4] = {language.packageNonNt, language.packageX86, language.packageX64,
                                      language.packageArm64};
  const wchar_t* const patches[4] = {language.patchNonNt, language.patchX86, language.patchX64, language.patchArm64};
  choice->isPatch = false;
  choice->file = FieldForPlatform(notNt, packages);
  if (!choice->file) {
    choice->isPatch = true;
    choice->file = FieldForPlatform(notNt, patches);
  }
  if (choice->file) return 0;
  ShowMessage(MSG_NO_PACKAGE_FOR_SYSTEM, MB_OK | MB_ICONERROR);
  // Not the user's cancel (1602), which scripts read differently.
  return ERROR_INSTALL_PLATFORM_UNSUPPORTED;
}

bool ReadPackageProperty(const MsiApi& msi, const wchar_t* path, const wchar_t* query, DWORD capacity,
                         WString& value) {
  value.Clear();
  MSIHANDLE database = 0, view = 0, record = 0;
  bool read = false;
  if (msi.MsiOpenDatabaseW(path, MSIDBOPEN_READONLY, &database) == ERROR_SUCCESS &&
      msi.MsiDatabaseOpenViewW(database, query, &view) == ERROR_SUCCESS &&
      msi.MsiViewExecute(view, 0) == ERROR_SUCCESS && msi.MsiViewFetch(view, &record) == ERROR_SUCCESS) {
    wchar_t* buffer = value.Buffer(capacity);
    if (buffer) {
      memset(buffer, 0, capacity * sizeof(wchar_t));
      DWORD length = capacity;
      // A value as long as the buffer or longer does not fit.
      read = msi.MsiRecordGetStringW(record, 1, buffer, &length) == ERROR_SUCCESS && length < capacity;
      if (read) value.SetLengthFromBuffer();
    }
  }
  if (database) msi.MsiCloseHandle(database);
  if (view) msi.MsiCloseHandle(view);
  if (record) msi.MsiCloseHandle(record);
  if (!read) value.Clear();
  return read;
}

bool IsLocalPackageCurrent(const MsiApi& msi, const wchar_t* path, const wchar_t* productVersion) {
  WString version;
  if (!ReadPackageProperty(msi, path, L"SELECT `Value` FROM `Property` WHERE `Property`='ProductVersion'", 16,
                           version))
    return false;
  return CompareStringW(MAKELCID(0x0409, SORT_DEFAULT), NORM_IGNORECASE, productVersion, -1, version.c_str(),
                        (int)version.length()) == CSTR_EQUAL;
}

namespace {

// Checks the signature of the package held open at `path`, telling the user
// what is checked. 0 with `verdict` set, or 1602 or 120 after the message
// that tells why no verdict came.
SetupResult CheckHeldPackage(CPelorinApp& app, const wchar_t* packageFile, const wchar_t* path, HANDLE held,
                             SignatureCheck* verdict) {
  CNapredekDlg& progress = app.m_progressDlg;
  progress.SetDetail(FormatMessageText(MSG_VERIFYING_SIGNATURE, {packageFile}).c_str());
  if (progress.TellIfCancelled()) return ERROR_INSTALL_USEREXIT;
  *verdict = VerifyFileSignature(app.m_exePath.c_str(), path, progress.m_hWnd, held);
  if (*verdict != SignatureUnsupported) return 0;
  ShowMessage(MSG_NO_SIGNATURES, MB_OK | MB_ICONERROR);
  return ERROR_CALL_NOT_IMPLEMENTED;
}

}  // namespace

SetupResult AcquirePackage(CPelorinApp& app, const ProductEntry& product, const wchar_t* packageFile,
                           WString& packagePath, UniqueHandle& held) {
  packagePath.Clear();
  if (!packagePath.Append(app.m_exeDir) || !packagePath.Append(packageFile)) return TellOutOfMemory();
  // A copy beside the setup is used when its signature is trusted and it is
  // current; it is held from before the check until the engine is done with
  // it, so that nobody can swap it in between. The check comes first: the
  // engine's database reader never sees a file that anyone may have left in
  // a Downloads folder.
  bool refused = false;
  LocalCopy local = HoldLocalCopy(packagePath.c_str(), held);
  if (local == LocalCopyRefused) return kResultNotTrusted;
  if (local == LocalCopyHeld) {
    SignatureCheck verdict = SignatureNotTrusted;
    SetupResult checked = CheckHeldPackage(app, packageFile, packagePath.c_str(), held.get(), &verdict);
    if (checked != 0) return checked;
    refused = verdict != SignatureTrusted;
    if (!refused &&
        (!product.productVersion || IsLocalPackageCurrent(app.m_msi, packagePath.c_str(), product.productVersion)))
      return 0;
    held.Reset();
  }
  if (!product.downloadUrl) {
    ShowError(refused ? MSG_NOT_TRUSTED : MSG_PACKAGE_NOT_FOUND, {packagePath.c_str()});
    return refused ? kResultNotTrusted : ERROR_FILE_NOT_FOUND;
  }

  WString url;
  if (!url.Append(product.downloadUrl) || !url.Append(packageFile)) return TellOutOfMemory();
  CNapredekDlg& progress = app.m_progressDlg;
  progress.SetDetail(FormatMessageText(MSG_DOWNLOADING_PACKAGE, {packageFile}).c_str());
  if (progress.TellIfCancelled()) return ERROR_INSTALL_USEREXIT;
  wchar_t cached[kCachePathCapacity] = {};
  HRESULT downloaded = progress.Download(url.c_str(), cached, kCachePathCapacity);
  cached[kCachePathCapacity - 1] = L'\0';
  packagePath.Clear();
  if (SUCCEEDED(downloaded) && !packagePath.Append(cached)) return TellOutOfMemory();
  // A cancelled download fails too: it is told as the cancellation it is.
  if (progress.TellIfCancelled()) return ERROR_INSTALL_USEREXIT;
  if (FAILED(downloaded) || packagePath.empty() || packagePath.length() >= MAX_PATH) {
    ShowError(MSG_PACKAGE_NOT_FOUND, {url.c_str()});
    return ERROR_FILE_NOT_FOUND;
  }

  held.Reset(OpenHeldFile(packagePath.c_str()));
  SignatureCheck verdict = SignatureNotTrusted;
  if (held) {
    SetupResult checked = CheckHeldPackage(app, packageFile, packagePath.c_str(), held.get(), &verdict);
    if (checked != 0) return checked;
  }
  if (verdict == SignatureTrusted) return 0;
  held.Reset();
  ShowError(MSG_NOT_TRUSTED, {packagePath.c_str()});
  return kResultNotTrusted;
}
