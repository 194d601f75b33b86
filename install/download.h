// The download of one URL into the platform's download cache, carried by the
// worker thread. It owns everything about the transfer: the platform call,
// a window of the worker's own through which the user-interface thread wakes
// it to stop, the no-data limit, giving up after Cancel when the platform
// will not let go, and the judgement of what arrived (the HTTP status, the
// announced size).
//
// A download that is tried again is written by the setup itself, into a
// file of a folder of the run's own (see MakeRunFolder).
//
// The progress window is the platform's download status callback: it hands
// each report to the current download, which only records how far it has
// got. The window moves its bar from its own timer, so that the worker never
// waits for the user-interface thread while bytes arrive.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include "afx/handles.h"
#include "afx/wstring.h"
#include "app/cancel_state.h"

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

  // The worker: downloads `url` into `file`, which the caller created for
  // reading and writing in the run's folder and holds, the setup writing it
  // itself. A transfer that fails on the way (refused, reset or cut short,
  // no data for the limit, or the server's 408, 429, 500, 502, 503, 504) is
  // tried again, up to `tries` times in all, after a wait that `tellWait`
  // shows (with its seconds), from where the file ends when the server
  // allows it. S_OK when `file` holds the whole file of one version of the
  // resource; otherwise a failure, and Cancel stops it (also in a wait).
  HRESULT RunToFile(HWND watch, const wchar_t* url, HANDLE file, unsigned tries,
                    void (*tellWait)(void* context, DWORD seconds), void* context);

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
  struct Try;
  // One request of RunToFile; the outcome of the try in `t`.
  void RunTry(void* session, const wchar_t* url, HANDLE file, Try& t);
  // Asks the worker to stop the transfer: the binding on its own thread,
  // which owns it, or the request, which any thread may close.
  void Wake();
  void CloseRequest();
  static LRESULT CALLBACK WakeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  CancelState& m_cancel;
  // The worker's message-only window that the user-interface thread wakes.
  HWND m_wakeWindow = nullptr;
  // The binding, from OnStart to OnStop; only the worker touches it.
  IBinding* m_binding = nullptr;
  // The request of RunToFile's current try; closed by whichever thread
  // takes it first.
  void* volatile m_request = nullptr;
  // What RunToFile has of the file: its validator (ETag or Last-Modified).
  WString m_validator;
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

// The run's folder for the downloads that the setup writes itself: made fresh
// in the user's temporary folder, readable and writable by the user alone.
bool MakeRunFolder(WString& folder);
// Creates `name` in the run's folder (in place of an earlier file of that
// name) for reading and writing, shared for reading only, and readable only
// (for the user and the system) by anyone who opens it later: from its
// creation nobody but the setup can write it.
bool CreateRunFile(const WString& folder, const wchar_t* name, WString& path, UniqueHandle& file);
// Exchanges the writing handle of a run file, once it is written, for one
// that reads only: the signature check, the Windows Installer and the
// redistributable open the file themselves and share it with no writer.
// The file's own permissions keep writers out from its creation on.
bool KeepRunFileForUse(const wchar_t* path, UniqueHandle& file);
// Removes a run's folder (ending with a backslash) and what it holds.
void RemoveRunFolder(const WString& folder);
// Removes the folders that earlier runs left behind (a run whose download
// the platform still held at its end).
void RemoveStaleRunFolders();
