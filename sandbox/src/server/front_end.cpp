#include "server/front_end.hpp"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/select.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "console/console_paths.hpp"
#include "sandbox_error.hpp"
#include "server/admission.hpp"
#include "server/body_reader.hpp"
#include "server/faults.hpp"
#include "server/log_line.hpp"
#include "server/refusal.hpp"

namespace QuarloSandbox {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kListenerTag = 0;
constexpr std::uint64_t kWakeTag = 1;
constexpr std::size_t kReadChunk = 64u * 1024u;
// Reads and accepts per wake-up, so that one busy client cannot starve the others.
constexpr int kReadsPerWake = 16;
constexpr int kAcceptsPerWake = 64;
// A refused client that keeps sending is cut off after this much, lingering or not.
constexpr std::size_t kMaxLingerBytes = 64u * 1024u * 1024u;
constexpr const char* kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

}  // namespace

struct FrontEnd::Connection {
  enum class Stage { Head, Body, AtWorker, Holding, Answering, Lingering };

  UniqueFd fd;
  std::uint64_t id = 0;
  Endpoint local;
  Endpoint peer;
  Stage stage = Stage::Head;
  bool closed = false;
  bool peerDone = false;     // the client closed its sending side
  bool headStarted = false;  // a byte of the current request has arrived
  std::string input;         // received and not yet taken by a request
  std::size_t headSearched = 0;
  std::optional<RequestHead> head;
  std::optional<BodyReader> body;
  std::size_t atWorker = 0;  // bytes of the request a worker holds
  std::string output;
  std::size_t written = 0;
  bool closeAfterAnswer = false;
  bool lingerAfterAnswer = false;
  std::function<void(std::optional<Moment>)> delivered;  // of the answer in hand
  std::size_t lingered = 0;
  std::size_t served = 0;
  std::size_t held = 0;      // counted in FrontEnd::buffered_
  std::size_t paced = 0;     // bytes of the body or answer moved when the window last renewed
  std::uint32_t events = 0;  // epoll interest; 0 while not registered
  Clock::time_point since;
  Clock::time_point deadline;
};

FrontEnd::FrontEnd(FrontEndLimits limits, const ApiKeys& keys, RequestProcessor process,
                   std::function<void(const std::string&)> log, FaultHooks faults,
                   RefusalHook refused)
    : limits_(limits),
      keys_(keys),
      process_(std::move(process)),
      log_(std::move(log)),
      faults_(std::move(faults)),
      refused_(std::move(refused)),
      epoll_(epoll_create1(EPOLL_CLOEXEC)),
      wake_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      nextSweep_(Clock::time_point::max()),
      readBuffer_(kReadChunk) {
  if (!epoll_.Valid() || !wake_.Valid()) {
    throw SandboxError(500, "no se pudo preparar el bucle de eventos del sandbox");
  }
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kWakeTag;
  epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, wake_.Get(), &event);
  pool_ = std::make_unique<httplib::ThreadPool>(limits_.workers);
}

FrontEnd::~FrontEnd() {
  // Run has returned (or never ran), so no job is left that could post to this object.
  pool_->shutdown();
}

int FrontEnd::Bind(const std::string& host, int port) {
  listener_ = ListenOn(host, port);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kListenerTag;
  epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, listener_.Get(), &event);
  return LocalEndpoint(listener_.Get()).port;
}

void FrontEnd::Stop() {
  stopping_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto ignored = ::write(wake_.Get(), &one, sizeof one);
}

void FrontEnd::Run() {
  std::vector<epoll_event> events(256);
  while (!(stopBegun_ && connections_.empty())) {
    const int ready = epoll_wait(epoll_.Get(), events.data(), static_cast<int>(events.size()),
                                 WaitMilliseconds());
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < ready; ++i) {
      HandleEvent(events[static_cast<std::size_t>(i)].data.u64);
    }
    SweepDeadlines();
    for (const std::uint64_t id : closed_) connections_.erase(id);
    closed_.clear();
  }
}

