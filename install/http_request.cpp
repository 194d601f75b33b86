#include "install/http_request.h"

#include "afx/system_library.h"
#include "afx/seams.h"

HMODULE WinInetModule() {
  static HMODULE wininet = LoadSystemLibrary(L"wininet.dll");
  return wininet;
}

const WinInet* LoadWinInet() {
  static WinInet api;
  static bool loaded = false;
  if (loaded) return &api;
  HMODULE m = WinInetModule();
  api = {MODULE_PROC(m, InternetOpenW),
         MODULE_PROC(m, InternetSetOptionW),
         MODULE_PROC(m, InternetCrackUrlW),
         MODULE_PROC(m, InternetConnectW),
         MODULE_PROC(m, HttpOpenRequestW),
         MODULE_PROC(m, HttpAddRequestHeadersW),
         MODULE_PROC(m, HttpSendRequestW),
         MODULE_PROC(m, HttpQueryInfoW),
         MODULE_PROC(m, InternetQueryDataAvailable),
         MODULE_PROC(m, InternetReadFile),
         MODULE_PROC(m, InternetCombineUrlW),
         MODULE_PROC(m, InternetErrorDlg),
         MODULE_PROC(m, InternetCloseHandle)};
  loaded = api.open && api.setOption && api.crack && api.connect && api.openRequest && api.addHeaders && api.send &&
           api.query && api.available && api.read && api.combine && api.prompt && api.close;
  return loaded ? &api : nullptr;
}

namespace {

// Every request asks the server itself (no cache, no cookie, no redirect
// followed by the platform) and never shows the platform's own prompts but
// the one the setup asks for.
const DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                            INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT |
                            INTERNET_FLAG_KEEP_CONNECTION;

void FailWithError(TryFailure& failure, DWORD error) {
  failure.error = error;
  failure.transient = IsTransientError(error);
}

}  // namespace

bool HttpRequest::Send(HINTERNET session, const wchar_t* firstUrl, const WString& headers, TryFailure& failure) {
  WString url;
  if (!url.Append(firstUrl)) {
    FailWithError(failure, ERROR_OUTOFMEMORY);
    return false;
  }
  for (unsigned made = 0;; ++made) {
    if (!Open(session, url.c_str(), headers, failure)) return false;
    while (m_status == HTTP_STATUS_PROXY_AUTH_REQ)
      if (!AskProxyPassword(failure)) return false;
    if (!IsRedirect(m_status)) return true;
    if (!NextUrl(url, made, failure)) return false;
  }
}

