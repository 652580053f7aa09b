#include "support/loopback_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>

namespace e2e {

LoopbackServer::~LoopbackServer() { Stop(); }

bool LoopbackServer::Start() {
  if (thread_.joinable()) return true;
  if (!winsock_) {
    WSADATA wsa;
    winsock_ = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;  // counted: balanced in Stop()
    if (!winsock_) return false;
  }
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener_ == INVALID_SOCKET) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  int len = sizeof(addr);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
      listen(listener_, 16) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    closesocket(listener_);
    listener_ = INVALID_SOCKET;
    return false;
  }
  port_ = ntohs(addr.sin_port);
  stop_ = false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void LoopbackServer::Stop() {
  stop_ = true;
  Release();
  if (thread_.joinable()) thread_.join();
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  listener_ = INVALID_SOCKET;
  if (winsock_) WSACleanup();
  winsock_ = false;
}

void LoopbackServer::Hold() {
  std::lock_guard<std::mutex> lock(mutex_);
  hold_ = true;
}

void LoopbackServer::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    hold_ = false;
  }
  released_.notify_all();
}

std::wstring LoopbackServer::Url(const std::string& path) const {
  std::wstring url = L"http://127.0.0.1:" + std::to_wstring(port_);
  url.append(path.begin(), path.end());
  return url;
}

int LoopbackServer::Count(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(std::count(paths_.begin(), paths_.end(), path));
}

std::vector<std::string> LoopbackServer::Paths() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paths_;
}

void LoopbackServer::Serve() {
  // Wakes up every 100 ms to see whether it should stop.
  while (!stop_) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(listener_, &ready);
    timeval wait{0, 100000};
    if (select(0, &ready, nullptr, nullptr, &wait) <= 0) continue;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    Answer(client);
    closesocket(client);
  }
}

void LoopbackServer::Answer(SOCKET client) {
  // Reads the request head (bounded in size and time), records its path, answers with a page.
  DWORD timeout_ms = 2000;
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout_ms),
             sizeof(timeout_ms));
  std::string head;
  char buf[1024];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 16384) {
    int n = recv(client, buf, sizeof(buf), 0);
    if (n <= 0) break;
    head.append(buf, n);
  }
  size_t sp1 = head.find(' ');
  size_t sp2 = sp1 == std::string::npos ? std::string::npos : head.find(' ', sp1 + 1);
  if (sp2 == std::string::npos) return;
  std::string status;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    paths_.push_back(head.substr(sp1 + 1, sp2 - sp1 - 1));
    released_.wait_for(lock, std::chrono::seconds(10), [this] { return !hold_; });
    status = status_;
  }
  static const std::string body = "<html><body><p>reprisa e2e</p></body></html>";
  std::string reply =
      "HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nContent-Length: " +
      std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  send(client, reply.data(), static_cast<int>(reply.size()), 0);
  shutdown(client, SD_SEND);
}

}  // namespace e2e
