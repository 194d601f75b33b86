// What the fetch of a package and of the engine redistributable share: the
// file at `path` (first beside the setup, then the download) held into
// `held`, the download from the URL into a file of the run's folder through
// the progress window, its failure told with its cause, and the user's
// Cancel seen there. Each kind of file adds how it is checked and told.
#pragma once

#include "afx/handles.h"
#include "afx/wstring.h"
#include "install/download.h"
#include "install/fetch.h"
#include "app/app.h"

class HeldFileSteps : public FetchSteps {
public:
  // `notFound`: the message that names a file that could not be had.
  HeldFileSteps(CPelorinApp& app, const wchar_t* name, UINT notFound, WString& path, UniqueHandle& held)
      : m_progress(app.m_progressDlg), m_runFolder(app.m_runFolder), m_name(name), m_notFound(notFound),
        m_path(path), m_held(held) {}
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
  WString& m_runFolder;  // the run's own folder, made with its first download
  const wchar_t* m_name;  // the file's name, beside the setup and on the server
  UINT m_notFound;
  WString& m_path;
  UniqueHandle& m_held;
  WString m_url;

private:
  static void TellWait(void* steps, DWORD seconds);

  // Why the download failed, for the message that tells it.
  DownloadFailure m_failure;
};
