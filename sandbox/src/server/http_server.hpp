#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "console/console.hpp"
#include "console/request_ring.hpp"
#include "console/sessions.hpp"
#include "server/dispatcher.hpp"
#include "server/faults.hpp"
#include "server/limits.hpp"
#include "server/submissions.hpp"
#include "service/context.hpp"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace QuarloSandbox {

class BufferedHttpServer;
class FrontEnd;
struct FramedRequest;
struct ProcessedAnswer;
struct RequestHead;

// The sandbox's HTTP server: a front end frames every request within `limits`, then each
// complete request goes through Dispatch on a pool of worker threads and is answered with the
// XML Response document. Requests to the protocol's paths are faulted as `faults` says; document
// submissions are counted per folio and reported on /_sandbox/envios. The console's pages under
// /consola/ show the store and the last requests answered.
class SandboxServer {
 public:
  // `log`, when set, receives one line per request (method, operation, status and, on failure,
  // the description; never a path segment or a key), every value escaped, and one line per
  // injected fault.
  SandboxServer(ServiceContext context, ApiKeys keys,
                std::function<void(const std::string&)> log = {}, FrontEndLimits limits = {},
                FaultSettings faults = {},
                std::size_t submissionCapacity = SubmissionLog::kDefaultCapacity);
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
  // The answer to a request for one of the console's pages.
  void AnswerConsole(const httplib::Request& request, httplib::Response& response);
  // The fault of a complete request; on the front end's thread, in the order requests complete.
  Fault FaultFor(const RequestHead& head);
  // A complete request's answer on a worker: counted when it submits a document, processed
  // unless its fault says otherwise.
  ProcessedAnswer Serve(FramedRequest& request);
  // The answer a request gets under its fault: processed by httplib, a 503, or none at all; a
  // processed submission's operation works on `read`, the body as it was read to count it.
  ProcessedAnswer Respond(FramedRequest& request, std::uint64_t submission,
                          std::shared_ptr<SubmittedDocument> read);

  ServiceContext context_;
  ApiKeys keys_;
  std::function<void(const std::string&)> log_;
  FaultInjector faults_;
  SubmissionLog submissions_;
  RequestRing requests_;
  SessionStore sessions_;
  Console console_;
  std::unique_ptr<BufferedHttpServer> http_;
  std::unique_ptr<FrontEnd> frontEnd_;
  std::thread thread_;
};

}  // namespace QuarloSandbox
