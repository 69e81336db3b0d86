#include "loopback_server.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <deque>
#include <limits>
#include <list>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace QuarloCliente::testing {
namespace {

// Bounds that turn a runaway or garbage client into a 400 instead of unbounded memory use.
constexpr std::size_t kMaxLine = 64 * 1024;
constexpr std::size_t kMaxHeaders = 1000;
constexpr std::size_t kMaxBody = 256 * 1024 * 1024;

constexpr std::string_view kBadRequest =
    "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }

 private:
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
};

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool ContainsIgnoreCase(std::string_view haystack, std::string_view needle) {
  for (std::size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
    if (EqualsIgnoreCase(haystack.substr(i, needle.size()), needle)) return true;
  }
  return false;
}

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

const std::string* FindHeader(const std::vector<std::pair<std::string, std::string>>& headers,
                              std::string_view name) {
  for (const auto& [key, value] : headers) {
    if (EqualsIgnoreCase(key, name)) return &value;
  }
  return nullptr;
}

template <typename T>
bool ParseNumber(std::string_view text, T& out, int base) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
  return ec == std::errc() && end == text.data() + text.size();
}

struct FormattedResponse {
  std::string bytes;
  std::size_t head_size = 0;
};

FormattedResponse Format(const ScriptedResponse& r, bool head_request) {
  FormattedResponse out;
  out.bytes = "HTTP/1.1 " + std::to_string(r.status) + " " + r.reason + "\r\n";
  for (const auto& [name, value] : r.headers) out.bytes += name + ": " + value + "\r\n";
  if (!FindHeader(r.headers, "Content-Length") && !FindHeader(r.headers, "Transfer-Encoding")) {
    out.bytes += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
  }
  if (!FindHeader(r.headers, "Connection")) out.bytes += "Connection: close\r\n";
  out.bytes += "\r\n";
  out.head_size = out.bytes.size();
  if (!head_request) out.bytes += r.body;
  return out;
}

// The piece of a paced answer that starts at `offset`; past the answer's end, filler when it
// never ends, nothing otherwise.
std::string PieceAt(std::string_view answer, std::size_t offset,
                    const ScriptedResponse::Pace& pace) {
  std::string piece(offset < answer.size() ? answer.substr(offset, pace.bytes) : "");
  if (pace.forever) piece.resize(pace.bytes, 'x');
  return piece;
}

enum class Outcome { kOk, kGone, kBad };

// One accepted socket. Every wait also watches the stop event, so that destroying the server
// never has to wait on a client that keeps the connection open or never finishes sending.
class Connection {
 public:
  Connection(int fd, int stop_fd) : fd_(fd), stop_fd_(stop_fd) {}

  Outcome ReadRequest(RecordedRequest& req) {
    std::string line;
    Outcome o = Outcome::kOk;
    // A client may send stray CRLFs between requests on a reused connection.
    do {
      start_ = pos_;
      if ((o = ReadLine(line)) != Outcome::kOk) return o;
    } while (line.empty());

    const auto sp1 = line.find(' ');
    const auto sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string::npos || line.compare(sp2 + 1, 5, "HTTP/") != 0) return Outcome::kBad;
    req.request_line = line;
    req.method = line.substr(0, sp1);
    req.target = line.substr(sp1 + 1, sp2 - sp1 - 1);

    for (;;) {
      if ((o = ReadLine(line)) != Outcome::kOk) return o;
      if (line.empty()) break;
      const auto colon = line.find(':');
      if (colon == std::string::npos || colon == 0 || req.headers.size() >= kMaxHeaders) {
        return Outcome::kBad;
      }
      req.headers.emplace_back(line.substr(0, colon),
                               std::string(Trim(std::string_view(line).substr(colon + 1))));
    }

    const std::string* te = req.Header("Transfer-Encoding");
    const std::string* cl = req.Header("Content-Length");
    if (te && ContainsIgnoreCase(*te, "chunked")) {
      o = ReadChunkedBody(req.body);
    } else if (cl) {
      std::size_t length = 0;
      if (!ParseNumber(*cl, length, 10) || length > kMaxBody) return Outcome::kBad;
      o = ReadExact(length, req.body);
    }
    if (o != Outcome::kOk) return o;

