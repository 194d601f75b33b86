#include "install/fetch_steps.h"

#include "app/build_options.h"
#include "install/held_file.h"
#include "install/run_folder.h"
#include "ui/messages.h"
#include "ui/resource.h"

LocalCopyState HeldFileSteps::HoldLocalCopy() { return ::HoldLocalCopy(m_path.c_str(), m_held); }

Downloaded HeldFileSteps::DownloadAndHold() {
  m_url.Clear();
  m_failure = DownloadFailure();
  if (!BuildUrl()) return Downloaded::kOutOfMemory;
  // Into a file that the setup creates and holds, in a folder of the run's
  // own, made with the first download.
  if ((m_runFolder.empty() && !MakeRunFolder(m_runFolder)) || !CreateRunFile(m_runFolder, m_name, m_path, m_held)) {
    m_failure.error = GetLastError();
    return Downloaded::kFailed;
  }
  DownloadJob job = {m_url.c_str(), m_held.get(), g_downloadTries, m_progress.m_hWnd, m_progress.m_download,
                     m_progress.m_cancelled, TellWait, this};
  if (DownloadFile(job, m_failure))
    return KeepRunFileForUse(m_path.c_str(), m_held) ? Downloaded::kHeld : Downloaded::kNotHeld;
  // What arrived goes with the run's folder.
  m_held.Reset();
  return Downloaded::kFailed;
}

void HeldFileSteps::Tell(FetchMessage message) {
  switch (message) {
    case FetchMessage::kLocalNotFound: ShowError(m_notFound, {m_path.c_str()}); break;
    case FetchMessage::kDownloadFailed: {
      // The message names the address; the cause says what to do about it.
      WString text = FormatMessageText(m_notFound, {m_url.c_str()}), cause;
      DescribeFailure(m_failure, cause);
      if (text.Append(L"\n\n") && text.Append(cause)) ShowMessageText(text.c_str(), MB_ICONERROR);
      else ShowError(m_notFound, {m_url.c_str()});
      break;
    }
    case FetchMessage::kLocalNotTrusted:
    case FetchMessage::kNotTrusted: ShowError(MSG_NOT_TRUSTED, {m_path.c_str()}); break;
    case FetchMessage::kNoSignatures: ShowMessage(MSG_NO_SIGNATURES, MB_OK | MB_ICONERROR); break;
  }
}

void HeldFileSteps::TellWait(void* context, DWORD seconds) {
  auto steps = static_cast<HeldFileSteps*>(context);
  steps->m_progress.SetDetail(FormatMessageText(MSG_DOWNLOAD_RETRY, {steps->m_name, (uint32_t)seconds}).c_str());
}
