#include "server/http_server.hpp"

#include "protocol/answer.hpp"
#include "server/buffered_exchange.hpp"
#include "server/front_end.hpp"
#include "server/log_line.hpp"
#include "server/refusal.hpp"

namespace QuarloSandbox {

namespace {

// What httplib itself refuses before a request reaches Dispatch.
std::string TransportRefusal(int status, std::size_t maxBody) {
  switch (status) {
    case 413:
      return BodyTooLargeDescription(maxBody);
    case 404:
      return "ruta desconocida";
    case 414:
      return "la ruta de la solicitud es demasiado larga";
    default:
      return "la solicitud HTTP no es válida";
  }
}

// The front end has refused any Host that is not a host[:port], so it can stand in a URL.
std::string BaseUrl(const httplib::Request& request) {
  const std::string host = request.get_header_value("Host");
  if (!host.empty()) return "http://" + host;
  return "http://" + request.local_addr + ":" + std::to_string(request.local_port);
}

}  // namespace

SandboxServer::SandboxServer(ServiceContext context, ApiKeys keys,
                             std::function<void(const std::string&)> log, FrontEndLimits limits)
    : context_(context),
      keys_(std::move(keys)),
      log_(std::move(log)),
      http_(std::make_unique<BufferedHttpServer>()) {
  Install();
  http_->set_payload_max_length(limits.maxBodyBytes);
  http_->set_keep_alive_max_count(limits.requestsPerConnection);
  http_->set_keep_alive_timeout(
      std::chrono::duration_cast<std::chrono::seconds>(limits.idle).count());
  frontEnd_ = std::make_unique<FrontEnd>(
      limits, keys_, [this](FramedRequest& request) { return http_->Process(request); }, log_);
  // The front end answers a body over the cap before httplib could see it; this is for the
  // description of httplib's own refusals.
  const std::size_t maxBody = limits.maxBodyBytes;
  http_->set_error_handler(httplib::Server::HandlerWithResponse(
      [maxBody](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        response.set_content(RenderAnswer(Answer::Failure(
                                 response.status, TransportRefusal(response.status, maxBody))),
                             kAnswerContentType);
        return httplib::Server::HandlerResponse::Handled;
      }));
}

SandboxServer::~SandboxServer() {
  Stop();
}

void SandboxServer::Install() {
  // Every request goes to Dispatch before httplib's routing, whose std::regex match recurses
  // once per character of the path: an 8 kB path cost each worker megabytes of stack.
  http_->set_pre_routing_handler([this](const httplib::Request& request,
                                        httplib::Response& response) {
    RequestView view{request.method, request.target, std::nullopt, request.body, BaseUrl(request)};
    if (request.has_header("AuthKey")) view.authKey = request.get_header_value("AuthKey");
    const Answer answer = Dispatch(context_, keys_, view);
    response.status = answer.status;
    response.set_content(RenderAnswer(answer), kAnswerContentType);
    if (log_) {
      log_(RequestLogLine(request.method, request.target, answer.status,
                          answer.result == "0" ? std::string_view{} : answer.description));
    }
    return httplib::Server::HandlerResponse::Handled;
  });
}

int SandboxServer::Bind(const std::string& host, int port) {
  return frontEnd_->Bind(host, port);
}

void SandboxServer::Start() {
  thread_ = std::thread([this] { frontEnd_->Run(); });
}

void SandboxServer::Stop() {
  frontEnd_->Stop();
  if (thread_.joinable()) thread_.join();
}

}  // namespace QuarloSandbox
