// A tiny HTTP server on 127.0.0.1 (ephemeral port) that answers every request with 200 and a
// small page, and records the request paths, so that a test sees what opening an address did.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

class LoopbackServer {
 public:
  LoopbackServer() = default;
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  ~LoopbackServer();

  bool Start();  // false when no socket could be bound
  void Stop();

  unsigned short Port() const { return port_; }
  // http://127.0.0.1:PORT + path
  std::wstring Url(const std::string& path) const;
  // How many requests for exactly this path have arrived so far.
  int Count(const std::string& path) const;
  std::vector<std::string> Paths() const;

 private:
  void Serve();
  void Answer(SOCKET client);

  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::string> paths_;
};

}  // namespace e2e