    req.raw = buf_.substr(start_, pos_ - start_);
    // Whatever follows belongs to the client's next request on this connection.
    buf_.erase(0, pos_);
    pos_ = 0;
    return Outcome::kOk;
  }

  bool SendAll(std::string_view data) {
    while (!data.empty()) {
      const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
      if (n > 0) {
        data.remove_prefix(static_cast<std::size_t>(n));
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (!WaitFor(POLLOUT)) return false;
      } else {
        return false;
      }
    }
    return true;
  }

  // Waits the given time; false when the server stops meanwhile.
  bool Pause(std::chrono::milliseconds time) {
    pollfd stop{stop_fd_, POLLIN, 0};
    for (;;) {
      const int ready = ::poll(&stop, 1, static_cast<int>(time.count()));
      if (ready < 0 && errno == EINTR) continue;
      return ready == 0;
    }
  }

  // Makes the coming close send a reset (RST) instead of an orderly end of the stream.
  void ResetOnClose() {
    const linger abort{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  }

  // Holds the connection open, swallowing anything the client sends, until it hangs up or the
  // server stops.
  void HoldOpen() {
    std::array<char, 4096> sink;
    for (;;) {
      if (!WaitFor(POLLIN)) return;
      const ssize_t n = ::recv(fd_, sink.data(), sink.size(), 0);
      if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) return;
    }
  }

 private:
  // False once the server is stopping; true when the socket has something to report (including
  // errors and hang-ups, which the following recv/send then surfaces).
  bool WaitFor(short events) {
    for (;;) {
      std::array<pollfd, 2> fds{{{fd_, events, 0}, {stop_fd_, POLLIN, 0}}};
      if (::poll(fds.data(), fds.size(), -1) < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (fds[1].revents != 0) return false;
      if (fds[0].revents != 0) return true;
    }
  }

  Outcome Fill() {
    std::array<char, 16 * 1024> chunk;
    for (;;) {
      if (!WaitFor(POLLIN)) return Outcome::kGone;
      const ssize_t n = ::recv(fd_, chunk.data(), chunk.size(), 0);
      if (n > 0) {
        buf_.append(chunk.data(), static_cast<std::size_t>(n));
        return Outcome::kOk;
      }
      if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
        return Outcome::kGone;
      }
    }
  }

  Outcome ReadLine(std::string& line) {
    for (;;) {
      const auto end = buf_.find("\r\n", pos_);
      if (end != std::string::npos) {
        line.assign(buf_, pos_, end - pos_);
        pos_ = end + 2;
        return Outcome::kOk;
      }
      if (buf_.size() - pos_ > kMaxLine) return Outcome::kBad;
      if (const Outcome o = Fill(); o != Outcome::kOk) return o;
    }
  }

  Outcome ReadExact(std::size_t n, std::string& out) {
    while (buf_.size() - pos_ < n) {
      if (const Outcome o = Fill(); o != Outcome::kOk) return o;
    }
    out.append(buf_, pos_, n);
    pos_ += n;
    return Outcome::kOk;
  }

  Outcome ReadChunkedBody(std::string& body) {
    std::string line;
    for (;;) {
      if (const Outcome o = ReadLine(line); o != Outcome::kOk) return o;
      std::size_t size = 0;
      const std::string_view digits = Trim(std::string_view(line).substr(0, line.find(';')));
      if (!ParseNumber(digits, size, 16) || size > kMaxBody - body.size()) return Outcome::kBad;
      if (size == 0) break;
      if (const Outcome o = ReadExact(size, body); o != Outcome::kOk) return o;
      if (const Outcome o = ReadLine(line); o != Outcome::kOk) return o;
      if (!line.empty()) return Outcome::kBad;
    }
    // Trailer fields stay visible in `raw`; nothing the tests need goes there.
    do {
      if (const Outcome o = ReadLine(line); o != Outcome::kOk) return o;
    } while (!line.empty());
    return Outcome::kOk;
  }

  int fd_;
  int stop_fd_;
  std::string buf_;
  std::size_t pos_ = 0;
  std::size_t start_ = 0;
};

}  // namespace

