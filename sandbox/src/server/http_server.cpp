#include "server/http_server.hpp"

#include <httplib.h>

#include "protocol/answer.hpp"
#include "sandbox_error.hpp"
#include "server/log_line.hpp"

namespace QuarloSandbox {

namespace {

constexpr std::size_t kWorkerThreads = 24;
constexpr const char* kContentType = "application/xml; charset=utf-8";
constexpr const char* kAnyPath = R"([\s\S]*)";

// What the server itself refuses before a request reaches Dispatch.
std::string TransportRefusal(int status) {
  switch (status) {
    case 413:
      return "la solicitud supera el límite de " + std::to_string(kMaxBodyBytes / (1024 * 1024)) +
             " MiB";
    case 404:
      return "ruta desconocida";
    case 414:
      return "la ruta de la solicitud es demasiado larga";
    default:
      return "la solicitud HTTP no es válida";
  }
}

std::string BaseUrl(const httplib::Request& request) {
  const std::string host = request.get_header_value("Host");
  if (!host.empty()) return "http://" + host;
  return "http://" + request.local_addr + ":" + std::to_string(request.local_port);
}

}  // namespace

SandboxServer::SandboxServer(ServiceContext context, ApiKeys keys,
                             std::function<void(const std::string&)> log)
    : context_(context),
      keys_(std::move(keys)),
      log_(std::move(log)),
      server_(std::make_unique<httplib::Server>()) {
  Install();
}

SandboxServer::~SandboxServer() {
  Stop();
}

void SandboxServer::Install() {
  server_->new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  server_->set_payload_max_length(kMaxBodyBytes);
  const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    RequestView view{request.method, request.target, std::nullopt, request.body, BaseUrl(request)};
    if (request.has_header("AuthKey")) view.authKey = request.get_header_value("AuthKey");
    const Answer answer = Dispatch(context_, keys_, view);
    response.status = answer.status;
    response.set_content(RenderAnswer(answer), kContentType);
    if (log_) {
      log_(RequestLogLine(request.method, request.target, answer.status,
                          answer.result == "0" ? std::string_view{} : answer.description));
    }
  };
  server_->Get(kAnyPath, handler);
  server_->Post(kAnyPath, handler);
  server_->Put(kAnyPath, handler);
  server_->Delete(kAnyPath, handler);
  server_->Patch(kAnyPath, handler);
  // Failures httplib answers itself (a body over the limit, a malformed request) get the same
  // XML answer; answers Dispatch already wrote are left alone.
  server_->set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        response.set_content(
            RenderAnswer(Answer::Failure(response.status, TransportRefusal(response.status))),
            kContentType);
        return httplib::Server::HandlerResponse::Handled;
      }));
}

int SandboxServer::Bind(const std::string& host, int port) {
  const int bound =
      port == 0 ? server_->bind_to_any_port(host) : (server_->bind_to_port(host, port) ? port : -1);
  if (bound <= 0) {
    throw SandboxError(500, "no se pudo escuchar en " + host + ":" + std::to_string(port));
  }
  return bound;
}

void SandboxServer::Start() {
  returned_ = false;
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    returned_ = true;
  });
}

void SandboxServer::Stop() {
  if (!thread_.joinable()) return;
  // httplib's stop does nothing before the accept loop runs; a stop that came earlier would
  // leave the loop running for ever.
  while (!server_->is_running() && !returned_) std::this_thread::yield();
  server_->stop();
  thread_.join();
}

}  // namespace QuarloSandbox
