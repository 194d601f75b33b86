#include "install/package.h"

#include "install/fetch_steps.h"
#include "install/processor.h"
#include "install/signature.h"
#include "ui/messages.h"
#include "ui/resource.h"

namespace {

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
  return kResultPlatformUnsupported;
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

// A package's steps: checked in the setup's own process, told in the words
// of a package.
class PackageSteps : public HeldFileSteps {
public:
  PackageSteps(CPelorinApp& app, const ProductEntry& product, const wchar_t* packageFile, WString& path,
               UniqueHandle& held)
      : HeldFileSteps(app, packageFile, MSG_PACKAGE_NOT_FOUND, path, held), m_app(app),
        m_product(product) {}

  bool LocalIsCurrent() override {
    return !m_product.productVersion || IsLocalPackageCurrent(m_app.m_msi, m_path.c_str(), m_product.productVersion);
  }
  bool CanDownload() override { return m_product.downloadUrl != nullptr; }
  SignatureCheck Check() override {
    return VerifyFileSignature(m_app.m_exePath.c_str(), m_path.c_str(), m_progress.m_hWnd, m_held.get());
  }
  void ShowStatus(FetchStatus status) override {
    UINT id = status == FetchStatus::kDownloading ? MSG_DOWNLOADING_PACKAGE : MSG_VERIFYING_SIGNATURE;
    m_progress.SetDetail(FormatMessageText(id, {m_name}).c_str());
  }

protected:
  bool BuildUrl() override {
    if (m_url.Append(m_product.downloadUrl) && m_url.Append(m_name)) return true;
    TellOutOfMemory();
    return false;
  }

private:
  CPelorinApp& m_app;
  const ProductEntry& m_product;
};

}  // namespace

SetupResult AcquirePackage(CPelorinApp& app, const ProductEntry& product, const wchar_t* packageFile,
                           WString& packagePath, UniqueHandle& held) {
  packagePath.Clear();
  if (!packagePath.Append(app.m_exeDir) || !packagePath.Append(packageFile)) return TellOutOfMemory();
  PackageSteps steps(app, product, packageFile, packagePath, held);
  return FetchTrusted(steps);
}