const std::string* RecordedRequest::Header(std::string_view name) const {
  return FindHeader(headers, name);
}

std::string ReasonPhrase(int status) {
  // clang-format off
  static constexpr std::pair<int, std::string_view> kPhrases[] = {
      {200, "OK"}, {201, "Created"}, {202, "Accepted"}, {204, "No Content"},
      {301, "Moved Permanently"}, {302, "Found"}, {400, "Bad Request"}, {401, "Unauthorized"},
      {403, "Forbidden"}, {404, "Not Found"}, {405, "Method Not Allowed"},
      {408, "Request Timeout"}, {413, "Payload Too Large"}, {429, "Too Many Requests"},
      {500, "Internal Server Error"}, {502, "Bad Gateway"}, {503, "Service Unavailable"},
      {504, "Gateway Timeout"},
  };
  // clang-format on
  for (const auto& [code, phrase] : kPhrases) {
    if (code == status) return std::string(phrase);
  }
  return "Unknown";
}

ScriptedResponse ScriptedResponse::Xml(std::string body, int status) {
  ScriptedResponse r;
  r.status = status;
  r.reason = ReasonPhrase(status);
  r.headers = {{"Content-Type", "application/xml; charset=utf-8"}};
  r.body = std::move(body);
  return r;
}

ScriptedResponse ScriptedResponse::Html(std::string body, int status) {
  ScriptedResponse r;
  r.status = status;
  r.reason = ReasonPhrase(status);
  r.headers = {{"Content-Type", "text/html"}};
  r.body = std::move(body);
  return r;
}

ScriptedResponse ScriptedResponse::CloseConnection() {
  ScriptedResponse r;
  r.action = Action::Close;
  return r;
}

ScriptedResponse ScriptedResponse::StallForever() {
  ScriptedResponse r;
  r.action = Action::Stall;
  return r;
}

ScriptedResponse ScriptedResponse::StallMidBody(std::string body, std::size_t bytes_sent,
                                                int status) {
  ScriptedResponse r = Xml(std::move(body), status);
  r.action = Action::Stall;
  r.stall_body_bytes = bytes_sent;
  return r;
}

ScriptedResponse ScriptedResponse::Trickle(std::string body, std::size_t bytes,
                                           std::chrono::milliseconds every) {
  ScriptedResponse r = Xml(std::move(body));
  r.action = Action::Trickle;
  r.trickle = {std::max<std::size_t>(bytes, 1), every, false};
  return r;
}

ScriptedResponse ScriptedResponse::TrickleForever(std::size_t bytes,
                                                  std::chrono::milliseconds every) {
  ScriptedResponse r = Xml("<Response><Description>").WithHeader("Content-Length", "1000000000");
  r.action = Action::Trickle;
  r.trickle = {std::max<std::size_t>(bytes, 1), every, true};
  return r;
}

ScriptedResponse ScriptedResponse::RawBytes(std::string bytes) {
  ScriptedResponse r;
  r.action = Action::Raw;
  r.body = std::move(bytes);
  return r;
}

ScriptedResponse ScriptedResponse::ResetMidBody(std::string body, std::size_t bytes_sent) {
  ScriptedResponse r = Xml(std::move(body));
  r.action = Action::Reset;
  r.stall_body_bytes = bytes_sent;
  return r;
}

ScriptedResponse ScriptedResponse::WithHeader(std::string name, std::string value) && {
  headers.emplace_back(std::move(name), std::move(value));
  return std::move(*this);
}

struct LoopbackServer::Impl {
  struct Worker {
    std::thread thread;
    std::atomic<bool> finished{false};
  };

  UniqueFd listener;
  // An eventfd that is written once and never read, so it stays readable and every poll in
  // every thread sees the stop at the same time.
  UniqueFd stop;
  std::uint16_t port = 0;

