// One try of a download into the file that the setup holds: the requests it
// takes (the rest of what is held, the whole file again, or a question
// whether what arrived was the end) and the bytes it reads, judged by the
// transfer policy.
#pragma once

#include "install/http_request.h"

class HttpTransfer {
public:
  HttpTransfer(const WinInet& api, HINTERNET session, HANDLE file, DownloadState& state, CancelState& cancel,
               HWND owner)
      : m_api(api), m_session(session), m_file(file), m_state(state), m_cancel(cancel), m_owner(owner) {}
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;

  // True when the file holds the whole file of one version of `url`;
  // otherwise false with the cause in `failure`.
  bool Try(const wchar_t* url, TryFailure& failure);

private:
  // The headers of a request, given what is held.
  bool Headers(const HeldPart& held, WString& headers);
  // Applies `next` to the file: false (with the cause) when it ends the try.
  bool Prepare(Continuation next, HttpRequest& request, HeldPart& held, const Answer& answer, uint64_t* offset,
               TryFailure& failure);
  // Reads the body into the file from `offset`; the arrival as judged.
  Arrival ReadBody(HttpRequest& request, uint64_t offset, uint64_t* received, TryFailure& failure);
  bool Truncate();

  const WinInet& m_api;
  HINTERNET m_session;
  HANDLE m_file;
  DownloadState& m_state;
  CancelState& m_cancel;
  HWND m_owner;
  // Of what the file holds, across the tries: its validator (ETag or
  // Last-Modified) and the size of the file as first announced.
  WString m_validator;
  uint64_t m_total = 0;
};
