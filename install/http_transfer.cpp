#include "install/http_transfer.h"

#include "afx/seams.h"

namespace {

const DWORD kConnectionAborted = ERROR_INTERNET_CONNECTION_ABORTED;

void Fail(TryFailure& failure, DWORD error, bool transient) {
  failure.error = error;
  failure.transient = transient;
}

}  // namespace

bool HttpTransfer::Truncate() { return SetFilePointer(m_file, 0, nullptr, FILE_BEGIN) == 0 && SetEndOfFile(m_file); }

bool HttpTransfer::Headers(const HeldPart& held, WString& headers) {
  headers.Clear();
  // The bytes as they are: a content coding would change both what is
  // written and what every length means.
  if (!headers.Append(L"Accept-Encoding: identity\r\n")) return false;
  if (!held.bytes) return true;
  // The rest of the file, of the same version only.
  wchar_t from[24];
  wsprintfW(from, L"%I64u", held.bytes);
  if (!headers.Append(L"Range: bytes=") || !headers.Append(from) || !headers.Append(L"-\r\n")) return false;
  return m_validator.empty() ||
         (headers.Append(L"If-Range: ") && headers.Append(m_validator) && headers.Append(L"\r\n"));
}

bool HttpTransfer::Try(const wchar_t* url, TryFailure& failure) {
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(m_file, &size)) {
    Fail(failure, GetLastError(), false);
    return false;
  }
  HeldPart held = {(uint64_t)size.QuadPart, m_total, false};
  // Without a validator no part can be shown to be of the same version.
  if (held.bytes && m_validator.empty()) {
    if (!Truncate()) return Fail(failure, GetLastError(), false), false;
    held = {0, 0, false};
  }
  // At most three requests: the rest, the whole file when the rest cannot be
  // joined, and the question whether a body without a length was whole.
  for (int round = 0; round < 3; ++round) {
    WString headers, validator;
    HttpRequest request(m_api, m_state, m_owner);
    if (!Headers(held, headers)) return Fail(failure, ERROR_OUTOFMEMORY, false), false;
    if (!request.Send(m_session, url, headers, failure)) return false;
    Answer answer = {};
    request.Read(m_validator, answer, validator);
    Continuation next = Decide(held, answer);
    if (next == Continuation::kComplete) return true;
    uint64_t offset = 0, received = 0;
    if (!Prepare(next, request, held, answer, &offset, failure)) return false;
    if (next == Continuation::kFromZero) continue;
    m_validator = static_cast<WString&&>(validator);
    Arrival arrival = ReadBody(request, offset, &received, failure);
    if (arrival == Arrival::kWhole) return true;
    if (arrival != Arrival::kUnconfirmed) return false;
    // Nothing arrived: there is no end to confirm, and nothing to install.
    if (!received) return true;
    held = {received, 0, true};
  }
  Fail(failure, kConnectionAborted, true);
  return false;
}

bool HttpTransfer::Prepare(Continuation next, HttpRequest& request, HeldPart& held, const Answer& answer,
                           uint64_t* offset, TryFailure& failure) {
  uint64_t total = 0;
  switch (next) {
    case Continuation::kComplete:
      return true;
    case Continuation::kRefused:
      request.TellStatus(failure);
      return false;
    case Continuation::kCut:
      Fail(failure, kConnectionAborted, true);
      return false;
    case Continuation::kFromZero:
      // A part that nobody asked for is no answer to the request.
      if (!held.bytes) return Fail(failure, ERROR_HTTP_INVALID_SERVER_RESPONSE, false), false;
      m_validator.Clear();
      m_total = 0;
      held = {0, 0, false};
      return Truncate() || (Fail(failure, GetLastError(), false), false);
    case Continuation::kAppend:
      *offset = held.bytes;
      total = answer.range.total;
      break;
    case Continuation::kWhole:
      if (held.bytes && !Truncate()) return Fail(failure, GetLastError(), false), false;
      total = answer.hasLength ? answer.length : 0;
      break;
  }
  WString coding;
  // Asked for none, a server that sends a coding anyway sends other bytes
  // than the file's.
  if (request.Header(HTTP_QUERY_CONTENT_ENCODING, coding) && !IsIdentityCoding(coding.c_str()))
    return Fail(failure, ERROR_HTTP_INVALID_SERVER_RESPONSE, false), false;
  // Refused at once: no package or redistributable can be that large.
  if (total > g_seams.downloadSizeLimit) return Fail(failure, transfer_error::kFileTooLarge, false), false;
  m_total = total;
  m_state.Announce((uint32_t)total);
  m_state.Restart((uint32_t)*offset, GetTickCount());
  return true;
}

namespace {

// Writes the `filled` bytes of `buffer` to `file`; false (with the cause)
// when the disk takes them not.
bool Flush(HANDLE file, const BYTE* buffer, DWORD& filled, TryFailure& failure) {
  DWORD written = 0;
  bool done = !filled || (WriteFile(file, buffer, filled, &written, nullptr) && written == filled);
  if (!done) Fail(failure, GetLastError() ? GetLastError() : ERROR_WRITE_FAULT, false);
  filled = 0;
  return done;
}

}  // namespace

Arrival HttpTransfer::ReadBody(HttpRequest& request, uint64_t offset, uint64_t* received, TryFailure& failure) {
  LARGE_INTEGER end = {};
  end.QuadPart = (LONGLONG)offset;
  if (!SetFilePointerEx(m_file, end, nullptr, FILE_BEGIN)) return Fail(failure, GetLastError(), false), Arrival::kCut;
  // Filled with what has come, as it comes, and written when full: a slow
  // transfer counts every byte, and a fast one costs few writes.
  BYTE buffer[64 * 1024];
  DWORD filled = 0;
  uint64_t have = offset;
  Arrival arrival = Arrival::kCut;
  for (;;) {
    if (m_cancel.stopping()) {
      Fail(failure, ERROR_CANCELLED, false);
      break;
    }
    DWORD available = 0, got = 0, room = sizeof buffer - filled;
    if (!m_api.available(request.handle(), &available, 0, 0) ||
        (available && !m_api.read(request.handle(), buffer + filled, available < room ? available : room, &got))) {
      // Nothing for the no-data limit, as the window or the socket saw it.
      DWORD error = GetLastError();
      if (m_state.stalled() || error == WSAETIMEDOUT) error = ERROR_INTERNET_TIMEOUT;
      Fail(failure, error, IsTransientError(error));
      break;
    }
    if (!got) {
      arrival = Judge(have, m_total);
      break;
    }
    // More than announced is not the announced file; more than the limit
    // is no package at all.
    if ((m_total && have + got > m_total) || have + got > g_seams.downloadSizeLimit) {
      Fail(failure, m_total && have + got > m_total ? ERROR_HTTP_INVALID_SERVER_RESPONSE : transfer_error::kFileTooLarge,
           false);
      return Arrival::kTooMuch;
    }
    have += got;
    filled += got;
    m_state.Arrived(got, GetTickCount());
    if (filled == sizeof buffer && !Flush(m_file, buffer, filled, failure)) return Arrival::kTooMuch;
  }
  // What arrived is kept, for a later try to go on from.
  if (!Flush(m_file, buffer, filled, failure)) return Arrival::kTooMuch;
  *received = have;
  if (arrival == Arrival::kCut && !failure.error) Fail(failure, kConnectionAborted, true);
  return arrival;
}