  mutable std::mutex mu;
  mutable std::condition_variable arrived;
  std::deque<ScriptedResponse> queue;
  ScriptedResponse fallback = ScriptedResponse::Xml("<Response><Result>0</Result></Response>");
  std::vector<RecordedRequest> requests;
  std::size_t kept_limit = std::numeric_limits<std::size_t>::max();
  std::size_t received = 0;

  std::thread acceptor;
  std::list<std::unique_ptr<Worker>> workers;  // touched only by the acceptor, then the dtor

  void AcceptLoop() {
    for (;;) {
      std::array<pollfd, 2> fds{{{listener.get(), POLLIN, 0}, {stop.get(), POLLIN, 0}}};
      if (::poll(fds.data(), fds.size(), -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents != 0) return;
      for (;;) {
        const int fd = ::accept4(listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
          if (errno == EINTR) continue;
          break;
        }
        Spawn(UniqueFd(fd));
      }
    }
  }

  // A thread per connection, so that one stalled exchange never holds up the client's retry on
  // a fresh connection.
  void Spawn(UniqueFd fd) {
    for (auto it = workers.begin(); it != workers.end();) {
      if ((*it)->finished.load(std::memory_order_acquire)) {
        (*it)->thread.join();
        it = workers.erase(it);
      } else {
        ++it;
      }
    }
    auto worker = std::make_unique<Worker>();
    Worker* w = worker.get();
    w->thread = std::thread([this, w, socket = std::move(fd)]() {
      Serve(socket.get());
      w->finished.store(true, std::memory_order_release);
    });
    workers.push_back(std::move(worker));
  }

  void Serve(int fd) {
    Connection conn(fd, stop.get());
    for (;;) {
      RecordedRequest req;
      switch (conn.ReadRequest(req)) {
        case Outcome::kGone:
          return;
        case Outcome::kBad:
          conn.SendAll(kBadRequest);
          return;
        case Outcome::kOk:
          break;
      }
      const std::string* connection = req.Header("Connection");
      const bool client_closes = connection && EqualsIgnoreCase(*connection, "close");
      const bool head_request = req.method == "HEAD";

      const ScriptedResponse r = Record(std::move(req));
      switch (r.action) {
        case ScriptedResponse::Action::Close:
          return;
        case ScriptedResponse::Action::Stall:
          if (SendPrefix(conn, r, head_request)) conn.HoldOpen();
          return;
        case ScriptedResponse::Action::Reset:
          if (SendPrefix(conn, r, head_request)) conn.ResetOnClose();
          return;
        case ScriptedResponse::Action::Raw:
          conn.SendAll(r.body);
          return;
        case ScriptedResponse::Action::Trickle:
          SendPaced(conn, r, head_request);
          return;
        case ScriptedResponse::Action::Respond: {
          if (!conn.SendAll(Format(r, head_request).bytes)) return;
          const std::string* reply = FindHeader(r.headers, "Connection");
          if (client_closes || !reply || !EqualsIgnoreCase(*reply, "keep-alive")) return;
          break;
        }
      }
    }
  }

  // The head and the first `stall_body_bytes` bytes of the body, when there is such a count;
  // false when the client is gone.
  static bool SendPrefix(Connection& conn, const ScriptedResponse& r, bool head_request) {
    if (!r.stall_body_bytes) return true;
    const FormattedResponse f = Format(r, head_request);
    const std::size_t n = std::min(f.bytes.size(), f.head_size + *r.stall_body_bytes);
    return conn.SendAll(std::string_view(f.bytes).substr(0, n));
  }

  // The answer in pieces of `trickle.bytes`, one every `trickle.every`, until it is all sent, the
  // client is gone or the server stops.
  static void SendPaced(Connection& conn, const ScriptedResponse& r, bool head_request) {
    const std::string answer = Format(r, head_request).bytes;
    for (std::size_t offset = 0;; offset += r.trickle.bytes) {
      const std::string piece = PieceAt(answer, offset, r.trickle);
      if (piece.empty() || !conn.SendAll(piece)) return;
      if (!conn.Pause(r.trickle.every)) return;
    }
  }

  ScriptedResponse Record(RecordedRequest req) {
    std::lock_guard lock(mu);
    ++received;
    if (requests.size() < kept_limit) requests.push_back(std::move(req));
    arrived.notify_all();
    if (queue.empty()) return fallback;
    ScriptedResponse r = std::move(queue.front());
    queue.pop_front();
    return r;
  }
};

std::uint16_t UnusedPort() {
  const UniqueFd fd(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &len);
  return ntohs(addr.sin_port);
}

UnacceptingListener::UnacceptingListener() : listener_(::socket(AF_INET, SOCK_STREAM, 0)) {
  if (listener_ < 0) ThrowErrno("socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener_, 0) != 0) {
    ::close(listener_);
    ThrowErrno("bind/listen");
  }
  socklen_t len = sizeof addr;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  // A backlog of 0 still admits a connection or two; these take the places.
  for (int i = 0; i < 3; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    fillers_.push_back(fd);
  }
}

UnacceptingListener::~UnacceptingListener() {
  for (const int fd : fillers_) ::close(fd);
  ::close(listener_);
}

std::string UnacceptingListener::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

LoopbackServer::LoopbackServer() : impl_(std::make_unique<Impl>()) {
  impl_->listener = UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (impl_->listener.get() < 0) ThrowErrno("socket");
  const int on = 1;
  if (::setsockopt(impl_->listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
    ThrowErrno("setsockopt(SO_REUSEADDR)");
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (::bind(impl_->listener.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    ThrowErrno("bind");
  }
  if (::listen(impl_->listener.get(), SOMAXCONN) != 0) ThrowErrno("listen");
  socklen_t len = sizeof addr;
  if (::getsockname(impl_->listener.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ThrowErrno("getsockname");
  }
  impl_->port = ntohs(addr.sin_port);

  impl_->stop = UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (impl_->stop.get() < 0) ThrowErrno("eventfd");

  impl_->acceptor = std::thread([impl = impl_.get()] { impl->AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  const std::uint64_t one = 1;
  // Cannot fail short of a counter overflow, which a single write never reaches.
  [[maybe_unused]] const ssize_t n = ::write(impl_->stop.get(), &one, sizeof one);
  impl_->acceptor.join();
  for (auto& worker : impl_->workers) worker->thread.join();
}

std::uint16_t LoopbackServer::port() const {
  return impl_->port;
}

std::string LoopbackServer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(impl_->port);
}

void LoopbackServer::Enqueue(ScriptedResponse r) {
  std::lock_guard lock(impl_->mu);
  impl_->queue.push_back(std::move(r));
}

void LoopbackServer::SetDefault(ScriptedResponse r) {
  std::lock_guard lock(impl_->mu);
  impl_->fallback = std::move(r);
}

std::vector<RecordedRequest> LoopbackServer::Requests() const {
  std::lock_guard lock(impl_->mu);
  return impl_->requests;
}

std::size_t LoopbackServer::RequestCount() const {
  std::lock_guard lock(impl_->mu);
  return impl_->received;
}

void LoopbackServer::KeepRequests(std::size_t count) {
  std::lock_guard lock(impl_->mu);
  impl_->kept_limit = count;
}

RecordedRequest LoopbackServer::WaitForRequest(std::size_t index) const {
  return WaitForRequest(index, std::chrono::seconds(10));
}

RecordedRequest LoopbackServer::WaitForRequest(std::size_t index,
                                               std::chrono::milliseconds limit) const {
  std::unique_lock lock(impl_->mu);
  if (index >= impl_->kept_limit) {
    throw std::out_of_range("request #" + std::to_string(index) + " is not kept");
  }
  if (!impl_->arrived.wait_for(lock, limit, [&] { return impl_->requests.size() > index; })) {
    throw std::runtime_error("LoopbackServer: request #" + std::to_string(index) +
                             " did not arrive within " + std::to_string(limit.count()) + " ms; " +
                             std::to_string(impl_->requests.size()) + " recorded");
  }
  return impl_->requests[index];
}

}  // namespace QuarloCliente::testing
