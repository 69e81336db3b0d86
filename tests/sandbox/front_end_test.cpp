// The sandbox against hostile clients: bodies without end or compressed, headers and bodies that
// trickle, clients that never read, more connections than it keeps, control characters in paths,
// hosts and logged values. Each test runs the attack with the raw clients of
// tests/support/attack_clients and checks both what the attacker got (status, closed connection,
// how much it could send) and that a valid request is served meanwhile.

#include "server/front_end.hpp"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "attack_clients.hpp"
#include "server_harness.hpp"

namespace QuarloSandbox::testing {
namespace {

using namespace std::chrono_literals;
using QuarloCliente::testing::ChunkedBody;
using QuarloCliente::testing::ConnectTo;
using QuarloCliente::testing::Exchange;
using QuarloCliente::testing::GzipBody;
using QuarloCliente::testing::GzipBomb;
using QuarloCliente::testing::HeadOnly;
using QuarloCliente::testing::RawReply;
using QuarloCliente::testing::RawRequest;
using QuarloCliente::testing::SlowClients;

const std::string kFactorings = "/GetFactorings";

std::string ValidGet(const std::string& target = kFactorings) {
  return RawRequest("GET", target, {{"AuthKey", kApiKey}});
}

// The lines the sandbox logs, kept for the test to read.
class LogCapture {
 public:
  std::function<void(const std::string&)> Sink() {
    return [this](const std::string& line) {
      const std::lock_guard lock(mutex_);
      lines_.push_back(line);
    };
  }
  std::vector<std::string> Lines() const {
    const std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// A front end's loop on a thread of its own, stopped and joined however the test ends.
class RunningLoop {
 public:
  explicit RunningLoop(FrontEnd& frontEnd)
      : frontEnd_(frontEnd), thread_([&] { frontEnd.Run(); }) {}
  ~RunningLoop() {
    frontEnd_.Stop();
    thread_.join();
  }

 private:
  FrontEnd& frontEnd_;
  std::thread thread_;
};

void ExpectRefusedAndClosed(const RawReply& reply, int status, std::string_view part) {
  EXPECT_EQ(reply.status, status) << reply;
  EXPECT_TRUE(reply.closed) << reply;
  EXPECT_EQ(reply.Header("Connection"), "close") << reply;
  EXPECT_NE(reply.body.find(std::string(part)), std::string::npos) << reply;
}

TEST(SandboxFrontEnd, ChecksTheKeyOnTheHeadersBeforeReadingAnyBody) {
  const Sandbox sandbox;
  // The head alone is answered: a server that waited for the body would never answer these.
  ExpectRefusedAndClosed(HeadOnly(sandbox.Port(), RawRequest("POST", "/SendDTEDocument",
                                                             {{"Content-Length", "1000"}})),
                         401, "falta la cabecera AuthKey");
  ExpectRefusedAndClosed(
      HeadOnly(sandbox.Port(), RawRequest("POST", "/SendDTEDocument",
                                          {{"AuthKey", "otra"}, {"Transfer-Encoding", "chunked"}})),
      401, "no es válida");
  // A 2 GiB chunked body and a compressed bomb without a key stop at the 401, after a small part.
  const RawReply chunked =
      ChunkedBody(sandbox.Port(), "/SendDTEDocument", std::size_t{2} << 30, std::nullopt);
  ExpectRefusedAndClosed(chunked, 401, "AuthKey");
  EXPECT_LT(chunked.sent, std::size_t{64} << 20) << chunked;
  const RawReply gzip =
      GzipBody(sandbox.Port(), "/SendDTEDocument", GzipBomb(std::size_t{256} << 20), std::nullopt);
  ExpectRefusedAndClosed(gzip, 401, "AuthKey");
  EXPECT_TRUE(sandbox.Get(kFactorings).Ok());
}

TEST(SandboxFrontEnd, RefusesCompressedBodiesAndCapsChunkedOnesAsTheyArrive) {
  FrontEndLimits limits;
  limits.maxBodyBytes = 1u << 20;
  const Sandbox sandbox("", limits);
  ExpectRefusedAndClosed(
      GzipBody(sandbox.Port(), "/SendDTEDocument", GzipBomb(std::size_t{64} << 20), kApiKey), 415,
      "comprimidos");
  // Over the cap: 413 as soon as it is passed, long before the client is done sending.
  const RawReply over =
      ChunkedBody(sandbox.Port(), "/SendDTEDocument", std::size_t{256} << 20, kApiKey);
  ExpectRefusedAndClosed(over, 413, "supera el límite de 1 MiB");
  EXPECT_LT(over.sent, std::size_t{64} << 20) << over;
  // A chunked body within the cap reaches the operation, de-chunked.
  const RawReply within = ChunkedBody(sandbox.Port(), "/SendDTEDocument", 1000, kApiKey);
  EXPECT_EQ(within.status, 400) << within;
  EXPECT_NE(within.body.find("no es XML"), std::string::npos) << within;
  EXPECT_TRUE(sandbox.Get(kFactorings).Ok());
}

TEST(SandboxFrontEnd, ServesAValidRequestWhileTwoHundredClientsTrickleTheirHeaders) {
  FrontEndLimits limits;
  limits.head = 120s;  // none is dropped during the test: the valid request must pass them by
  limits.idle = 120s;
  const Sandbox sandbox("", limits);
  SlowClients slow(sandbox.Port(), 200, 2s, ValidGet());
  EXPECT_TRUE(sandbox.Get(kFactorings).Ok());
  const RawReply reply = Exchange(sandbox.Port(), ValidGet());
  EXPECT_EQ(reply.status, 200) << reply;
  EXPECT_EQ(slow.Open(), 200u) << "the valid requests were served while all of them waited";
}

TEST(SandboxFrontEnd, DropsHeadsAndBodiesThatArriveTooSlowly) {
  FrontEndLimits limits;
  limits.head = 1s;
  limits.transferGrace = 1s;
  limits.floorBytesPerSecond = 1024;
  const Sandbox sandbox("", limits);
  // A byte every 50 ms would take some 6 s for this head: it is cut off at the 1 s deadline,
  // although it never stops sending.
  const std::string head = ValidGet("/FiscalStatus/T/E/76543210-3/33/1" + std::string(60, 'x'));
  SlowClients heads(sandbox.Port(), 5, 50ms, head);
  // A body of 10 kB at 20 bytes a second, well under the floor rate.
  const std::string post =
      RawRequest("POST", "/SendDTEDocument", {{"AuthKey", kApiKey}}, std::string(10000, 'x'));
  SlowClients bodies(sandbox.Port(), 5, 50ms, post, post.size() - 10000);
  EXPECT_EQ(heads.WaitUntilDropped(30s), 5u);
  EXPECT_EQ(bodies.WaitUntilDropped(30s), 5u);
  EXPECT_LT(heads.MostSent(), head.size());
  EXPECT_LT(bodies.MostSent(), post.size());
  EXPECT_LT(heads.LongestLife(), 10s);
  EXPECT_TRUE(sandbox.Get(kFactorings).Ok());
}

TEST(SandboxFrontEnd, ClosesIdleConnectionsAfterTheIdleTime) {
  FrontEndLimits limits;
  limits.idle = 1s;
  const Sandbox sandbox("", limits);
  // Kept alive after an answer, then closed once idle; a connection that never sends is too.
  const RawReply served = Exchange(sandbox.Port(), ValidGet());
  EXPECT_EQ(served.status, 200) << served;
  EXPECT_FALSE(served.closed) << "kept alive";
  SlowClients answered(sandbox.Port(), 3, 1h, ValidGet(), ValidGet().size());
  SlowClients silent(sandbox.Port(), 3, 1h, ValidGet(), 0);
  EXPECT_EQ(answered.WaitUntilDropped(30s), 3u);
  EXPECT_EQ(silent.WaitUntilDropped(30s), 3u);
}

TEST(SandboxFrontEnd, KeepsConnectionsAliveAndAnswersPipelinedRequestsInOrder) {
  const Sandbox sandbox;
  const auto fd = ConnectTo(sandbox.Port());
  // Three requests in one write, the middle one with a chunked body.
  const std::string pipelined =
      ValidGet() +
      RawRequest("POST", "/SendDTEDocument",
                 {{"AuthKey", kApiKey}, {"Transfer-Encoding", "chunked"}}) +
      "3\r\nno \r\n7\r\nes XML!\r\n0\r\n\r\n" + ValidGet("/NoExiste");
  ASSERT_EQ(::send(fd.Get(), pipelined.data(), pipelined.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(pipelined.size()));
  std::string received;
  char buffer[65536];
  while (received.find("ruta desconocida") == std::string::npos) {
    pollfd ready{fd.Get(), POLLIN, 0};
    ASSERT_GT(::poll(&ready, 1, 30000), 0) << received;
    const ssize_t got = ::recv(fd.Get(), buffer, sizeof buffer, 0);
    ASSERT_GT(got, 0) << received;
    received.append(buffer, static_cast<std::size_t>(got));
  }
  const auto first = received.find("HTTP/1.1 200");
  const auto second = received.find("HTTP/1.1 400");
  const auto third = received.find("HTTP/1.1 404");
  EXPECT_TRUE(first < second && second < third) << received;
  EXPECT_NE(received.find("no es XML"), std::string::npos) << received;
  // The same connection still serves.
  const std::string again = ValidGet();
  ASSERT_EQ(::send(fd.Get(), again.data(), again.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(again.size()));
  pollfd ready{fd.Get(), POLLIN, 0};
  ASSERT_GT(::poll(&ready, 1, 30000), 0);
  const ssize_t got = ::recv(fd.Get(), buffer, sizeof buffer, 0);
  ASSERT_GT(got, 0);
  EXPECT_EQ(std::string(buffer, 12), "HTTP/1.1 200");
}

TEST(SandboxFrontEnd, SendsContinueBeforeABodyTheClientHoldsBack) {
  const Sandbox sandbox;
  const std::string body = "no es XML";
  const std::string head = RawRequest("POST", "/SendDTEDocument",
                                      {{"AuthKey", kApiKey},
                                       {"Expect", "100-continue"},
                                       {"Content-Length", std::to_string(body.size())}});
  const RawReply interim = HeadOnly(sandbox.Port(), head);
  EXPECT_EQ(interim.status, 100) << interim;
  const RawReply whole = Exchange(sandbox.Port(), head + body);
  EXPECT_EQ(whole.status, 400) << whole;
}

TEST(SandboxFrontEnd, ClientsThatDoNotReadTheirAnswerHoldNoWorker) {
  // One worker, and an answer far larger than what the socket buffers hold.
  FrontEndLimits limits;
  limits.workers = 1;
  limits.transferGrace = 1s;
  limits.floorBytesPerSecond = 1u << 20;
  const ApiKeys keys({});
  FrontEnd frontEnd(limits, keys,
                    [](FramedRequest& request) {
                      const std::size_t size = request.head.target == "/grande" ? (64u << 20) : 5u;
                      return ProcessedAnswer{
                          "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) +
                              "\r\n\r\n" + std::string(size, 'x'),
                          false,
                          {}};
                    },
                    {});
  const int port = frontEnd.Bind("127.0.0.1", 0);
  const RunningLoop loop(frontEnd);
  const auto reader = ConnectTo(port, 4096);
  const std::string request = RawRequest("GET", "/grande", {});
  ASSERT_GT(::send(reader.Get(), request.data(), request.size(), MSG_NOSIGNAL), 0);
  for (int i = 0; i < 3; ++i) {
    const RawReply other = Exchange(port, RawRequest("GET", "/otra", {}));
    EXPECT_EQ(other.body, "xxxxx") << other;
  }
  // The reader that stalls is cut off: its connection is reset, its answer left unsent.
  pollfd ended{reader.Get(), POLLRDHUP, 0};
  ASSERT_EQ(::poll(&ended, 1, 30000), 1);
  EXPECT_NE(ended.revents & (POLLERR | POLLHUP), 0);
}

TEST(SandboxFrontEnd, MakesRoomForNewClientsWhenEveryConnectionIsTaken) {
  FrontEndLimits limits;
  limits.maxConnections = 8;
  limits.idle = 120s;
  limits.head = 120s;
  const Sandbox sandbox("", limits);
  SlowClients stalled(sandbox.Port(), 8, 1h, ValidGet(), 3);
  for (int i = 0; i < 3; ++i) {
    const RawReply reply = Exchange(sandbox.Port(), ValidGet());
    EXPECT_EQ(reply.status, 200) << reply;
  }
  // Stalled connections made the room (one, or more when a served client had not yet hung up).
  EXPECT_GE(stalled.WaitUntilDropped(30s, 1), 1u);
  EXPECT_GE(stalled.Open(), 5u);
}

TEST(SandboxFrontEnd, HoldsNoMoreRequestBytesThanItsBudget) {
  // A budget of one byte: a request read in one go passes, a body that needs more reads is
  // refused once the budget is spent, and the bytes it held are given back.
  FrontEndLimits limits;
  limits.maxBufferedBytes = 1;
  const Sandbox sandbox("", limits);
  const RawReply big = Exchange(
      sandbox.Port(),
      RawRequest("POST", "/SendDTEDocument", {{"AuthKey", kApiKey}}, std::string(1u << 20, 'x')));
  ExpectRefusedAndClosed(big, 503, "demasiadas solicitudes");
  EXPECT_EQ(Exchange(sandbox.Port(), ValidGet()).status, 200);
  EXPECT_TRUE(sandbox.Get(kFactorings).Ok());
}

TEST(SandboxFrontEnd, RefusesAHostThatCouldNotStandInAUrl) {
  const Sandbox sandbox;
  for (const std::string host : {"127.0.0.1\x1b[2J", "evil.example/x?y=", "a b", "x@y:80"}) {
    const RawReply reply = Exchange(
        sandbox.Port(), RawRequest("GET", kFactorings, {{"Host", host}, {"AuthKey", kApiKey}}));
    ExpectRefusedAndClosed(reply, 400, "Host");
  }
  const RawReply twice = Exchange(
      sandbox.Port(),
      RawRequest("GET", kFactorings, {{"Host", "a"}, {"Host", "b"}, {"AuthKey", kApiKey}}));
  ExpectRefusedAndClosed(twice, 400, "Host");
  const RawReply named =
      Exchange(sandbox.Port(),
               RawRequest("GET", kFactorings, {{"Host", "sandbox.test:9"}, {"AuthKey", kApiKey}}));
  EXPECT_EQ(named.status, 200) << named;
}

TEST(SandboxFrontEnd, LogsEveryRequestOnOneLineWhateverItHolds) {
  LogCapture log;
  const Sandbox sandbox("", {}, log.Sink());
  // A forged line in a path segment, a terminal sequence in a search term, a refusal by the
  // front end itself: each stays one line, its control characters escaped.
  EXPECT_EQ(sandbox.Get("/%0Aquarlo-sandbox:%20GET%20%2FFiscalStatus%20200").status, 400);
  const Reply search = sandbox.Post(
      "/PaginatedSearch", Body("SearchRequest", {{"Environment", "T"},
                                                 {"Group", "E"},
                                                 {"Query", IsoBase64Of("co\x1b[0mlor:rojo")},
                                                 {"Page", "1"},
                                                 {"PageSize", "10"}}));
  EXPECT_EQ(search.status, 400) << search;
  EXPECT_EQ(sandbox.Get(kFactorings, "otra").status, 401);
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& line : lines) {
    EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](char c) {
      return static_cast<unsigned char>(c) < 0x20;
    })) << line;
  }
  EXPECT_NE(lines[0].find(" 400: un segmento de la ruta contiene el carácter de control U+000A"),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[1].find("co\\x1b[0mlor"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("401"), std::string::npos) << lines[2];
  EXPECT_EQ(lines[2].find("otra"), std::string::npos) << "a key is never logged";
}

}  // namespace
}  // namespace QuarloSandbox::testing
