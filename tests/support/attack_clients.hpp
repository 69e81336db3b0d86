#pragma once

// Hostile clients of an HTTP server on 127.0.0.1, written with raw POSIX sockets so that they can
// send what no well-behaved client would: bodies without end, compressed bombs, headers one byte
// at a time, control characters where a path or a host belongs. Each attack reports what the
// server did (its status, whether it closed the connection, how much it let the client send), so
// that the sandbox's tests and the attack driver in bench/ assert and print the same outcomes.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "integration/sandbox_process.hpp"

namespace QuarloCliente::testing {

using Headers = std::vector<std::pair<std::string, std::string>>;

// What one exchange came to, as seen from the client.
struct RawReply {
  int status = 0;    // 0 when no status line arrived
  std::string head;  // the status line and headers
  std::string body;  // by the answer's Content-Length
  // The server ended the connection after the answer. Waited for (within the patience) only
  // when the answer says "Connection: close"; a kept-alive connection is looked at once.
  bool closed = false;
  std::size_t sent = 0;  // bytes of the request the client got to send
  std::string error;     // why the exchange ended early, for failure messages

  // The value of the answer's first header of that name ("" when absent), any case.
  std::string Header(std::string_view name) const;
};

std::ostream& operator<<(std::ostream& out, const RawReply& reply);

// Longest an attack waits for the server; only a server that never answers makes it wait so long.
inline constexpr std::chrono::seconds kAttackPatience{30};

// A request written out: "METHOD target HTTP/1.1", Host (unless the headers give one), the
// headers given, Content-Length when there is a body, then the body.
std::string RawRequest(std::string_view method, std::string_view target, const Headers& headers,
                       std::string_view body = {});

// A body sent piece by piece: each call gives the next piece, nullopt once the body is done.
using BodySource = std::function<std::optional<std::string>()>;

// A blocking connection to 127.0.0.1:port, with a receive buffer of that many bytes when
// `receiveBuffer` is not 0 (a client that reads slowly); std::runtime_error when it cannot be made.
integration::UniqueFd ConnectTo(int port, int receiveBuffer = 0);

// Connects to 127.0.0.1:port, sends `head`, then the pieces of `body` while watching for an
// answer. It stops sending as soon as the server answers or hangs up, and reads the answer (an
// interim "100 Continue" counts as one).
RawReply SendWhileWatching(int port, std::string_view head, const BodySource& body = {},
                           std::chrono::milliseconds patience = kAttackPatience);

// One request sent whole, its answer read, and whether the server then closed the connection.
RawReply Exchange(int port, std::string_view request,
                  std::chrono::milliseconds patience = kAttackPatience);

// A chunked body of `total` zero bytes in chunks of 64 KiB, with the closing chunk.
BodySource ChunkedZeros(std::size_t total);

// The raw bytes given, in pieces of 64 KiB.
BodySource Pieces(std::string bytes);

// A gzip stream that inflates to `expanded` zero bytes (1 GiB packs into about 1 MiB).
std::string GzipBomb(std::size_t expanded);

// A chunked POST of `total` bytes to `target`, with the key when given.
RawReply ChunkedBody(int port, std::string_view target, std::size_t total,
                     const std::optional<std::string>& key);

// A POST whose body is `gzip` with "Content-Encoding: gzip", with the key when given.
RawReply GzipBody(int port, std::string_view target, const std::string& gzip,
                  const std::optional<std::string>& key);

// A request's head alone, without the body it announces: the answer shows whether the server
// decided on the head, as it must for a request it refuses.
RawReply HeadOnly(int port, std::string_view head);

// The body of a /PaginatedSearch whose Query holds `terms` terms.
std::string LongSearchBody(int terms);

// A /PaginatedSearch body whose Query is an internal entity nested `depth` levels deep, ten
// references a level (10^depth copies of a ten-letter text once expanded).
std::string EntityBombBody(int depth);

// Connections that each send a request slowly: `atOnce` bytes at once, then one more byte every
// `interval`, until the request is sent, the server drops them, or Stop. The first bytes of every
// connection are on their way before the constructor returns. Clients that do not read their
// answers (`readsAnswers` false, a small receive buffer) stand for readers that stall.
class SlowClients {
 public:
  SlowClients(int port, std::size_t count, std::chrono::milliseconds interval, std::string request,
              std::size_t atOnce = 1, bool readsAnswers = true);
  ~SlowClients();
  SlowClients(const SlowClients&) = delete;
  SlowClients& operator=(const SlowClients&) = delete;

  // Connections the server has not closed yet.
  std::size_t Open() const;
  // Waits until the server has dropped `count` connections (all when 0) or `limit` has passed;
  // the number dropped.
  std::size_t WaitUntilDropped(std::chrono::milliseconds limit, std::size_t count = 0) const;
  // The longest time a connection lasted before the server dropped it.
  std::chrono::milliseconds LongestLife() const;
  // The largest number of bytes any connection got to send.
  std::size_t MostSent() const;
  // Stops sending and closes the connections still open.
  void Stop();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace QuarloCliente::testing
