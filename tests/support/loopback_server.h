// A tiny HTTP server on 127.0.0.1 (ephemeral port) that answers every request with 200 and a
// small page, and records the request paths, so that a test sees what opening an address did.
// Shared by the Wine-run tests and the end-to-end driver.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <condition_variable>
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

  // While held, a request is recorded at once but answered only after Release() (or after ten
  // seconds), so that a test can tell whether its caller waited for the page.
  void Hold();
  void Release();

  // The status line every answer carries from now on ("200 OK" unless told).
  void AnswerWith(const std::string& status) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
  }

  unsigned short Port() const { return port_; }
  // http://127.0.0.1:PORT + path
  std::wstring Url(const std::string& path) const;
  // How many requests for exactly this path have arrived so far.
  int Count(const std::string& path) const;
  std::vector<std::string> Paths() const;

 private:
  void Serve();
  void Answer(SOCKET client);

  bool winsock_ = false;
  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable released_;
  bool hold_ = false;
  std::vector<std::string> paths_;
  std::string status_ = "200 OK";
};

}  // namespace e2e
