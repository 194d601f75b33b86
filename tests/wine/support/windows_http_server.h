// A small HTTP server on the loopback interface (127.0.0.1, a free port),
// running on a thread of the test program, for the downloads of the setup:
// it can answer with any status, with or without a length, and send its body
// slowly in pieces. Every connection gets one answer and is then closed.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <string>

namespace pelorin_test {

struct HttpReply {
  int status = 200;
  std::string body;
  // Without a Content-Length the body ends when the connection closes, and
  // the client cannot know the size in advance.
  bool sendLength = true;
  // Sent in pieces of this many bytes (0: all at once), each after a pause.
  size_t pieceSize = 0;
  DWORD pieceDelayMs = 0;
};

class LoopbackHttpServer {
public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  bool ok() const { return thread_ != nullptr; }
  // The URL of `path` ("/...") on this server.
  std::wstring Url(const std::string& path) const;
  // A URL that no download has asked for before, in this run or an earlier
  // one, so that no cache can answer in the server's place.
  std::wstring FreshUrl(const std::string& name);
  // The answer to every request from now on.
  void SetReply(const HttpReply& reply);

  int requests() const { return requests_; }
  // Body bytes handed to the network so far.
  size_t bodyBytesSent() const { return bodyBytesSent_; }

private:
  static DWORD WINAPI Run(void* self);
  void Serve(SOCKET connection);

  SOCKET listener_ = INVALID_SOCKET;
  USHORT port_ = 0;
  HANDLE thread_ = nullptr;
  CRITICAL_SECTION lock_;
  HttpReply reply_;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::atomic<size_t> bodyBytesSent_{0};
  int urlCounter_ = 0;
};

}  // namespace pelorin_test
