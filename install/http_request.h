// One HTTP request of a download, through WinINet: sent with the headers
// the download asks for, its redirects followed by the setup itself (so many,
// and never from https to http), a proxy's request for a password answered
// by the user through the system's prompt, and its answer read for the
// transfer policy.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "afx/wstring.h"
#include "install/download_state.h"
#include "install/transfer_policy.h"

// WinINet's entries. Loaded once from the system folder, and never released:
// after a download that the window abandoned, its threads may still run.
struct WinInet {
  decltype(&InternetOpenW) open;
  decltype(&InternetSetOptionW) setOption;
  decltype(&InternetCrackUrlW) crack;
  decltype(&InternetConnectW) connect;
  decltype(&HttpOpenRequestW) openRequest;
  decltype(&HttpAddRequestHeadersW) addHeaders;
  decltype(&HttpSendRequestW) send;
  decltype(&HttpQueryInfoW) query;
  decltype(&InternetQueryDataAvailable) available;
  decltype(&InternetReadFile) read;
  decltype(&InternetCombineUrlW) combine;
  decltype(&InternetErrorDlg) prompt;
  decltype(&InternetCloseHandle) close;
};
// Null when the system lacks the library or one of its entries.
const WinInet* LoadWinInet();
HMODULE WinInetModule();

// Why a try of a download failed, and whether another may help.
struct TryFailure {
  uint32_t error = 0;       // the system's error code, when it failed there
  uint32_t status = 0;      // otherwise the server's HTTP status
  WString reason;           // and its reason phrase, as the server sent it
  bool transient = false;   // worth another try
  uint32_t retryAfter = 0;  // seconds the server asked to wait (0: none)
};

class HttpRequest {
public:
  HttpRequest(const WinInet& api, DownloadState& state, HWND owner) : m_api(api), m_state(state), m_owner(owner) {}
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;
  ~HttpRequest() { Close(); }

  // Asks `session` for `url` with `headers`. True with the request answered
  // by something other than a redirect or a proxy's 407; otherwise false
  // with the cause in `failure`.
  bool Send(HINTERNET session, const wchar_t* url, const WString& headers, TryFailure& failure);
  // What the answer says, for the transfer policy; `validator` receives its
  // ETag (or Last-Modified), compared with `held`, that of what is held.
  void Read(const WString& held, Answer& answer, WString& validator);
  // A header of the answer (empty when absent); false when absent.
  bool Header(DWORD which, WString& value);
  // Tells an HTTP error answer in `failure`.
  void TellStatus(TryFailure& failure);
  HINTERNET handle() const { return m_request; }
  // Lets go of the request, unless the window closed it first.
  void Close();

private:
  bool Open(HINTERNET session, const wchar_t* url, const WString& headers, TryFailure& failure);
  // Sends the request (again) and reads its status.
  bool SendAndRead(TryFailure& failure);
  // The user's answer to a proxy's 407: true when the request was sent again.
  bool AskProxyPassword(TryFailure& failure);
  bool NextUrl(WString& url, unsigned made, TryFailure& failure);

  const WinInet& m_api;
  DownloadState& m_state;
  HWND m_owner;
  HINTERNET m_connection = nullptr;
  HINTERNET m_request = nullptr;
  uint32_t m_status = 0;
};
