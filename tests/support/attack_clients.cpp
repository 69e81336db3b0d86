#include "attack_clients.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <ostream>
#include <quarlo/namespaces.hpp>
#include <stdexcept>
#include <thread>

#include "core/base64.hpp"
#include "core/charset.hpp"
#include "integration/sandbox_process.hpp"

namespace QuarloCliente::testing {

namespace {

using Clock = std::chrono::steady_clock;
using integration::UniqueFd;

constexpr std::size_t kPiece = 64u * 1024u;

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

UniqueFd ConnectTo(int port, int receiveBuffer) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  // Set before connecting, so that the window the client offers is small from the start.
  if ((fd.Get() >= 0) && receiveBuffer > 0) {
    setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (!(fd.Get() >= 0) ||
      ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("no se pudo conectar con 127.0.0.1:" + std::to_string(port) + ": " +
                             std::strerror(errno));
  }
  return fd;
}

namespace {

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

// Waits for the socket to be readable; false at the deadline.
bool WaitReadable(int fd, Clock::time_point deadline) {
  pollfd ready{fd, POLLIN, 0};
  while (true) {
    const int result = ::poll(&ready, 1, MillisecondsUntil(deadline));
    if (result > 0) return true;
    if (result == 0 || errno != EINTR) return false;
  }
}

// Reads one answer into `reply`; false when the connection ended or the deadline passed first.
bool ReadAnswer(int fd, Clock::time_point deadline, RawReply& reply) {
  std::string data;
  char buffer[16384];
  while (true) {
    const auto end = data.find("\r\n\r\n");
    if (end != std::string::npos) {
      reply.head = data.substr(0, end);
      reply.status = reply.head.size() > 12 ? std::atoi(reply.head.c_str() + 9) : 0;
      data.erase(0, end + 4);
      const std::string length = reply.Header("Content-Length");
      const std::size_t want = length.empty() ? 0 : std::stoul(length);
      while (data.size() < want) {
        if (!WaitReadable(fd, deadline)) return false;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        data.append(buffer, static_cast<std::size_t>(got));
      }
      reply.body = data.substr(0, want);
      return data.size() >= want;
    }
    if (!WaitReadable(fd, deadline)) return false;
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return false;
    data.append(buffer, static_cast<std::size_t>(got));
  }
}

// Whether the server closes the connection before the deadline; what it still sends is dropped.
bool ClosedBy(int fd, Clock::time_point deadline) {
  char buffer[16384];
  while (WaitReadable(fd, deadline)) {
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) return true;
  }
  return false;
}

// Sends the next bytes of `pending` without blocking; false once the server refuses more.
bool SendSome(int fd, std::string& pending, std::size_t& sent) {
  const ssize_t count = ::send(fd, pending.data(), pending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (count < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  pending.erase(0, static_cast<std::size_t>(count));
  sent += static_cast<std::size_t>(count);
  return true;
}

void Deflate(z_stream& stream, std::string& out, int flush) {
  char buffer[kPiece];
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    deflate(&stream, flush);
    out.append(buffer, sizeof buffer - stream.avail_out);
  } while (stream.avail_out == 0);
}

std::string SearchBody(const std::string& query) {
  return "<SearchRequest xmlns=\"" + std::string(ApiNamespace) +
         "\"><Environment>T</Environment><Group>E</Group><Query>" + query +
         "</Query><Page>1</Page><PageSize>10</PageSize></SearchRequest>";
}

std::string IsoBase64(std::string_view text) {
  return detail::EncodeBase64(detail::Utf8ToLatin1(text));
}

}  // namespace

std::string RawReply::Header(std::string_view name) const {
  std::string_view rest = head;
  while (!rest.empty()) {
    const auto end = rest.find("\r\n");
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
    const auto colon = line.find(':');
    if (colon != std::string_view::npos && SameName(line.substr(0, colon), name)) {
      const auto value = line.substr(colon + 1);
      const auto first = value.find_first_not_of(' ');
      return first == std::string_view::npos ? std::string() : std::string(value.substr(first));
    }
  }
  return {};
}

std::ostream& operator<<(std::ostream& out, const RawReply& reply) {
  return out << "status " << reply.status << (reply.closed ? ", closed" : ", open") << ", sent "
             << reply.sent << (reply.error.empty() ? "" : ", " + reply.error) << ": "
             << reply.body.substr(0, 400);
}

std::string RawRequest(std::string_view method, std::string_view target, const Headers& headers,
                       std::string_view body) {
  std::string request = std::string(method) + " " + std::string(target) + " HTTP/1.1\r\n";
  const bool hasHost = std::any_of(headers.begin(), headers.end(), [](const auto& header) {
    return SameName(header.first, "Host");
  });
  if (!hasHost) request += "Host: 127.0.0.1\r\n";
  for (const auto& [name, value] : headers) request += name + ": " + value + "\r\n";
  if (!body.empty()) request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return request + "\r\n" + std::string(body);
}

RawReply SendWhileWatching(int port, std::string_view head, const BodySource& body,
                           std::chrono::milliseconds patience) {
  const auto deadline = Clock::now() + patience;
  RawReply reply;
  const UniqueFd fd = ConnectTo(port);
  std::string pending(head);
  bool more = true;
  while (true) {
    if (pending.empty() && more && body) {
      auto piece = body();
      if (piece) pending = std::move(*piece);
      more = piece.has_value();
    }
    if (pending.empty()) more = false;
    pollfd ready{fd.Get(), static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0};
    const int result = ::poll(&ready, 1, MillisecondsUntil(deadline));
    if (result == 0) {
      reply.error = "el servidor no respondió a tiempo";
      return reply;
    }
    if (result < 0) continue;
    // An answer (or a hang-up) ends the sending: the server has decided.
    if ((ready.revents & (POLLIN | POLLHUP | POLLERR)) != 0) break;
    if (!SendSome(fd.Get(), pending, reply.sent)) break;
  }
  if (!ReadAnswer(fd.Get(), deadline, reply)) {
    reply.error = "no llegó una respuesta completa";
    reply.closed = true;
    return reply;
  }
  const bool closing = reply.Header("Connection") == "close";
  reply.closed = ClosedBy(fd.Get(), closing ? deadline : Clock::now());
  return reply;
}

RawReply Exchange(int port, std::string_view request, std::chrono::milliseconds patience) {
  return SendWhileWatching(port, request, {}, patience);
}

BodySource ChunkedZeros(std::size_t total) {
  auto left = std::make_shared<std::size_t>(total);
  auto ended = std::make_shared<bool>(false);
  return [left, ended]() -> std::optional<std::string> {
    if (*ended) return std::nullopt;
    if (*left == 0) {
      *ended = true;
      return std::string("0\r\n\r\n");
    }
    const std::size_t size = std::min(*left, kPiece);
    *left -= size;
    char hex[32];
    std::snprintf(hex, sizeof hex, "%zx\r\n", size);
    return std::string(hex) + std::string(size, '0') + "\r\n";
  };
}

BodySource Pieces(std::string bytes) {
  auto rest = std::make_shared<std::string>(std::move(bytes));
  auto at = std::make_shared<std::size_t>(0);
  return [rest, at]() -> std::optional<std::string> {
    if (*at >= rest->size()) return std::nullopt;
    const std::size_t size = std::min(rest->size() - *at, kPiece);
    std::string piece = rest->substr(*at, size);
    *at += size;
    return piece;
  };
}

std::string GzipBomb(std::size_t expanded) {
  z_stream stream{};
  // 16 + 15 window bits: a gzip wrapper around the deflate stream.
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + 15, 9, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    throw std::runtime_error("zlib no se pudo iniciar");
  }
  const std::string zeros(1024u * 1024u, '\0');
  std::string out;
  for (std::size_t left = expanded; left > 0;) {
    const std::size_t size = std::min(left, zeros.size());
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
    stream.avail_in = static_cast<uInt>(size);
    Deflate(stream, out, Z_NO_FLUSH);
    left -= size;
  }
  Deflate(stream, out, Z_FINISH);
  deflateEnd(&stream);
  return out;
}

RawReply ChunkedBody(int port, std::string_view target, std::size_t total,
                     const std::optional<std::string>& key) {
  Headers headers{{"Content-Type", "application/xml"}, {"Transfer-Encoding", "chunked"}};
  if (key) headers.emplace_back("AuthKey", *key);
  return SendWhileWatching(port, RawRequest("POST", target, headers), ChunkedZeros(total));
}

RawReply GzipBody(int port, std::string_view target, const std::string& gzip,
                  const std::optional<std::string>& key) {
  Headers headers{{"Content-Type", "application/xml"},
                  {"Content-Encoding", "gzip"},
                  {"Content-Length", std::to_string(gzip.size())}};
  if (key) headers.emplace_back("AuthKey", *key);
  return SendWhileWatching(port, RawRequest("POST", target, headers), Pieces(gzip));
}

RawReply HeadOnly(int port, std::string_view head) {
  return SendWhileWatching(port, head);
}

std::string LongSearchBody(int terms) {
  std::string query;
  for (int i = 0; i < terms; ++i) {
    // Terms of every kind the language has, so that none is answered from a shortcut.
    static constexpr const char* kTerms[] = {"folio:1..", "tipo:33,34,39",  "fecha:..2099-12-31",
                                             "monto:0..", "estado:vigente", "peñascos"};
    query += std::string(i == 0 ? "" : " ") + kTerms[i % 6];
  }
  return SearchBody(IsoBase64(query));
}

std::string EntityBombBody(int depth) {
  std::string doctype = "<!DOCTYPE SearchRequest [<!ENTITY e0 \"ababababab\">";
  for (int level = 1; level <= depth; ++level) {
    std::string reference = "&e" + std::to_string(level - 1) + ";";
    std::string tens;
    for (int i = 0; i < 10; ++i) tens += reference;
    doctype += "<!ENTITY e" + std::to_string(level) + " \"" + tens + "\">";
  }
  doctype += "]>";
  const std::string body = SearchBody("&e" + std::to_string(depth) + ";");
  return "<?xml version=\"1.0\"?>" + doctype + body;
}

struct SlowClients::State {
  struct Client {
    UniqueFd fd;
    std::size_t sent = 0;
    bool dropped = false;
    Clock::time_point start;
    Clock::duration life{};
  };

