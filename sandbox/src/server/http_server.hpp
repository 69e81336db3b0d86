#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "server/dispatcher.hpp"
#include "server/limits.hpp"
#include "service/context.hpp"

namespace QuarloSandbox {

class BufferedHttpServer;
class FrontEnd;

// The sandbox's HTTP server: a front end frames every request within `limits`, then each
// complete request goes through Dispatch on a pool of worker threads and is answered with the
// XML Response document.
class SandboxServer {
 public:
  // `log`, when set, receives one line per request (method, operation, status and, on failure,
  // the description; never a path segment or a key), every value escaped.
  SandboxServer(ServiceContext context, ApiKeys keys,
                std::function<void(const std::string&)> log = {}, FrontEndLimits limits = {});
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
  std::unique_ptr<BufferedHttpServer> http_;
  std::unique_ptr<FrontEnd> frontEnd_;
  std::thread thread_;
};

}  // namespace QuarloSandbox
