// The download of one URL into the platform's download cache, carried by the
// worker thread. It owns everything about the transfer: the platform call,
// a window of the worker's own through which the user-interface thread wakes
// it to stop, the no-data limit, giving up after Cancel when the platform
// will not let go, and the judgement of what arrived (the HTTP status, the
// announced size).
//
// The progress window is the platform's download status callback: it hands
// each report to the current download, which only records how far it has
// got. The window moves its bar from its own timer, so that the worker never
// waits for the user-interface thread while bytes arrive.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include "afx/wstring.h"
#include "app/cancel_state.h"

// A transfer that receives no byte for this long fails like any failed
// download: a server that stops sending must not hold the setup forever.
const DWORD kDownloadNoDataLimitMs = 60 * 1000;
// Once Cancel has asked the platform's download to stop, how long the window
// waits for it to return before it ends the setup itself: some platforms
// read on through the rest of an announced body before they let go of the
// connection, as long as data comes, and the user must not wait for that.
const DWORD kCancelGraceMs = 750;

class CDownload {
public:
  explicit CDownload(CancelState& cancel) : m_cancel(cancel) {}
  CDownload(const CDownload&) = delete;
  CDownload& operator=(const CDownload&) = delete;

  // The worker: downloads `url` with `callback` (the progress window, which
  // `watch` tells of the download as it starts and ends) and gives the path
  // of the file in the download cache. Fails when the server answers with an
  // HTTP error, the user cancels, nothing arrives for the no-data limit, or
  // what arrived is not the announced size; `path` is then empty.
  HRESULT Run(IBindStatusCallback* callback, HWND watch, const wchar_t* url, WString& path);

  // The worker, from the platform's reports through the callback.
  HRESULT OnStart(IBinding* binding);
  HRESULT OnProgress(ULONG progress, ULONG progressMax);
  void OnStop();
  HRESULT OnResponse(DWORD status);

  // The user-interface thread, from the Cancel button and from the window's
  // timer: stops the transfer once Cancel counted or the no-data limit has
  // passed. True when the window is to tell the user and end the run: the
  // platform has held the worker past the grace time after Cancel.
  bool Watch();
  // How far it has got, for the bar: bytes received and announced (0: not
  // known). Written by the worker, read by the user-interface thread.
  ULONG received() const { return m_received; }
  ULONG announced() const { return m_announced; }

  // Sent by the worker to the `watch` window as a download starts (lParam
  // this download) and ends (lParam null).
  static const UINT kWatchMessage = WM_APP + 1;

private:
  // Asks the worker to stop the binding, on its own thread which owns it.
  void Wake();
  static LRESULT CALLBACK WakeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  CancelState& m_cancel;
  // The worker's message-only window that the user-interface thread wakes.
  HWND m_wakeWindow = nullptr;
  // The binding, from OnStart to OnStop; only the worker touches it.
  IBinding* m_binding = nullptr;
  DWORD m_status = 0;  // the last response's HTTP status
  volatile ULONG m_received = 0;
  volatile ULONG m_announced = 0;
  volatile LONG m_lastDataTick = (LONG)GetTickCount();
  // Set by the user-interface thread once nothing arrived for the limit.
  volatile LONG m_stalled = 0;
  // When the window first asked the transfer to stop after Cancel; only the
  // user-interface thread touches them.
  DWORD m_stopAskedAt = 0;
  bool m_stopAsked = false;
};
