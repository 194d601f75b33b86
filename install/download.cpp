#include "install/download.h"

#include "afx/seams.h"
#include "install/http_transfer.h"
#include "ui/messages.h"
#include "ui/resource.h"

namespace {

// Waits `seconds` before the next try; Cancel ends the wait within a moment.
void WaitBeforeTry(CancelState& cancel, DWORD seconds) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < seconds * 1000 && !cancel.stopping();) Sleep(50);
}

// The tries, one after the other: true when one brought the whole file;
// otherwise `failure` tells why the last one failed.
bool RunTries(const DownloadJob& job, const WinInet& api, HINTERNET session, TryFailure& failure) {
  HttpTransfer transfer(api, session, job.file, job.state, job.cancel, job.window);
  for (unsigned made = 1;; ++made) {
    failure = TryFailure();
    if (transfer.Try(job.url, failure)) return true;
    if (job.cancel.stopping() || !failure.transient || made >= job.tries) return false;
    DWORD seconds = SecondsBeforeTry(made, failure.retryAfter);
    job.tellWait(job.context, seconds);
    WaitBeforeTry(job.cancel, seconds);
    if (job.cancel.stopping()) return false;
  }
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// The system's own text for `error`: WinINet's message table first, which
// knows its own errors, then the system's.
bool SystemText(DWORD error, WString& text) {
  wchar_t* found = nullptr;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
  HMODULE wininet = WinInetModule();
  DWORD length = wininet ? FormatMessageW(flags | FORMAT_MESSAGE_FROM_HMODULE, wininet, error, 0,
                                          reinterpret_cast<wchar_t*>(&found), 0, nullptr)
                         : 0;
  if (!length)
    length = FormatMessageW(flags | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0, reinterpret_cast<wchar_t*>(&found),
                            0, nullptr);
  while (length && IsBlank(found[length - 1])) --length;
  bool told = length && text.Append(found, length);
  if (found) LocalFree(found);
  return told;
}

}  // namespace

bool DownloadFile(const DownloadJob& job, DownloadFailure& failure) {
  const WinInet* api = LoadWinInet();
  if (!api) {
    failure.error = ERROR_PROC_NOT_FOUND;
    return false;
  }
  if (!IsHttpUrl(job.url)) {
    failure.error = transfer_error::kUnrecognizedScheme;
    return false;
  }
  HINTERNET session = api->open(L"Pelorin", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) {
    failure.error = GetLastError();
    return false;
  }
  // Where the platform honours them, a transfer that receives nothing for
  // the limit fails on the worker's side too.
  DWORD limit = g_seams.downloadNoDataLimitMs;
  api->setOption(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &limit, sizeof limit);
  api->setOption(session, INTERNET_OPTION_CONNECT_TIMEOUT, &limit, sizeof limit);

  job.cancel.EnterDownload();
  SendMessageW(job.window, kDownloadMessage, 1, 0);
  TryFailure last;
  bool done = RunTries(job, *api, session, last);
  // Too late: the window has told the cancel and ends the run, which must
  // see nothing more of this thread.
  if (!job.cancel.LeaveDownload()) Sleep(INFINITE);
  SendMessageW(job.window, kDownloadMessage, 0, 0);
  api->close(session);
  if (job.cancel.stopping()) {
    failure.error = ERROR_CANCELLED;
    return false;
  }
  failure.error = last.error;
  failure.status = last.status;
  failure.reason = static_cast<WString&&>(last.reason);
  return done;
}

void DescribeFailure(const DownloadFailure& failure, WString& cause) {
  cause.Clear();
  if (failure.status) {
    // The status line as the server sent it.
    cause.AppendNumber((long)failure.status);
    if (!failure.reason.empty()) cause.Append(L' ') && cause.Append(failure.reason);
    return;
  }
  if (!SystemText(failure.error, cause)) cause = FormatMessageText(MSG_ERROR_CODE, {(uint32_t)failure.error});
}

void StopDownload(DownloadState& state) {
  // A request is published only once the library is loaded.
  const WinInet* api = LoadWinInet();
  void* request = state.TakeRequest();
  if (request && api) api->close(request);
}
