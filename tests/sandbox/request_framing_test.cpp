// How the front end reads a request off the wire before any worker sees it: the head, the body
// by length or by chunks, and the checks made on the head alone. Every refusal here is one a
// hostile client would otherwise turn into held memory, a held worker or a forged value.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "sandbox_error.hpp"
#include "server/admission.hpp"
#include "server/body_reader.hpp"
#include "server/request_head.hpp"

namespace QuarloSandbox {
namespace {

int RefusalStatus(const std::function<void()>& action) {
  try {
    action();
  } catch (const SandboxError& error) {
    return error.status();
  }
  return 0;
}

TEST(RequestHead, FindsTheEndOfTheHeadHoweverItArrives) {
  const std::string crlf = "GET /a HTTP/1.1\r\nHost: x\r\n\r\nGET /b";
  const std::string lf = "GET /a HTTP/1.1\nHost: x\n\nrest";
  EXPECT_EQ(HeadLength(crlf), crlf.find("GET /b"));
  EXPECT_EQ(HeadLength(lf), lf.find("rest"));
  EXPECT_EQ(HeadLength("GET /a HTTP/1.1\r\nHost: x\r\n"), 0u);
  // Byte by byte, each search starting where the last one had looked, finds the same end.
  std::size_t searched = 0;
  std::size_t found = 0;
  for (std::size_t size = 1; size <= crlf.size() && found == 0; ++size) {
    found = HeadLength(std::string_view(crlf).substr(0, size), searched > 2 ? searched - 2 : 0);
    searched = size;
  }
  EXPECT_EQ(found, crlf.find("GET /b"));
}

TEST(RequestHead, ReadsTheLineAndHeadersAsSent) {
  const RequestHead head = ParseRequestHead(
      "POST /FiscalStatus/T?x=1 HTTP/1.1\r\nHost: 127.0.0.1:8080\r\nAuthKey:  llave \r\n"
      "X-Nombre: Ñuñoa\r\nauthkey: otra\r\n\r\n");
  EXPECT_EQ(head.method, "POST");
  EXPECT_EQ(head.target, "/FiscalStatus/T?x=1");
  EXPECT_EQ(head.version, "HTTP/1.1");
  EXPECT_EQ(head.First("AUTHKEY").value_or(""), "llave");
  EXPECT_EQ(head.Values("authKey").size(), 2u);
  EXPECT_EQ(head.First("X-Nombre").value_or(""), "Ñuñoa") << "UTF-8 text is not a control";
  EXPECT_FALSE(head.First("Content-Length").has_value());
  EXPECT_EQ(ParseRequestHead("GET / HTTP/1.0\n\n").version, "HTTP/1.0");
}

TEST(RequestHead, RefusesWhatHttpDoesNotAllowWith400) {
  const char* malformed[] = {
      "GET /a\x1b[2J HTTP/1.1\r\n\r\n",              // a control character in the target
      "GET /a b HTTP/1.1\r\n\r\n",                   // a blank in the target
      "GET http://otro/a HTTP/1.1\r\n\r\n",          // not a path
      "GET /a HTTP/2.0\r\n\r\n",                     // another version
      "GET /a\r\n\r\n",                              // no version
      "G(T /a HTTP/1.1\r\n\r\n",                     // a method that is not a token
      "GET /a HTTP/1.1\r\nHost x\r\n\r\n",           // no colon
      "GET /a HTTP/1.1\r\nHo st: x\r\n\r\n",         // a blank in the name
      "GET /a HTTP/1.1\r\nA: b\r\n c\r\n\r\n",       // a folded line
      "GET /a HTTP/1.1\r\nA: b\rc\r\n\r\n",          // a bare CR in a value
      "GET /a HTTP/1.1\r\nA: b\x7f\r\n\r\n",         // DEL in a value
      "GET /a HTTP/1.1\r\nA: \x1b]0;x\x07\r\n\r\n",  // a terminal sequence in a value
  };
  for (const char* head : malformed) {
    EXPECT_EQ(RefusalStatus([&] { ParseRequestHead(head); }), 400) << head;
  }
}

// Feeds `wire` to a reader `step` bytes at a time, as it would arrive; what is left after the
// body is returned in `rest`.
std::string ReadBody(BodyReader& reader, const std::string& wire, std::size_t step,
                     std::string& rest) {
  std::string input;
  std::size_t at = 0;
  while (!reader.Done() && at < wire.size()) {
    input += wire.substr(at, step);
    at += step;
    input.erase(0, reader.Take(input));
  }
  rest = input + (at < wire.size() ? wire.substr(at) : "");
  return reader.Body();
}

TEST(BodyReader, TakesExactlyTheBodyByLengthOrByChunks) {
  for (const std::size_t step : {std::size_t{1}, std::size_t{3}, std::size_t{4096}}) {
    std::string rest;
    BodyReader byLength({BodyFraming::Kind::Length, 5}, 100);
    EXPECT_EQ(ReadBody(byLength, "hola!GET / HTTP/1.1", step, rest), "hola!");
    EXPECT_TRUE(byLength.Done());
    EXPECT_EQ(rest, "GET / HTTP/1.1") << "a pipelined request stays for the next read";

    BodyReader chunked({BodyFraming::Kind::Chunked, 0}, 100);
    // Sizes count bytes: "Pére" is five, " Cía Ltda." eleven.
    const std::string wire =
        "5;ext=1\r\nPére\r\n3\r\nz &\r\nb\r\n Cía Ltda.\r\n0\r\nX-T: 1\r\n\r\nNEXT";
    EXPECT_EQ(ReadBody(chunked, wire, step, rest), "Pérez & Cía Ltda.") << step;
    EXPECT_TRUE(chunked.Done());
    EXPECT_EQ(rest, "NEXT");
    EXPECT_EQ(chunked.Taken(), wire.size() - 4);
  }
  BodyReader empty({BodyFraming::Kind::None, 0}, 100);
  EXPECT_TRUE(empty.Done());
  EXPECT_EQ(empty.Take("GET /"), 0u);
}

TEST(BodyReader, RefusesAChunkedBodyAsSoonAsItWouldPassTheCap) {
  // The size line of the chunk that passes the cap is refused before any of its data is read.
  BodyReader reader({BodyFraming::Kind::Chunked, 0}, 10);
  EXPECT_EQ(reader.Take("6\r\nabcdef\r\n"), 11u);
  EXPECT_EQ(RefusalStatus([&] { reader.Take("5\r\n"); }), 413);
  BodyReader huge({BodyFraming::Kind::Chunked, 0}, 1024);
  EXPECT_EQ(RefusalStatus([&] { huge.Take("ffffffffffffffffffffffff\r\n"); }), 413);
  EXPECT_EQ(RefusalStatus([] { BodyReader({BodyFraming::Kind::Length, 11}, 10); }), 413);
  // Exactly at the cap is still a body.
  BodyReader full({BodyFraming::Kind::Chunked, 0}, 4);
  full.Take("4\r\nabcd\r\n0\r\n\r\n");
  EXPECT_TRUE(full.Done());
}

TEST(BodyReader, RefusesChunkFramingThatIsNotHttpsWith400) {
  const std::string bad[] = {"zz\r\nab\r\n",
                             "\r\n",
                             "2\r\nabX\r\n",
                             "2x\r\nab\r\n",
                             std::string(5000, '0'),  // a size line without end
                             "0\r\n" + std::string(20000, 'T')};
  for (const std::string& wire : bad) {
    BodyReader reader({BodyFraming::Kind::Chunked, 0}, 1u << 20);
    EXPECT_EQ(RefusalStatus([&] {
                std::string input = wire;
                while (!input.empty()) {
                  const std::size_t took = reader.Take(input);
                  if (took == 0) break;
                  input.erase(0, took);
                }
              }),
              400)
        << wire.substr(0, 20);
  }
}

RequestHead Head(const std::string& headers) {
  return ParseRequestHead("POST /SendDTEDocument HTTP/1.1\r\n" + headers + "\r\n");
}

TEST(Admission, ChecksTheKeyBeforeAnythingAboutTheBody) {
  const ApiKeys keys({"llave"});
  const auto status = [&](const std::string& headers) {
    return RefusalStatus([&] { Admit(Head(headers), keys, 1000); });
  };
  // Without a key nothing else is looked at: no 413, 415 or 501 tells a stranger anything.
  EXPECT_EQ(status("Content-Length: 99999999999999999999999\r\n"), 401);
  EXPECT_EQ(status("Content-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n"), 401);
  EXPECT_EQ(status("AuthKey: otra\r\nContent-Length: 5000\r\n"), 401);
  EXPECT_EQ(status("AuthKey: llave\r\nContent-Encoding: gzip\r\nContent-Length: 10\r\n"), 415);
  EXPECT_EQ(status("AuthKey: llave\r\nContent-Encoding: br\r\n"), 415);
  EXPECT_EQ(status("AuthKey: llave\r\nTransfer-Encoding: gzip, chunked\r\n"), 501);
  EXPECT_EQ(status("AuthKey: llave\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n"), 400);
  EXPECT_EQ(status("AuthKey: llave\r\nContent-Length: 3\r\nContent-Length: 4\r\n"), 400);
  EXPECT_EQ(status("AuthKey: llave\r\nContent-Length: -3\r\n"), 400);
  EXPECT_EQ(status("AuthKey: llave\r\nContent-Length: 1001\r\n"), 413);
  EXPECT_EQ(status("AuthKey: llave\r\nContent-Length: 99999999999999999999999\r\n"), 413);
  EXPECT_EQ(status("AuthKey: llave\r\nExpect: algo\r\n"), 417);
  EXPECT_EQ(status("Host: a\r\nHost: b\r\n"), 400) << "a repeated Host is refused first";

  const Admission chunked =
      Admit(Head("AuthKey: llave\r\nTransfer-Encoding: Chunked\r\n"), keys, 1000);
  EXPECT_EQ(chunked.framing.kind, BodyFraming::Kind::Chunked);
  const Admission continued =
      Admit(Head("AuthKey: llave\r\nContent-Length: 1000\r\nExpect: 100-Continue\r\n"), keys, 1000);
  EXPECT_EQ(continued.framing.kind, BodyFraming::Kind::Length);
  EXPECT_EQ(continued.framing.length, 1000u);
  EXPECT_TRUE(continued.expectsContinue);
  EXPECT_FALSE(
      Admit(Head("AuthKey: llave\r\nContent-Encoding: identity\r\n"), keys, 1000).expectsContinue);
  EXPECT_EQ(Admit(Head(""), ApiKeys({}), 1000).framing.kind, BodyFraming::Kind::None)
      << "an open sandbox takes any request";
}

TEST(Admission, TakesOnlyAHostThatCanStandInAUrl) {
  for (const char* host : {"127.0.0.1", "127.0.0.1:8080", "localhost", "sandbox.local:65535",
                           "[::1]", "[::1]:8080", "mi_host-1.example"}) {
    EXPECT_TRUE(IsHostAndPort(host)) << host;
  }
  for (const char* host :
       {"", "a/b", "a b", "a\x1b[2J", "evil.com/x?y", "a@b", "host:", "host:99999", "host:8a",
        "x:80:80", "[::1", "[]", "[::1]x", "[zz::1]", "a\tb", "ñandú.cl", "a%0Ab"}) {
    EXPECT_FALSE(IsHostAndPort(host)) << host;
  }
  EXPECT_FALSE(IsHostAndPort(std::string(400, 'a')));
  EXPECT_EQ(RefusalStatus([] { Admit(Head("Host: a/b\r\n"), ApiKeys({}), 10); }), 400);
}

}  // namespace
}  // namespace QuarloSandbox