  std::string request;
  std::chrono::milliseconds interval;
  std::size_t allowed = 0;  // bytes each client may have sent by now
  bool reads = true;
  std::vector<Client> clients;
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  bool stopping = false;
  std::thread thread;

  void Drop(Client& client) {
    client.dropped = true;
    client.life = Clock::now() - client.start;
    client.fd.Reset();
  }

  // Notices the connections the server has closed. A reading client reads and drops what the
  // server sends (answers, a 408); one that does not read notices only a reset or a hang-up.
  void WatchFor(int milliseconds) {
    std::vector<pollfd> watched;
    std::vector<Client*> owners;
    {
      const std::lock_guard lock(mutex);
      for (Client& client : clients) {
        if (client.dropped) continue;
        watched.push_back({client.fd.Get(), static_cast<short>(reads ? POLLIN : 0), 0});
        owners.push_back(&client);
      }
    }
    if (watched.empty()) {
      std::unique_lock lock(mutex);
      changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return stopping; });
      return;
    }
    if (::poll(watched.data(), watched.size(), milliseconds) <= 0) return;
    const std::lock_guard lock(mutex);
    for (std::size_t i = 0; i < watched.size(); ++i) {
      if (watched[i].revents == 0) continue;
      if (!reads) {
        Drop(*owners[i]);
        continue;
      }
      char buffer[4096];
      const ssize_t got = ::recv(watched[i].fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) Drop(*owners[i]);
    }
    changed.notify_all();
  }

  // Sends each client's bytes up to its allowance, as far as its socket takes them now.
  void SendAllowed() {
    const std::lock_guard lock(mutex);
    const std::size_t due = std::min(allowed, request.size());
    for (Client& client : clients) {
      if (client.dropped || client.sent >= due) continue;
      std::string pending = request.substr(client.sent, due - client.sent);
      if (!SendSome(client.fd.Get(), pending, client.sent)) Drop(client);
    }
    changed.notify_all();
  }

  void Run() {
    auto next = Clock::now() + interval;
    while (true) {
      {
        const std::lock_guard lock(mutex);
        if (stopping) return;
      }
      WatchFor(std::min(MillisecondsUntil(next), 50));
      if (Clock::now() >= next) {
        ++allowed;
        next += interval;
      }
      SendAllowed();
    }
  }
};