bool HttpRequest::Open(HINTERNET session, const wchar_t* url, const WString& headers, TryFailure& failure) {
  Close();
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
  WString host, path;
  if (!m_api.crack(url, 0, 0, &parts) || !host.Append(parts.lpszHostName, parts.dwHostNameLength) ||
      !path.Append(parts.lpszUrlPath, parts.dwUrlPathLength) ||
      !path.Append(parts.lpszExtraInfo, parts.dwExtraInfoLength)) {
    FailWithError(failure, ERROR_INTERNET_INVALID_URL);
    return false;
  }
  const DWORD flags = kRequestFlags | (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
  m_connection = m_api.connect(session, host.c_str(), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  m_request = m_connection ? m_api.openRequest(m_connection, L"GET", path.c_str(), nullptr, nullptr, nullptr, flags, 0)
                           : nullptr;
  if (!m_request) {
    FailWithError(failure, GetLastError());
    return false;
  }
  m_state.Publish(m_request);
  // Set before the request is sent, so that the connection's reads are held
  // to it: nothing for the no-data limit fails the read.
  DWORD limit = g_seams.downloadNoDataLimitMs;
  m_api.setOption(m_request, INTERNET_OPTION_RECEIVE_TIMEOUT, &limit, sizeof limit);
  if (!m_api.addHeaders(m_request, headers.c_str(), (DWORD)headers.length(),
                        HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE)) {
    FailWithError(failure, GetLastError());
    return false;
  }
  return SendAndRead(failure);
}

bool HttpRequest::SendAndRead(TryFailure& failure) {
  if (!m_api.send(m_request, nullptr, 0, nullptr, 0)) {
    FailWithError(failure, GetLastError());
    return false;
  }
  m_status = 0;
  DWORD size = sizeof m_status;
  if (m_api.query(m_request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &m_status, &size, nullptr)) return true;
  FailWithError(failure, ERROR_HTTP_INVALID_SERVER_RESPONSE);
  return false;
}

bool HttpRequest::NextUrl(WString& url, unsigned made, TryFailure& failure) {
  WString location, next;
  DWORD size = 2048;
  wchar_t* buffer = next.Buffer(size);
  // A Location relative to the address that answered counts from there.
  if (!Header(HTTP_QUERY_LOCATION, location) || !buffer ||
      !m_api.combine(url.c_str(), location.c_str(), buffer, &size, ICU_NO_ENCODE)) {
    FailWithError(failure, ERROR_HTTP_REDIRECT_FAILED);
    failure.transient = false;
    return false;
  }
  next.SetLengthFromBuffer();
  if (DWORD refusal = RedirectRefusal(url.c_str(), next.c_str(), made)) {
    FailWithError(failure, refusal);
    return false;
  }
  url = static_cast<WString&&>(next);
  return true;
}

bool HttpRequest::AskProxyPassword(TryFailure& failure) {
  // What came with the 407 is read first, so that the request can be sent
  // again on its connection.
  BYTE discard[4096];
  DWORD got = 0;
  while (m_api.read(m_request, discard, sizeof discard, &got) && got) {
  }
  // The user may take their time: the no-data limit waits.
  m_state.Prompting(true, GetTickCount());
  DWORD answer = m_api.prompt(m_owner, m_request, ERROR_INTERNET_INCORRECT_PASSWORD,
                              FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA |
                                  FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS,
                              nullptr);
  m_state.Prompting(false, GetTickCount());
  if (answer != ERROR_INTERNET_FORCE_RETRY) {
    // Cancel in the prompt: the proxy's answer is the cause.
    TellStatus(failure);
    failure.transient = false;
    return false;
  }
  return SendAndRead(failure);
}

bool HttpRequest::Header(DWORD which, WString& value) {
  value.Clear();
  DWORD size = 0;
  m_api.query(m_request, which, nullptr, &size, nullptr);
  wchar_t* buffer = size ? value.Buffer(size / sizeof(wchar_t) + 1) : nullptr;
  if (!buffer) return false;
  DWORD capacity = size;
  if (m_api.query(m_request, which, buffer, &capacity, nullptr))
    value.SetLengthFromBuffer();
  else
    value.Clear();
  return !value.empty();
}

void HttpRequest::Read(const WString& held, Answer& answer, WString& validator) {
  WString text;
  answer.status = m_status;
  answer.hasLength = Header(HTTP_QUERY_CONTENT_LENGTH, text) && ParseLength(text.c_str(), &answer.length);
  answer.hasRange = Header(HTTP_QUERY_CONTENT_RANGE, text) && ParseContentRange(text.c_str(), &answer.range);
  if (!Header(HTTP_QUERY_ETAG, validator)) Header(HTTP_QUERY_LAST_MODIFIED, validator);
  if (held.empty() || validator.empty())
    answer.validator = Validator::kNone;
  else
    answer.validator = wcscmp(held.c_str(), validator.c_str()) == 0 ? Validator::kSame : Validator::kOther;
}

void HttpRequest::TellStatus(TryFailure& failure) {
  failure.error = 0;
  failure.status = m_status;
  Header(HTTP_QUERY_STATUS_TEXT, failure.reason);
  failure.transient = IsTransientStatus(m_status);
  WString text;
  failure.retryAfter = Header(HTTP_QUERY_RETRY_AFTER, text) ? ParseRetryAfter(text.c_str()) : 0;
}

void HttpRequest::Close() {
  // The window may have closed it already, to stop the transfer.
  if (m_request && m_state.TakeRequest() == m_request) m_api.close(m_request);
  if (m_connection) m_api.close(m_connection);
  m_request = m_connection = nullptr;
}