void FrontEnd::HandleEvent(std::uint64_t tag) {
  if (tag == kListenerTag) return AcceptAll();
  if (tag == kWakeTag) return TakeFinished();
  const auto found = connections_.find(tag);
  if (found == connections_.end() || found->second->closed) return;
  Connection& connection = *found->second;
  switch (connection.stage) {
    case Connection::Stage::Head:
    case Connection::Stage::Body:
      return ReadInput(connection);
    case Connection::Stage::Answering:
      return WriteOutput(connection);
    case Connection::Stage::Lingering:
      return Drain(connection);
    case Connection::Stage::AtWorker:
    case Connection::Stage::Holding:
      return;
  }
}

void FrontEnd::AcceptAll() {
  for (int i = 0; i < kAcceptsPerWake && !stopBegun_; ++i) {
    UniqueFd fd(accept4(listener_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (fd.Valid()) {
      AddConnection(std::move(fd));
      continue;
    }
    if (errno == EMFILE || errno == ENFILE) {
      // Out of descriptors: stop listening until a connection closes, or the ready listener
      // would wake the loop without end.
      epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, listener_.Get(), nullptr);
      acceptPaused_ = true;
    }
    if (errno != EINTR && errno != ECONNABORTED) return;
  }
}

void FrontEnd::AddConnection(UniqueFd fd) {
  // httplib refuses any descriptor at or past FD_SETSIZE; such a connection could not be served.
  if (fd.Get() >= FD_SETSIZE ||
      (connections_.size() >= limits_.maxConnections && !EvictOldestWaiting())) {
    SendNow(fd.Get(), RefusalResponse(503, "el sandbox tiene demasiadas conexiones abiertas"));
    return;
  }
  const int on = 1;
  setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  auto connection = std::make_unique<Connection>();
  connection->id = nextId_++;
  connection->local = LocalEndpoint(fd.Get());
  connection->peer = PeerEndpoint(fd.Get());
  connection->fd = std::move(fd);
  connection->since = Clock::now();
  Connection& added = *connection;
  connections_.emplace(added.id, std::move(connection));
  SetDeadline(added, added.since + limits_.idle);
  SetInterest(added, EPOLLIN);
}

bool FrontEnd::EvictOldestWaiting() {
  // The connection that has waited longest without a request in progress, or without finishing
  // its head, makes room: a new client is more likely to be a real one than a stalled one.
  Connection* oldest = nullptr;
  for (auto& [id, connection] : connections_) {
    const auto stage = connection->stage;
    if (connection->closed ||
        (stage != Connection::Stage::Head && stage != Connection::Stage::Lingering)) {
      continue;
    }
    if (oldest == nullptr || connection->since < oldest->since) oldest = connection.get();
  }
  if (oldest == nullptr) return false;
  Close(*oldest);
  return true;
}

void FrontEnd::TakeFinished() {
  std::uint64_t count = 0;
  [[maybe_unused]] const auto ignored = ::read(wake_.Get(), &count, sizeof count);
  std::vector<Finished> finished;
  {
    const std::lock_guard lock(finishedMutex_);
    finished.swap(finished_);
  }
  for (Finished& done : finished) {
    Connection& connection = *connections_.at(done.id);
    connection.atWorker = 0;
    connection.closeAfterAnswer = done.answer.close || stopping_;
    connection.delivered = std::move(done.answer.delivered);
    Deliver(connection, std::move(done.answer.bytes), done.fault);
  }
  if (stopping_ && !stopBegun_) BeginStop();
}

void FrontEnd::BeginStop() {
  stopBegun_ = true;
  if (!acceptPaused_ && listener_.Valid()) {
    epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, listener_.Get(), nullptr);
  }
  listener_.Reset();
  // Requests at a worker are answered first, a held answer now; everything else ends now.
  for (auto& [id, connection] : connections_) {
    if (connection->stage == Connection::Stage::Holding) {
      connection->closeAfterAnswer = true;
      StartAnswer(*connection, std::move(connection->output));
    } else if (connection->stage == Connection::Stage::AtWorker ||
               connection->stage == Connection::Stage::Answering) {
      connection->closeAfterAnswer = true;
    } else if (!connection->closed) {
      Close(*connection);
    }
  }
}

