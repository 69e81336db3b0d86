#pragma once

// A scripted HTTP/1.1 server on 127.0.0.1 that records every request byte for byte, so that
// transport and operation tests can assert exactly what the library put on the wire and can feed
// it any answer, including broken ones (dropped connections, responses that never finish).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace QuarloCliente::testing {

struct RecordedRequest {
  std::string request_line;
  std::string method;
  std::string target;
  // Kept in arrival order with names as sent, because tests assert on both.
  std::vector<std::pair<std::string, std::string>> headers;
  // De-chunked when the request used chunked transfer coding; `raw` keeps the framing.
  std::string body;
  std::string raw;

  // Case-insensitive; the first header of that name, or nullptr when absent.
  const std::string* Header(std::string_view name) const;
};

struct ScriptedResponse {
  int status = 200;
  std::string reason = "OK";
  // Content-Length and "Connection: close" are added unless given here. Giving
  // "Connection: keep-alive" keeps the connection open for the client's next request; giving
  // Content-Length or Transfer-Encoding sends the body exactly as scripted (e.g. pre-chunked).
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  enum class Action {
    Respond,
    // Reads the request, then closes the connection without a single byte of answer.
    Close,
    // Reads the request, sends the prefix described by `stall_body_bytes`, then nothing more
    // until the client hangs up or the server is destroyed.
    Stall,
    // Sends the answer `trickle.bytes` at a time, one piece every `trickle.every`; with
    // `trickle.forever`, the body never ends: filler follows it until the client hangs up.
    Trickle,
    // Sends `body` as it is, in place of the whole answer (status line and headers included),
    // then closes.
    Raw,
    // Sends the prefix described by `stall_body_bytes`, then resets the connection (RST) rather
    // than closing it.
    Reset,
  } action = Action::Respond;

  // For Stall and Reset: std::nullopt sends nothing at all; a value N sends the status line, the
  // headers (Content-Length announcing the whole body) and the first N bytes of the body.
  std::optional<std::size_t> stall_body_bytes;

  // For Trickle: how the answer is paced.
  struct Pace {
    std::size_t bytes = 1;
    std::chrono::milliseconds every{1000};
    bool forever = false;
  } trickle;

  static ScriptedResponse Xml(std::string body, int status = 200);
  static ScriptedResponse Html(std::string body, int status);
  static ScriptedResponse CloseConnection();
  static ScriptedResponse StallForever();
  static ScriptedResponse StallMidBody(std::string body, std::size_t bytes_sent, int status = 200);
  // An XML answer sent `bytes` at a time, one piece every `every`, until it is all sent.
  static ScriptedResponse Trickle(std::string body, std::size_t bytes,
                                  std::chrono::milliseconds every);
  // An XML answer announcing a body larger than any client takes, sent `bytes` at a time, one
  // piece every `every`, for as long as the client listens.
  static ScriptedResponse TrickleForever(std::size_t bytes, std::chrono::milliseconds every);
  // These bytes and nothing else, whatever the request.
  static ScriptedResponse RawBytes(std::string bytes);
  // An XML answer cut by a reset of the connection after `bytes_sent` bytes of its body.
  static ScriptedResponse ResetMidBody(std::string body, std::size_t bytes_sent);

  ScriptedResponse WithHeader(std::string name, std::string value) &&;
};

// A loopback port nothing listens on, for tests of a refused connection.
std::uint16_t UnusedPort();

// A loopback port that listens but whose accept queue is full: a new connection's handshake is
// never completed, so a client's connect limit fires before any byte of its request goes out.
class UnacceptingListener {
 public:
  UnacceptingListener();
  ~UnacceptingListener();
  UnacceptingListener(const UnacceptingListener&) = delete;
  UnacceptingListener& operator=(const UnacceptingListener&) = delete;

  std::string BaseUrl() const;

 private:
  int listener_ = -1;
  std::vector<int> fillers_;
  std::uint16_t port_ = 0;
};

// Standard reason phrase for the status codes tests use; "Unknown" otherwise.
std::string ReasonPhrase(int status);

class LoopbackServer {
 public:
  // Binds 127.0.0.1 on a free port and is accepting before the constructor returns.
  LoopbackServer();
  // Returns promptly even while connections are open or stalled.
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t port() const;
  std::string BaseUrl() const;

  // Answers are taken in FIFO order, one per request, across all connections.
  void Enqueue(ScriptedResponse r);
  // Used once the queue is empty; initially 200 with "<Response><Result>0</Result></Response>".
  void SetDefault(ScriptedResponse r);

  // Keeps only the first `count` requests; later ones are answered and counted but not recorded,
  // so that a long run (a benchmark) holds no more than those.
  void KeepRequests(std::size_t count);

  std::vector<RecordedRequest> Requests() const;
  // Every request received, kept or not.
  std::size_t RequestCount() const;

  // Blocks until request #index (0-based) has been fully recorded; throws std::runtime_error
  // after the time limit so a client that never sends fails the test instead of hanging it.
  RecordedRequest WaitForRequest(std::size_t index) const;
  RecordedRequest WaitForRequest(std::size_t index, std::chrono::milliseconds limit) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace QuarloCliente::testing
