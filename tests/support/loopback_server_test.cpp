#include "loopback_server.hpp"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace QuarloCliente::testing {
namespace {

// A deliberately dumb blocking client, so that the fixture is checked against raw bytes rather
// than against the HTTP stack it will later be used to test.
class RawClient {
 public:
  explicit RawClient(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    // Turns a server that never answers into a failed assertion instead of a hung test.
    const timeval limit{10, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
      throw std::runtime_error("connect failed");
    }
  }
  ~RawClient() { ::close(fd_); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  void Send(std::string_view data) {
    while (!data.empty()) {
      const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
      if (n <= 0) throw std::runtime_error("send failed");
      data.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // Stops at EOF, error or once `at_least` bytes have arrived.
  std::string Read(std::size_t at_least = SIZE_MAX) {
    std::string out;
    std::array<char, 4096> chunk;
    while (out.size() < at_least) {
      const ssize_t n = ::recv(fd_, chunk.data(), std::min(chunk.size(), at_least - out.size()), 0);
      if (n <= 0) break;
      out.append(chunk.data(), static_cast<std::size_t>(n));
    }
    return out;
  }

 private:
  int fd_;
};

std::string Exchange(const LoopbackServer& server, std::string_view request) {
  RawClient client(server.port());
  client.Send(request);
  return client.Read();
}

constexpr std::string_view kGet = "GET /x HTTP/1.1\r\nHost: h\r\n\r\n";

TEST(LoopbackServer, RecordsRequestLineHeadersInOrderAndBody) {
  LoopbackServer server;
  const std::string sent =
      "POST /SendDTEDocument?a=%2F HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Zeta:  last \r\n"
      "x-alpha:first\r\nContent-Length: 5\r\n\r\nhello";
  const std::string reply = Exchange(server, sent);
  EXPECT_EQ(reply,
            "HTTP/1.1 200 OK\r\nContent-Type: application/xml; charset=utf-8\r\n"
            "Content-Length: 39\r\nConnection: close\r\n\r\n"
            "<Response><Result>0</Result></Response>");

  const RecordedRequest req = server.WaitForRequest(0);
  EXPECT_EQ(req.request_line, "POST /SendDTEDocument?a=%2F HTTP/1.1");
  EXPECT_EQ(req.method, "POST");
  EXPECT_EQ(req.target, "/SendDTEDocument?a=%2F");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Host", "127.0.0.1"}, {"X-Zeta", "last"}, {"x-alpha", "first"}, {"Content-Length", "5"}};
  EXPECT_EQ(req.headers, expected);
  ASSERT_NE(req.Header("X-ALPHA"), nullptr);
  EXPECT_EQ(*req.Header("X-ALPHA"), "first");
  EXPECT_EQ(req.Header("Expect"), nullptr);
  EXPECT_EQ(req.body, "hello");
  EXPECT_EQ(req.raw, sent);
}

TEST(LoopbackServer, DechunksChunkedBodyAndKeepsFramingInRaw) {
  LoopbackServer server;
  const std::string sent =
      "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
      "5;note=x\r\nhello\r\nB\r\n, chunked!!\r\n0\r\n\r\n";
  Exchange(server, sent);
  const RecordedRequest req = server.WaitForRequest(0);
  EXPECT_EQ(req.body, "hello, chunked!!");
  EXPECT_EQ(req.raw, sent);
}

TEST(LoopbackServer, AnswersInFifoOrderThenFallsBackToDefault) {
  LoopbackServer server;
  server.Enqueue(ScriptedResponse::Html("<p>down</p>", 503));
  server.Enqueue(ScriptedResponse::CloseConnection());
  server.Enqueue(ScriptedResponse::Xml("<a/>", 500).WithHeader("Retry-After", "7"));

  EXPECT_EQ(Exchange(server, kGet),
            "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/html\r\n"
            "Content-Length: 11\r\nConnection: close\r\n\r\n<p>down</p>");
  EXPECT_EQ(Exchange(server, kGet), "");
  EXPECT_EQ(server.RequestCount(), 2u);
  const std::string third = Exchange(server, kGet);
  EXPECT_EQ(third.rfind("HTTP/1.1 500 Internal Server Error\r\n", 0), 0u) << third;
  EXPECT_NE(third.find("\r\nRetry-After: 7\r\n"), std::string::npos) << third;
  EXPECT_EQ(Exchange(server, kGet).rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_EQ(server.Requests().size(), 4u);
}

TEST(LoopbackServer, KeepingOnlyTheFirstRequestsStillAnswersAndCountsTheRest) {
  LoopbackServer server;
  server.KeepRequests(1);
  Exchange(server, "GET /first HTTP/1.1\r\n\r\n");
  EXPECT_EQ(Exchange(server, kGet).rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  Exchange(server, kGet);
  EXPECT_EQ(server.RequestCount(), 3u);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.WaitForRequest(0).target, "/first");
  EXPECT_THROW(server.WaitForRequest(1), std::out_of_range);
}

TEST(LoopbackServer, KeepAliveServesTheNextRequestOnTheSameConnection) {
  LoopbackServer server;
  server.Enqueue(ScriptedResponse::Xml("<one/>").WithHeader("Connection", "keep-alive"));
  server.Enqueue(ScriptedResponse::Xml("<two/>"));
  const std::string first =
      "HTTP/1.1 200 OK\r\nContent-Type: application/xml; charset=utf-8\r\n"
      "Connection: keep-alive\r\nContent-Length: 6\r\n\r\n<one/>";
  RawClient client(server.port());
  client.Send(kGet);
  EXPECT_EQ(client.Read(first.size()), first);
  client.Send(kGet);
  EXPECT_TRUE(client.Read().ends_with("Connection: close\r\n\r\n<two/>"));
  EXPECT_EQ(server.RequestCount(), 2u);
}

TEST(LoopbackServer, DestructorReturnsPromptlyWhileAResponseIsStalled) {
  auto server = std::make_unique<LoopbackServer>();
  server->Enqueue(ScriptedResponse::StallMidBody("<Response/>", 4));
  RawClient client(server->port());
  client.Send(kGet);
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: application/xml; charset=utf-8\r\n"
      "Content-Length: 11\r\nConnection: close\r\n\r\n";
  std::string received = client.Read(head.size() + 4);

  const auto start = std::chrono::steady_clock::now();
  server.reset();
  const auto teardown = std::chrono::steady_clock::now() - start;
  received += client.Read();  // EOF arrives only once the server has let go of the connection
  EXPECT_EQ(received, head + "<Res");
  EXPECT_LT(teardown, std::chrono::seconds(2));
}

TEST(LoopbackServer, WaitForRequestThrowsWhenNothingArrives) {
  LoopbackServer server;
  EXPECT_THROW(server.WaitForRequest(0, std::chrono::milliseconds(20)), std::runtime_error);
}

}  // namespace
}  // namespace QuarloCliente::testing
