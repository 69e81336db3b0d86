#include "server/http_server.hpp"

#include <algorithm>
#include <charconv>

#include "console/console_paths.hpp"
#include "protocol/answer.hpp"
#include "server/buffered_exchange.hpp"
#include "server/front_end.hpp"
#include "server/log_line.hpp"
#include "server/refusal.hpp"
#include "server/routes.hpp"
#include "server/sandbox_paths.hpp"
#include "service/incoming_document.hpp"

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

// The counted submission of the request the worker is processing, 0 when it is none, and its body
// as read to count it. httplib hands its handler only its own Request, so both travel beside the
// call, on the worker's thread, for as long as a CountedSubmission lives.
thread_local std::uint64_t currentSubmission = 0;
thread_local std::shared_ptr<SubmittedDocument> currentDocument;

class CountedSubmission {
 public:
  CountedSubmission(std::uint64_t entry, std::shared_ptr<SubmittedDocument> read) {
    currentSubmission = entry;
    currentDocument = std::move(read);
  }
  ~CountedSubmission() {
    currentSubmission = 0;
    currentDocument = nullptr;
  }
  CountedSubmission(const CountedSubmission&) = delete;
  CountedSubmission& operator=(const CountedSubmission&) = delete;
};

// The folio a stored submission took, as its answer gives it; nothing when it was not stored.
std::optional<std::int64_t> TakenFolio(const Answer& answer) {
  if (answer.status != 200) return std::nullopt;
  for (const auto& [name, text] : answer.payload) {
    std::int64_t folio = 0;
    if (name == "Folio" &&
        std::from_chars(text.data(), text.data() + text.size(), folio).ec == std::errc{}) {
      return folio;
    }
  }
  return std::nullopt;
}

RequestView ViewOf(const httplib::Request& request) {
  RequestView view{request.method, request.target,   std::nullopt,
                   request.body,   BaseUrl(request), currentDocument};
  if (request.has_header("AuthKey")) view.authKey = request.get_header_value("AuthKey");
  return view;
}

}  // namespace

SandboxServer::SandboxServer(ServiceContext context, ApiKeys keys,
                             std::function<void(const std::string&)> log, FrontEndLimits limits,
                             FaultSettings faults, std::size_t submissionCapacity)
    : context_(context),
      keys_(std::move(keys)),
      log_(std::move(log)),
      faults_(std::move(faults)),
      submissions_(submissionCapacity),
      console_(context_, keys_, requests_, sessions_),
      http_(std::make_unique<BufferedHttpServer>()) {
  Install();
  http_->set_payload_max_length(limits.maxBodyBytes);
  http_->set_keep_alive_max_count(limits.requestsPerConnection);
  http_->set_keep_alive_timeout(
      std::chrono::duration_cast<std::chrono::seconds>(limits.idle).count());
  FaultHooks hooks{[this](const RequestHead& head) { return FaultFor(head); },
                   faults_.Settings().stall};
  // A request refused on its head (a wrong key above all) is what a developer most needs to see
  // in the console's list of requests.
  RefusalHook refused = [this](const std::string& method, const std::string& target, int status) {
    if (IsConsolePath(target)) return;
    requests_.Record(method, target.empty() ? "" : OperationName(target), status, {});
  };
  frontEnd_ = std::make_unique<FrontEnd>(
      limits, keys_, [this](FramedRequest& request) { return Serve(request); }, log_,
      std::move(hooks), std::move(refused));
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
  http_->set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        if (IsConsolePath(request.target)) {
          AnswerConsole(request, response);
          return httplib::Server::HandlerResponse::Handled;
        }
        const auto started = std::chrono::steady_clock::now();
        const RequestView view = ViewOf(request);
        if (IsSandboxPath(request.target)) {
          const SandboxPathAnswer answer = AnswerSandboxPath(submissions_, keys_, view);
          response.status = answer.status;
          response.set_content(answer.body, kAnswerContentType);
          if (log_) log_(RequestLogLine(request.method, request.target, answer.status, {}));
          requests_.Record(request.method, OperationName(request.target), answer.status,
                           std::chrono::steady_clock::now() - started);
          return httplib::Server::HandlerResponse::Handled;
        }
        const Answer answer = Dispatch(context_, keys_, view);
        requests_.Record(request.method, OperationName(request.target), answer.status,
                         std::chrono::steady_clock::now() - started);
        if (currentSubmission != 0) {
          submissions_.Processed(currentSubmission, answer.status, TakenFolio(answer));
        }
        response.status = answer.status;
        response.set_content(RenderAnswer(answer), kAnswerContentType);
        if (log_) {
          log_(RequestLogLine(request.method, request.target, answer.status,
                              answer.result == "0" ? std::string_view{} : answer.description));
        }
        return httplib::Server::HandlerResponse::Handled;
      });
}

void SandboxServer::AnswerConsole(const httplib::Request& request, httplib::Response& response) {
  const ConsoleAnswer answer = console_.Answer(ConsoleRequest{
      request.method, request.target, request.get_header_value("Cookie"), request.body});
  response.status = answer.status;
  for (const auto& [name, value] : answer.headers) response.set_header(name, value);
  response.set_content(answer.body, answer.contentType);
  // Logged like any request, but not kept in the console's own list of requests.
  if (log_) log_(RequestLogLine(request.method, request.target, answer.status, {}));
}

Fault SandboxServer::FaultFor(const RequestHead& head) {
  // Only the protocol's paths (those chosen, when some are) are faulted: an unknown path or the
  // sandbox's own report is answered as it is, and takes no draw from the fault sequence.
  const std::string operation = OperationName(head.target);
  const auto& chosen = faults_.Settings().operations;
  if (FindRoute(operation) == nullptr ||
      (!chosen.empty() && std::find(chosen.begin(), chosen.end(), operation) == chosen.end())) {
    return Fault::None;
  }
  return faults_.Next();
}

ProcessedAnswer SandboxServer::Serve(FramedRequest& request) {
  const std::string operation = OperationName(request.head.target);
  std::uint64_t entry = 0;
  std::shared_ptr<SubmittedDocument> read;
  if (request.head.method == "POST") {
    if (auto counted = SubmittedFolio(operation, request.body)) {
      read = std::move(counted->read);
      entry = submissions_.Received(std::move(counted->key), operation, request.received,
                                    request.fault);
    }
  }
  ProcessedAnswer answer;
  try {
    answer = Respond(request, entry, std::move(read));
  } catch (...) {
    answer = {RefusalResponse(500, "error interno del sandbox"), true, {}};
  }
  if (entry != 0) {
    answer.delivered = [this, entry](std::optional<Moment> sent) {
      submissions_.Delivered(entry, sent);
    };
  }
  return answer;
}

ProcessedAnswer SandboxServer::Respond(FramedRequest& request, std::uint64_t submission,
                                       std::shared_ptr<SubmittedDocument> read) {
  if (request.fault == Fault::Unavailable) {
    submissions_.Processed(submission, 503, std::nullopt);
    return {RefusalResponse(503, "el sandbox simula que el servicio no está disponible"), true, {}};
  }
  // A reset before processing has nothing to answer: the front end drops the connection.
  if (!ProcessesRequest(request.fault)) return {};
  const CountedSubmission counted(submission, std::move(read));
  return http_->Process(request);
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
