// Which file is installed for the chosen language and the running system, and
// where it comes from: beside the setup when it is current, otherwise
// downloaded and checked for a trusted signature.
#pragma once

#include "afx/handles.h"
#include "afx/wstring.h"
#include "app/app.h"
#include "app/config.h"
#include "install/fetch.h"

struct PackageChoice {
  const wchar_t* file;  // bare file name
  bool isPatch;         // taken from the patch fields
};

// The full package for the platform, or the patch where no full package is
// configured; 0, or 1633 after message 36 when neither exists.
SetupResult ChoosePackage(const LanguageEntry& language, BOOL notNt, PackageChoice* choice);

// The path of a usable copy of `packageFile`: beside the setup when it is
// current and trusted, otherwise downloaded into the download cache and
// trusted. `held` receives the file opened for reading and shared for reading
// only, from before its check; the caller keeps it until the engine has
// returned. 0, or 2, 4, 14, 120, 1602 after the message that tells why.
SetupResult AcquirePackage(CPelorinApp& app, const ProductEntry& product, const wchar_t* packageFile,
                           WString& packagePath, UniqueHandle& held);

// Whether the package at `path` carries the ProductVersion `productVersion`.
bool IsLocalPackageCurrent(const MsiApi& msi, const wchar_t* path, const wchar_t* productVersion);

// The first column of the first row of `query` run on the package at `path`,
// when it is shorter than `capacity` characters.
bool ReadPackageProperty(const MsiApi& msi, const wchar_t* path, const wchar_t* query, DWORD capacity,
                         WString& value);

// What the fetch of a package and of the engine redistributable share: the
// file at `path` (first beside the setup, then the download) held into
// `held`, the download from `url` through the progress window, and the
// user's Cancel seen there.
class HeldFileSteps : public FetchSteps {
public:
  // `notFound`: the message that names a file that could not be had.
  HeldFileSteps(CNapredekDlg& progress, const wchar_t* name, UINT notFound, WString& path, UniqueHandle& held)
      : m_progress(progress), m_name(name), m_notFound(notFound), m_path(path), m_held(held) {}
  LocalCopyState HoldLocalCopy() override;
  Downloaded DownloadAndHold() override;
  void Release() override { m_held.Reset(); }
  bool Cancelled() override { return m_progress.TellIfCancelled(); }
  void Tell(FetchMessage message) override;

protected:
  ~HeldFileSteps() = default;
  // The URL to download from, built into m_url; false when memory ran out
  // (the user told).
  virtual bool BuildUrl() = 0;

  CNapredekDlg& m_progress;
  const wchar_t* m_name;  // the file's name, beside the setup and on the server
  UINT m_notFound;
  WString& m_path;
  UniqueHandle& m_held;
  WString m_url;

private:
  // Downloads into a file of the run's folder, tried again on the way.
  Downloaded DownloadToRunFolder();
  static void TellWait(void* steps, DWORD seconds);
};
