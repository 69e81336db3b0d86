#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "server/dispatcher.hpp"
#include "service/context.hpp"

namespace httplib {
class Server;
}

namespace QuarloSandbox {

// The largest request body the sandbox reads; a larger one is answered 413.
inline constexpr std::size_t kMaxBodyBytes = 32u * 1024u * 1024u;

// The sandbox's HTTP server: every request goes through Dispatch on a pool of worker threads
// and is answered with the XML Response document.
class SandboxServer {
 public:
  // `log`, when set, receives one line per request (method, operation, status; never a path
  // segment or a key).
  SandboxServer(ServiceContext context, ApiKeys keys,
                std::function<void(const std::string&)> log = {});
  ~SandboxServer();
  SandboxServer(const SandboxServer&) = delete;
  SandboxServer& operator=(const SandboxServer&) = delete;

  // Binds host:port (port 0 takes a free one) and returns the port; SandboxError(500, ...) when
  // the address cannot be bound.
  int Bind(const std::string& host, int port);
  // Serves on a thread of its own until Stop.
  void Start();
  // Stops accepting, finishes the requests in progress and joins the thread; idempotent.
  void Stop();

 private:
  void Install();

  ServiceContext context_;
  ApiKeys keys_;
  std::function<void(const std::string&)> log_;
  std::unique_ptr<httplib::Server> server_;
  std::atomic<bool> returned_{false};  // the accept loop has ended
  std::thread thread_;
};

}  // namespace QuarloSandbox