SlowClients::SlowClients(int port, std::size_t count, std::chrono::milliseconds interval,
                         std::string request, std::size_t atOnce, bool readsAnswers)
    : state_(std::make_shared<State>()) {
  state_->request = std::move(request);
  state_->interval = interval;
  state_->allowed = atOnce;
  state_->reads = readsAnswers;
  state_->clients.resize(count);
  for (State::Client& client : state_->clients) {
    client.fd = ConnectTo(port, readsAnswers ? 0 : 4096);
    client.start = Clock::now();
  }
  state_->SendAllowed();
  state_->thread = std::thread([state = state_] { state->Run(); });
}

SlowClients::~SlowClients() {
  Stop();
}

std::size_t SlowClients::Open() const {
  const std::lock_guard lock(state_->mutex);
  return static_cast<std::size_t>(
      std::count_if(state_->clients.begin(), state_->clients.end(),
                    [](const State::Client& client) { return !client.dropped; }));
}

std::size_t SlowClients::WaitUntilDropped(std::chrono::milliseconds limit,
                                          std::size_t count) const {
  std::unique_lock lock(state_->mutex);
  const std::size_t wanted = count == 0 ? state_->clients.size() : count;
  const auto dropped = [this] {
    return static_cast<std::size_t>(
        std::count_if(state_->clients.begin(), state_->clients.end(),
                      [](const State::Client& client) { return client.dropped; }));
  };
  state_->changed.wait_for(lock, limit, [&] { return dropped() >= wanted; });
  return dropped();
}

std::chrono::milliseconds SlowClients::LongestLife() const {
  const std::lock_guard lock(state_->mutex);
  Clock::duration longest{};
  for (const State::Client& client : state_->clients) longest = std::max(longest, client.life);
  return std::chrono::duration_cast<std::chrono::milliseconds>(longest);
}

std::size_t SlowClients::MostSent() const {
  const std::lock_guard lock(state_->mutex);
  std::size_t most = 0;
  for (const State::Client& client : state_->clients) most = std::max(most, client.sent);
  return most;
}

void SlowClients::Stop() {
  {
    const std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    state_->changed.notify_all();
  }
  if (state_->thread.joinable()) state_->thread.join();
  const std::lock_guard lock(state_->mutex);
  for (State::Client& client : state_->clients) client.fd.Reset();
}

}  // namespace QuarloCliente::testing
