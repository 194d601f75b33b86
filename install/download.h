// Downloading a file that the setup installs or runs, into a file of the
// run's folder that the caller holds from its creation. The worker thread
// carries it; the progress window, told as it starts and ends, shows how far
// it has got and stops it on Cancel or when no data comes for the limit,
// both through the download state it owns.
//
// The transfer is the setup's own, over WinINet (install/http_*): requests,
// redirects and a proxy's prompt in http_request, the tries' reading in
// http_transfer, and every decision about what the server said in
// transfer_policy.
#pragma once

#include <windows.h>

#include "afx/wstring.h"
#include "app/cancel_state.h"
#include "install/download_state.h"

// Once Cancel has asked the platform's download to stop, how long the window
// waits for it to return before it ends the setup itself: some platforms
// read on through the rest of an announced body before they let go of the
// connection, as long as data comes, and the user must not wait for that.
const DWORD kCancelGraceMs = 750;
// Sent (synchronously) by the worker to the window as a download starts
// (wParam 1) and ends (wParam 0).
const UINT kDownloadMessage = WM_APP + 1;

// Why a download failed, as the user is told.
struct DownloadFailure {
  DWORD error = 0;   // the system's error code, when it failed there
  DWORD status = 0;  // otherwise the server's HTTP status
  WString reason;    // and its reason phrase
};

struct DownloadJob {
  const wchar_t* url;
  HANDLE file;     // created for reading and writing in the run's folder
  unsigned tries;  // in all, 1 to 10
  HWND window;     // the progress window: told, and the owner of prompts
  DownloadState& state;
  CancelState& cancel;
  // Shows the wait before another try, with its seconds.
  void (*tellWait)(void* context, DWORD seconds);
  void* context;
};

// Downloads `job.url` into `job.file`. True when the file holds the whole
// file of one version of the resource. A failure on the way (refused, reset
// or cut short, no data for the limit, a busy server's 408, 429, 500, 502,
// 503, 504) is tried again, up to `job.tries` in all, after a wait, from
// where the file ends when the server allows it; anything else (a missing
// file, a certificate or address that is refused) ends at once. Cancel
// stops it, also in a wait. False otherwise, with the cause in `failure`.
bool DownloadFile(const DownloadJob& job, DownloadFailure& failure);

// The cause of a failed download in the user's words: the server's status
// line ("404 Not Found"), or the system's text for its error, or "Error N".
void DescribeFailure(const DownloadFailure& failure, WString& cause);

// The window: stops the transfer that the worker published in `state`.
void StopDownload(DownloadState& state);