void FrontEnd::ReadInput(Connection& connection) {
  for (int i = 0; i < kReadsPerWake; ++i) {
    if (buffered_ >= limits_.maxBufferedBytes) {
      return Refuse(connection, 503, "el sandbox tiene demasiadas solicitudes en curso");
    }
    const ssize_t got = ::recv(connection.fd.Get(), readBuffer_.data(), readBuffer_.size(), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (got < 0) return Close(connection);
    if (got == 0) connection.peerDone = true;
    connection.input.append(readBuffer_.data(), static_cast<std::size_t>(got));
    Advance(connection);
    if (connection.closed || got == 0 ||
        (connection.stage != Connection::Stage::Head &&
         connection.stage != Connection::Stage::Body)) {
      return;
    }
  }
}

void FrontEnd::Advance(Connection& connection) {
  if (connection.stage == Connection::Stage::Head && AdvanceHead(connection)) {
    AdvanceBody(connection);
  } else if (connection.stage == Connection::Stage::Body) {
    AdvanceBody(connection);
  }
  if (!connection.closed) Account(connection);
}

bool FrontEnd::AdvanceHead(Connection& connection) {
  std::string& input = connection.input;
  // Blank lines before a request line are allowed, and some clients send one after a body.
  const auto start = input.find_first_not_of("\r\n");
  if (!connection.headStarted && !input.empty() && start != 0) {
    // A CR at the very end may be the first half of a CRLF that ends the request line.
    input.erase(0, start == std::string::npos ? input.size() - (input.back() == '\r') : start);
  }
  if (input.empty()) {
    if (connection.peerDone) Close(connection);
    return false;
  }
  if (!connection.headStarted) {
    connection.headStarted = true;
    connection.since = Clock::now();
    SetDeadline(connection, connection.since + limits_.head);
  }
  const std::size_t length =
      HeadLength(input, connection.headSearched > 2 ? connection.headSearched - 2 : 0);
  if (length == 0 || length > limits_.maxHeadBytes) {
    connection.headSearched = input.size();
    if (input.size() > limits_.maxHeadBytes) {
      Refuse(connection, 431, "las cabeceras de la solicitud son demasiado largas");
    } else if (connection.peerDone) {
      Close(connection);
    }
    return false;
  }
  try {
    connection.head = ParseRequestHead(std::string_view(input).substr(0, length));
    // The console's pages carry a session cookie, checked on the worker, instead of an AuthKey;
    // what a browser posts to them is a small form.
    static const ApiKeys kSessionChecked({});
    const bool console = IsConsolePath(connection.head->target);
    const std::size_t maxBody = console ? kConsoleMaxBodyBytes : limits_.maxBodyBytes;
    const Admission admission = Admit(*connection.head, console ? kSessionChecked : keys_, maxBody);
    connection.body.emplace(admission.framing, maxBody);
    input.erase(0, length);
    connection.headSearched = 0;
    if (admission.expectsContinue && input.empty() && !SendNow(connection.fd.Get(), kContinue)) {
      Close(connection);
      return false;
    }
  } catch (const SandboxError& refusal) {
    Refuse(connection, refusal.status(), refusal.what());
    return false;
  }
  connection.stage = Connection::Stage::Body;
  connection.since = Clock::now();
  connection.paced = 0;
  SetDeadline(connection, connection.since + limits_.transferGrace);
  return true;
}

void FrontEnd::AdvanceBody(Connection& connection) {
  try {
    connection.input.erase(0, connection.body->Take(connection.input));
  } catch (const SandboxError& refusal) {
    return Refuse(connection, refusal.status(), refusal.what());
  }
  if (connection.body->Done()) return HandOff(connection);
  if (connection.peerDone) return Close(connection);
  KeepPace(connection, connection.body->Taken());
}

void FrontEnd::HandOff(Connection& connection) {
  auto request = std::make_shared<FramedRequest>();
  request->head = std::move(*connection.head);
  request->body = std::move(connection.body->Body());
  request->local = connection.local;
  request->peer = connection.peer;
  request->socket = connection.fd.Get();
  request->lastOnConnection =
      ++connection.served >= limits_.requestsPerConnection || stopping_ || connection.peerDone;
  request->received = Stamp();
  if (faults_.choose) request->fault = faults_.choose(request->head);
  if (request->fault != Fault::None) {
    Log(FaultLogLine(request->fault, request->head.method, request->head.target,
                     request->received.order));
  }
  connection.head.reset();
  connection.body.reset();
  connection.input.shrink_to_fit();  // an idle connection keeps no large read buffer
  connection.atWorker = request->body.size();
  connection.stage = Connection::Stage::AtWorker;
  // Not watched while a worker has the request: a pipelined request waits in the socket, and a
  // client that hangs up is noticed when the answer is written.
  SetInterest(connection, 0);
  pool_->enqueue([this, id = connection.id, request] {
    ProcessedAnswer answer;
    try {
      answer = process_(*request);
    } catch (...) {
      answer = {RefusalResponse(500, "error interno del sandbox"), true, {}};
    }
    {
      const std::lock_guard lock(finishedMutex_);
      finished_.push_back({id, std::move(answer), request->fault});
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto ignored = ::write(wake_.Get(), &one, sizeof one);
  });
}

void FrontEnd::Refuse(Connection& connection, int status, const std::string& description) {
  LogRefusal(connection, status, description);
  connection.head.reset();
  connection.body.reset();
  connection.input.clear();
  connection.lingerAfterAnswer = true;
  StartAnswer(connection, RefusalResponse(status, description));
}

void FrontEnd::Deliver(Connection& connection, std::string bytes, Fault fault) {
  switch (fault) {
    case Fault::LostAnswer:
      return Close(connection);
    case Fault::ResetBefore:
    case Fault::ResetAfter:
      return Reset(connection);
    case Fault::Stall:
      if (!stopping_) return Hold(connection, std::move(bytes));
      break;
    case Fault::None:
    case Fault::Unavailable:
      break;
  }
  StartAnswer(connection, std::move(bytes));
}

void FrontEnd::Hold(Connection& connection, std::string bytes) {
  // Held by the loop against a deadline, like any other wait: no worker sleeps on it, and other
  // connections go on being served.
  connection.stage = Connection::Stage::Holding;
  connection.output = std::move(bytes);
  connection.written = 0;
  connection.since = Clock::now();
  SetDeadline(connection, connection.since + faults_.stall);
}

void FrontEnd::StartAnswer(Connection& connection, std::string bytes) {
  connection.stage = Connection::Stage::Answering;
  connection.output = std::move(bytes);
  connection.written = 0;
  connection.since = Clock::now();
  connection.paced = 0;
  SetDeadline(connection, connection.since + limits_.transferGrace);
  Account(connection);
  WriteOutput(connection);
}

void FrontEnd::WriteOutput(Connection& connection) {
  const std::string& output = connection.output;
  while (connection.written < output.size()) {
    const ssize_t sent = ::send(connection.fd.Get(), output.data() + connection.written,
                                output.size() - connection.written, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (sent < 0) return Close(connection);
    connection.written += static_cast<std::size_t>(sent);
  }
  if (connection.written == output.size()) return FinishAnswer(connection);
  SetInterest(connection, EPOLLOUT);
  KeepPace(connection, connection.written);
}

void FrontEnd::FinishAnswer(Connection& connection) {
  if (connection.delivered) ReportDelivery(connection, Stamp());
  connection.output = std::string();
  connection.written = 0;
  if (connection.lingerAfterAnswer) {
    // The rest of the refused request is read and dropped for a while, so that closing with
    // unread bytes does not reset the connection before the client has read the answer.
    ::shutdown(connection.fd.Get(), SHUT_WR);
    connection.stage = Connection::Stage::Lingering;
    connection.since = Clock::now();
    SetDeadline(connection, connection.since + limits_.linger);
    SetInterest(connection, EPOLLIN);
    return;
  }
  if (connection.closeAfterAnswer) return Close(connection);
  connection.stage = Connection::Stage::Head;
  connection.headStarted = false;
  connection.since = Clock::now();
  SetDeadline(connection, connection.since + limits_.idle);
  SetInterest(connection, EPOLLIN);
  // A pipelined request may already be waiting in the input.
  Advance(connection);
}

void FrontEnd::Drain(Connection& connection) {
  for (int i = 0; i < kReadsPerWake; ++i) {
    const ssize_t got = ::recv(connection.fd.Get(), readBuffer_.data(), readBuffer_.size(), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (got <= 0) return Close(connection);
    connection.lingered += static_cast<std::size_t>(got);
    if (connection.lingered > kMaxLingerBytes) return Close(connection);
  }
}

void FrontEnd::Expire(Connection& connection) {
  if (connection.stage == Connection::Stage::Answering) {
    // Reset rather than closed: the unsent rest of the answer is dropped at once instead of
    // staying in the system's buffers for a client that does not read it.
    return Reset(connection);
  }
  const bool midRequest = connection.stage == Connection::Stage::Body ||
                          (connection.stage == Connection::Stage::Head && connection.headStarted);
  if (midRequest) {
    const std::string description = "la solicitud no llegó completa a tiempo";
    LogRefusal(connection, 408, description);
    // A best effort: a client this slow may not read it, and it is not waited for.
    SendNow(connection.fd.Get(), RefusalResponse(408, description));
  }
  Close(connection);
}

void FrontEnd::Reset(Connection& connection) {
  const linger reset{1, 0};
  setsockopt(connection.fd.Get(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  Close(connection);
}

void FrontEnd::ReportDelivery(Connection& connection, std::optional<Moment> sent) {
  if (!connection.delivered) return;
  const auto delivered = std::move(connection.delivered);
  connection.delivered = nullptr;
  delivered(sent);
}

Moment FrontEnd::Stamp() {
  return Moment{std::chrono::system_clock::now(), ++events_};
}

void FrontEnd::Close(Connection& connection) {
  if (connection.closed) return;
  ReportDelivery(connection, std::nullopt);
  SetInterest(connection, 0);
  connection.fd.Reset();
  connection.closed = true;
  connection.input = std::string();
  connection.output = std::string();
  connection.head.reset();
  connection.body.reset();
  Account(connection);
  closed_.push_back(connection.id);
  if (acceptPaused_ && listener_.Valid()) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kListenerTag;
    epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, listener_.Get(), &event);
    acceptPaused_ = false;
  }
}

void FrontEnd::SetInterest(Connection& connection, std::uint32_t events) {
  if (events == connection.events) return;
  epoll_event event{};
  event.events = events;
  event.data.u64 = connection.id;
  const int operation = events == 0              ? EPOLL_CTL_DEL
                        : connection.events == 0 ? EPOLL_CTL_ADD
                                                 : EPOLL_CTL_MOD;
  epoll_ctl(epoll_.Get(), operation, connection.fd.Get(), &event);
  connection.events = events;
}

void FrontEnd::SetDeadline(Connection& connection, Clock::time_point deadline) {
  connection.deadline = deadline;
  nextSweep_ = std::min(nextSweep_, deadline);
}

void FrontEnd::KeepPace(Connection& connection, std::size_t moved) {
  // The floor rate holds in every window, not on average: a client that sent or read fast at
  // first earns no credit for stalling afterwards.
  const auto window = std::chrono::duration_cast<std::chrono::milliseconds>(limits_.transferGrace);
  const std::size_t perWindow =
      limits_.floorBytesPerSecond * static_cast<std::size_t>(window.count()) / 1000u;
  if (moved - connection.paced < perWindow) return;
  connection.paced = moved;
  SetDeadline(connection, Clock::now() + limits_.transferGrace);
}

void FrontEnd::Account(Connection& connection) {
  const std::size_t held = connection.input.size() + connection.atWorker +
                           (connection.body ? connection.body->Body().size() : 0);
  buffered_ = buffered_ - connection.held + held;
  connection.held = held;
}

void FrontEnd::SweepDeadlines() {
  const auto now = Clock::now();
  if (now < nextSweep_) return;
  nextSweep_ = Clock::time_point::max();
  for (auto& [id, connection] : connections_) {
    if (connection->closed || connection->stage == Connection::Stage::AtWorker) continue;
    if (connection->deadline <= now && connection->stage == Connection::Stage::Holding) {
      StartAnswer(*connection, std::move(connection->output));
    } else if (connection->deadline <= now) {
      Expire(*connection);
    } else {
      nextSweep_ = std::min(nextSweep_, connection->deadline);
    }
  }
}

int FrontEnd::WaitMilliseconds() const {
  if (nextSweep_ == Clock::time_point::max()) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextSweep_ - Clock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 60'000));
}

void FrontEnd::Log(const std::string& line) const {
  if (log_) log_(line);
}

void FrontEnd::LogRefusal(const Connection& connection, int status,
                          const std::string& description) const {
  static const std::string kUnread;
  const std::string& method = connection.head ? connection.head->method : kUnread;
  const std::string& target = connection.head ? connection.head->target : kUnread;
  Log(RequestLogLine(method, target, status, description));
  if (refused_) refused_(method, target, status);
}

}  // namespace QuarloSandbox
