#include "support/windows_http_server.h"

#include <ws2tcpip.h>

#include <cstdio>

namespace pelorin_test {

namespace {

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

// Waits up to `ms` for `socket` to be readable; false on time-out or error.
bool Readable(SOCKET socket, long ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval wait = {ms / 1000, (ms % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &wait) == 1;
}

bool SendAll(SOCKET socket, const char* data, size_t size) {
  while (size > 0) {
    int sent = send(socket, data, (int)size, 0);
    if (sent <= 0) return false;
    data += sent;
    size -= (size_t)sent;
  }
  return true;
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
  InitializeCriticalSection(&lock_);
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener_ == INVALID_SOCKET) return;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // any free port
  int length = sizeof(address);
  if (bind(listener_, (sockaddr*)&address, sizeof(address)) != 0 || listen(listener_, 8) != 0 ||
      getsockname(listener_, (sockaddr*)&address, &length) != 0)
    return;
  port_ = ntohs(address.sin_port);
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stop_ = true;
  if (thread_) {
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
  }
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  WSACleanup();
  DeleteCriticalSection(&lock_);
}

std::wstring LoopbackHttpServer::Url(const std::string& path) const {
  return L"http://127.0.0.1:" + std::to_wstring(port_) + std::wstring(path.begin(), path.end());
}

std::wstring LoopbackHttpServer::FreshUrl(const std::string& name) {
  char path[160];
  snprintf(path, sizeof(path), "/%s/%lu-%lu-%d.bin", name.c_str(), GetCurrentProcessId(), GetTickCount(),
           ++urlCounter_);
  return Url(path);
}

void LoopbackHttpServer::SetReply(const HttpReply& reply) {
  EnterCriticalSection(&lock_);
  reply_ = reply;
  LeaveCriticalSection(&lock_);
}

DWORD WINAPI LoopbackHttpServer::Run(void* self) {
  auto* server = static_cast<LoopbackHttpServer*>(self);
  while (!server->stop_) {
    if (!Readable(server->listener_, 50)) continue;
    SOCKET connection = accept(server->listener_, nullptr, nullptr);
    if (connection == INVALID_SOCKET) continue;
    server->Serve(connection);
    closesocket(connection);
  }
  return 0;
}

void LoopbackHttpServer::Serve(SOCKET connection) {
  // The request: only its end matters.
  std::string request;
  char buffer[2048];
  while (request.find("\r\n\r\n") == std::string::npos) {
    if (stop_ || !Readable(connection, 5000)) return;
    int received = recv(connection, buffer, sizeof(buffer), 0);
    if (received <= 0) return;
    request.append(buffer, (size_t)received);
  }
  ++requests_;

  EnterCriticalSection(&lock_);
  HttpReply reply = reply_;
  LeaveCriticalSection(&lock_);

  std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) +
                     "\r\nContent-Type: application/octet-stream\r\nCache-Control: no-store\r\nConnection: close\r\n";
  if (reply.sendLength) head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
  head += "\r\n";
  if (!SendAll(connection, head.data(), head.size())) return;

  size_t piece = reply.pieceSize ? reply.pieceSize : reply.body.size();
  for (size_t offset = 0; offset < reply.body.size() && !stop_; offset += piece) {
    if (reply.pieceDelayMs) Sleep(reply.pieceDelayMs);
    size_t size = reply.body.size() - offset < piece ? reply.body.size() - offset : piece;
    if (!SendAll(connection, reply.body.data() + offset, size)) return;
    bodyBytesSent_ += size;
  }
  shutdown(connection, SD_SEND);
  // Lets the client read to the end before the socket goes.
  while (Readable(connection, 1000) && recv(connection, buffer, sizeof(buffer), 0) > 0) {
  }
}

}  // namespace pelorin_test
