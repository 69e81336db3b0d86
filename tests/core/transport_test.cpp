#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <quarlo/servicio.hpp>
#include <string>
#include <vector>

#include "core/answer.hpp"
#include "core/servicio_access.hpp"
#include "core/servicio_internals.hpp"
#include "core/url.hpp"
#include "support/loopback_server.hpp"

namespace QuarloCliente {
namespace {

using detail::ServicioAccess;
using testing::LoopbackServer;
using testing::RecordedRequest;
using testing::ScriptedResponse;
using testing::UnusedPort;

constexpr char kOk[] = "<Response><Result>0</Result></Response>";

std::vector<std::string> HeaderNames(const RecordedRequest& request) {
  std::vector<std::string> names;
  for (const auto& [name, value] : request.headers) names.push_back(name);
  return names;
}

// The names of the given headers in the order they were sent, ignoring the ones the HTTP client
// adds on its own (Host, Accept, Content-Length).
std::vector<std::string> OrderOf(const RecordedRequest& request,
                                 const std::vector<std::string>& wanted) {
  std::vector<std::string> order;
  for (const auto& name : HeaderNames(request)) {
    if (std::find(wanted.begin(), wanted.end(), name) != wanted.end()) order.push_back(name);
  }
  return order;
}

class TransportTest : public ::testing::Test {
 protected:
  TransportTest() { servicio_.Configurar(server_.BaseUrl(), "llave-secreta"); }
  LoopbackServer server_;
  Servicio servicio_;
};

TEST_F(TransportTest, PostSendsTheFourHeadersInOrderAndTheBody) {
  server_.Enqueue(ScriptedResponse::Xml(kOk));
  const std::string url = server_.BaseUrl() + "/SendDTEDocument";
  const std::string body =
      "<SendDocumentRequest xmlns=\"urn:x\"><Environment>T</Environment>"
      "<Content>Ñuñoa</Content></SendDocumentRequest>";
  detail::HttpPost(servicio_, url, body);
  const RecordedRequest request = server_.WaitForRequest(0);
  EXPECT_EQ(request.request_line, "POST /SendDTEDocument HTTP/1.1");
  EXPECT_EQ(OrderOf(request, {"AuthKey", "Cache-Control", "SOAPAction", "Content-Type"}),
            (std::vector<std::string>{"AuthKey", "Cache-Control", "SOAPAction", "Content-Type"}));
  EXPECT_EQ(*request.Header("AuthKey"), "llave-secreta");
  EXPECT_EQ(*request.Header("Cache-Control"), "max-age=0");
  EXPECT_EQ(*request.Header("SOAPAction"), url);
  EXPECT_EQ(*request.Header("Content-Type"), "application/xml; charset=utf-8");
  EXPECT_EQ(request.Header("Expect"), nullptr);
  EXPECT_EQ(request.body, body);
}

TEST_F(TransportTest, LargePostIsSentWithoutExpectContinue) {
  server_.Enqueue(ScriptedResponse::Xml(kOk));
  const std::string body = "<R>" + std::string(2 << 20, 'A') + "</R>";
  detail::HttpPost(servicio_, server_.BaseUrl() + "/UploadCaf", body);
  const RecordedRequest request = server_.WaitForRequest(0);
  EXPECT_EQ(request.Header("Expect"), nullptr);
  EXPECT_EQ(request.body.size(), body.size());
}

TEST_F(TransportTest, GetSendsOnlyKeyAndCacheControlAndNoBody) {
  server_.Enqueue(ScriptedResponse::Xml(kOk));
  detail::HttpGet(servicio_, server_.BaseUrl() + "/FiscalStatus/T/E/1-9/33/1");
  const RecordedRequest request = server_.WaitForRequest(0);
  EXPECT_EQ(request.request_line, "GET /FiscalStatus/T/E/1-9/33/1 HTTP/1.1");
  EXPECT_EQ(OrderOf(request, {"AuthKey", "Cache-Control", "SOAPAction", "Content-Type"}),
            (std::vector<std::string>{"AuthKey", "Cache-Control"}));
  EXPECT_EQ(request.Header("Content-Length"), nullptr);
  EXPECT_EQ(request.body, "");
}

// The handle keeps its settings between calls: each call must still carry its own method, address,
// headers and body, whatever the call before it sent.
TEST_F(TransportTest, EachCallOnOneHandleSendsOnlyItsOwnRequest) {
  for (int i = 0; i < 5; ++i) server_.Enqueue(ScriptedResponse::Xml(kOk));
  const std::string send = server_.BaseUrl() + "/SendDTEDocument";
  const std::string book = server_.BaseUrl() + "/SendLibroCompraVenta";
  detail::HttpPost(servicio_, send, "<a/>");
  detail::HttpGet(servicio_, server_.BaseUrl() + "/GetFactorings");
  detail::HttpPost(servicio_, book, "<b>libro</b>");
  servicio_.Configurar(server_.BaseUrl(), "otra-llave");
  detail::HttpPost(servicio_, book, "<c/>");
  detail::HttpGet(servicio_, server_.BaseUrl() + "/GetFactorings");

  const RecordedRequest first = server_.WaitForRequest(0);
  EXPECT_EQ(*first.Header("SOAPAction"), send);
  EXPECT_EQ(first.body, "<a/>");
  const RecordedRequest get = server_.WaitForRequest(1);
  EXPECT_EQ(get.request_line, "GET /GetFactorings HTTP/1.1");
  EXPECT_EQ(get.Header("SOAPAction"), nullptr);
  EXPECT_EQ(get.Header("Content-Type"), nullptr);
  EXPECT_EQ(get.body, "");
  const RecordedRequest post = server_.WaitForRequest(2);
  EXPECT_EQ(post.request_line, "POST /SendLibroCompraVenta HTTP/1.1");
  EXPECT_EQ(*post.Header("SOAPAction"), book);
  EXPECT_EQ(*post.Header("AuthKey"), "llave-secreta");
  EXPECT_EQ(post.body, "<b>libro</b>");
  const RecordedRequest rekeyed = server_.WaitForRequest(3);
  EXPECT_EQ(*rekeyed.Header("AuthKey"), "otra-llave");
  EXPECT_EQ(rekeyed.body, "<c/>");
  const RecordedRequest lastGet = server_.WaitForRequest(4);
  EXPECT_EQ(lastGet.method, "GET");
  EXPECT_EQ(*lastGet.Header("AuthKey"), "otra-llave");
  EXPECT_EQ(lastGet.Header("Content-Type"), nullptr);
}

TEST_F(TransportTest, EmptyKeyIsStillSentAsAnEmptyHeader) {
  servicio_.Configurar(server_.BaseUrl(), "");
  server_.Enqueue(ScriptedResponse::Xml(kOk));
  detail::HttpGet(servicio_, server_.BaseUrl() + "/GetFactorings");
  const RecordedRequest request = server_.WaitForRequest(0);
  ASSERT_NE(request.Header("AuthKey"), nullptr);
  EXPECT_EQ(*request.Header("AuthKey"), "");
}

TEST_F(TransportTest, KeyWithLineBreakIsRefusedWithoutShowingIt) {
  servicio_.Configurar(server_.BaseUrl(), "abc\r\nX-Injected: 1");
  try {
    detail::HttpGet(servicio_, server_.BaseUrl() + "/GetFactorings");
    FAIL() << "expected an Error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).find("abc"), std::string::npos);
  }
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_F(TransportTest, ErrorStatusWithXmlBodyIsReturnedLikeSuccess) {
  server_.Enqueue(ScriptedResponse::Xml(
      "<Response><Result>3</Result><Description>Folio usado</Description></Response>", 500));
  const detail::HttpAnswer answer =
      ServicioAccess::Get(servicio_, server_.BaseUrl() + "/FiscalStatus/T/E/r/33/1");
  EXPECT_EQ(answer.status, 500);
  EXPECT_NE(answer.Xml().find("<Result>3</Result>"), std::string::npos);
  EXPECT_NE(answer.Xml().find("<Description>Folio usado</Description>"), std::string::npos);
}

TEST_F(TransportTest, NonXmlBodyGivesEmptyTextButKeepsStatusAndType) {
  server_.Enqueue(ScriptedResponse::Html("<html><body><h1>Bad gateway</h1><br></body>", 502));
  const detail::HttpAnswer answer =
      ServicioAccess::Get(servicio_, server_.BaseUrl() + "/GetFactorings");
  EXPECT_EQ(answer.Xml(), "");
  EXPECT_EQ(answer.status, 502);
  EXPECT_NE(answer.contentType.find("text/html"), std::string::npos);
  server_.Enqueue(ScriptedResponse::Xml(""));
  EXPECT_EQ(detail::HttpGet(servicio_, server_.BaseUrl() + "/GetFactorings"), "");
}

TEST_F(TransportTest, LatinOneAnswerComesBackAsUtf8Text) {
  ScriptedResponse response;
  response.headers = {{"Content-Type", "application/xml"}};
  response.body =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R><Description>\xD1u\xF1oa"
      "</Description></R>";
  server_.Enqueue(response);
  const std::string xml = detail::HttpGet(servicio_, server_.BaseUrl() + "/x");
  EXPECT_NE(xml.find("<Description>Ñuñoa</Description>"), std::string::npos) << xml;
}

// The answer is parsed once, from the bytes as they came; its readers select from that document,
// which must hold what its re-serialised text holds.
TEST_F(TransportTest, AnswerIsReadFromTheDocumentItsTextWasWrittenFrom) {
  ScriptedResponse response;
  response.headers = {{"Content-Type", "application/xml"}};
  response.body =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R><Result>3</Result>"
      "<Description>\xD1u\xF1oa &amp; C\xED"
      "a</Description></R>";
  server_.Enqueue(response);
  const detail::HttpAnswer answer = ServicioAccess::Get(servicio_, server_.BaseUrl() + "/x");
  const detail::ServiceAnswer read(answer);
  EXPECT_EQ(read.Text("Description"), "Ñuñoa & Cía");
  const detail::ServiceAnswer reread(detail::HttpAnswer(answer.Xml(), answer.status, ""));
  EXPECT_EQ(reread.Text("Description"), read.Text("Description"));
  EXPECT_EQ(reread.Document().Xml(), answer.Xml());
  EXPECT_TRUE(answer.Xml().starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<R>"))
      << answer.Xml();
}

TEST_F(TransportTest, ExternalEntitiesAreNeverRead) {
  server_.Enqueue(ScriptedResponse::Xml(
      "<?xml version=\"1.0\"?><!DOCTYPE R [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
      "<R><Result>&x;</Result></R>"));
  try {
    detail::HttpGet(servicio_, server_.BaseUrl() + "/x");
    FAIL() << "expected an Error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).find("root:"), std::string::npos);
    EXPECT_STREQ(e.what(), "la respuesta declara entidades XML, que no se admiten");
  }
}

TEST_F(TransportTest, EncodedSegmentsReachTheServiceAsBuilt) {
  server_.Enqueue(ScriptedResponse::Xml(kOk));
  const std::string url = detail::ServiceUrl(server_.BaseUrl(), "/VoidDocument/",
                                             {"T", "..", "33", "1", "nota a/b?c#d ñ"});
  detail::HttpGet(servicio_, url);
  EXPECT_EQ(server_.WaitForRequest(0).target,
            "/VoidDocument/T/%2E%2E/33/1/nota%20a%2Fb%3Fc%23d%20%C3%B1");
}

TEST_F(TransportTest, RefusedConnectionIsAnErrorThatNamesTheCause) {
  servicio_.Configurar("http://127.0.0.1:" + std::to_string(UnusedPort()), "llave-secreta");
  try {
    detail::HttpPost(servicio_,
                     detail::ServiceUrl(ServicioAccess::ApiUri(servicio_), "/ReconciliateCessions/",
                                        {"T", "1-9", "clave-sii"}),
                     "<x/>");
    FAIL() << "expected an Error";
  } catch (const Error& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("no se pudo conectar"), std::string::npos) << what;
    EXPECT_EQ(what.find("llave-secreta"), std::string::npos);
    EXPECT_EQ(what.find("clave-sii"), std::string::npos);
  }
}

TEST(KeyMasking, EveryOccurrenceIsMaskedWhateverTheKey) {
  EXPECT_EQ(detail::MaskSecret("llave k1 y k1", "k1"), "llave *** y ***");
  EXPECT_EQ(detail::MaskSecret("sin secreto", ""), "sin secreto");
  // A key made of the mask's own characters must not mask its own mask for ever.
  EXPECT_EQ(detail::MaskSecret("a*b", "*"), "a***b");
  EXPECT_EQ(detail::MaskSecret("***", "**"), "****");
}

TEST(KeyMasking, EverySecretIsMaskedAsWrittenAndAsAPathCarriesIt) {
  const detail::Secrets secrets({"k/1", "", "%"});
  EXPECT_EQ(secrets.Mask("k/1 k%2F1 % %25 k"), "*** *** *** *** k");
  // One secret inside another is masked as part of the longer one.
  EXPECT_EQ(detail::Secrets({"ab", "xaby"}).Mask("xaby ab"), "*** ***");
  EXPECT_EQ(detail::Secrets().Mask("nada"), "nada");
}

TEST_F(TransportTest, UnconfiguredServiceIsAnError) {
  Servicio nuevo;
  try {
    detail::HttpGet(nuevo, "/GetFactorings");
    FAIL() << "expected an Error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("Configurar"), std::string::npos) << e.what();
  }
}

TEST_F(TransportTest, ClosedOrResetConnectionIsAnError) {
  server_.Enqueue(ScriptedResponse::CloseConnection());
  EXPECT_THROW(detail::HttpGet(servicio_, server_.BaseUrl() + "/x"), Error);
  server_.Enqueue(ScriptedResponse::ResetMidBody("<R>" + std::string(4096, 'x') + "</R>", 100));
  try {
    detail::HttpGet(servicio_, server_.BaseUrl() + "/x");
    FAIL() << "expected an Error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("falló la comunicación"), std::string::npos) << e.what();
  }
}

TEST_F(TransportTest, AnAnswerThatIsNotHttpIsToldApartFromABadUrl) {
  for (const char* raw : {"HELLO\r\n\r\n", "HTTP/1.1 abc\r\n\r\n", "SSH-2.0-OpenSSH\r\n"}) {
    server_.Enqueue(ScriptedResponse::RawBytes(raw));
    try {
      detail::HttpGet(servicio_, server_.BaseUrl() + "/x");
      ADD_FAILURE() << "expected an Error for " << raw;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("el servicio respondió algo que no es HTTP"),
                std::string::npos)
          << e.what();
    }
  }
  // The same on a connection kept from an ordinary exchange.
  server_.Enqueue(ScriptedResponse::Xml(kOk).WithHeader("Connection", "keep-alive"));
  server_.Enqueue(ScriptedResponse::RawBytes("HELLO\r\n\r\n"));
  detail::HttpGet(servicio_, server_.BaseUrl() + "/x");
  try {
    detail::HttpGet(servicio_, server_.BaseUrl() + "/x");
    ADD_FAILURE() << "expected an Error on the kept connection";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("no es HTTP"), std::string::npos) << e.what();
  }
  for (const std::string& url : {std::string("http://[127.0.0.1/x"),
                                 "ftp://127.0.0.1:" + std::to_string(server_.port()) + "/x"}) {
    try {
      detail::HttpGet(servicio_, url);
      ADD_FAILURE() << "expected an Error for " << url;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("la URL del servicio no es válida"), std::string::npos)
          << e.what();
    }
  }
  EXPECT_EQ(server_.RequestCount(), 5u);
}

// An answer that announces more than the library ever takes is cut off before its body comes.
TEST_F(TransportTest, AnAnswerBeyondTheCapIsRefused) {
  server_.Enqueue(
      ScriptedResponse::StallMidBody("<R>", 3).WithHeader("Content-Length", "1073741824"));
  try {
    detail::HttpGet(servicio_, server_.BaseUrl() + "/x");
    FAIL() << "expected an Error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("la respuesta del servicio es demasiado grande"),
              std::string::npos)
        << e.what();
  }
}

// On a fresh connection and on one kept from an earlier exchange, whose connect time reads 0.
TEST_F(TransportTest, StalledServiceHitsTheStallLimit) {
  servicio_.ConfigurarLimites({std::chrono::milliseconds(1000), std::chrono::seconds(1)});
  server_.Enqueue(ScriptedResponse::StallForever());
  server_.Enqueue(ScriptedResponse::Xml(kOk).WithHeader("Connection", "keep-alive"));
  server_.Enqueue(ScriptedResponse::StallForever());
  for (const char* path : {"/x", "/y", "/z"}) {
    try {
      detail::HttpGet(servicio_, server_.BaseUrl() + path);
      if (std::string(path) != "/y") ADD_FAILURE() << "expected an Error for " << path;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("dejó de responder"), std::string::npos) << e.what();
    }
  }
}

// Two bytes a second never trip the stall limit; only the total deadline ends such a call.
TEST_F(TransportTest, ATricklingServiceCannotHoldACallPastTheTotalDeadline) {
  servicio_.ConfigurarLimites(
      {std::chrono::milliseconds(1000), std::chrono::seconds(3), std::chrono::seconds(2)});
  server_.Enqueue(ScriptedResponse::TrickleForever(2, std::chrono::milliseconds(1000)));
  const auto start = std::chrono::steady_clock::now();
  try {
    detail::HttpGet(servicio_, server_.BaseUrl() + "/x");
    ADD_FAILURE() << "expected an Error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "se superó el plazo total de 2 s para la operación");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  // An answer that trickles in whole within the deadline is read as any other.
  server_.Enqueue(ScriptedResponse::Trickle(kOk, 16, std::chrono::milliseconds(10)));
  EXPECT_NE(detail::HttpGet(servicio_, server_.BaseUrl() + "/y").find("<Result>0"),
            std::string::npos);
}

// A listener whose accept queue is full drops further handshakes, so a connect to it never
// completes: the connect limit, not the stall limit, must fire.
TEST_F(TransportTest, UnansweredConnectHitsTheConnectLimit) {
  const testing::UnacceptingListener listener;
  servicio_.Configurar(listener.BaseUrl(), "k");
  servicio_.ConfigurarLimites({std::chrono::milliseconds(500), std::chrono::seconds(30)});
  try {
    detail::HttpGet(servicio_, ServicioAccess::ApiUri(servicio_) + "/x");
    ADD_FAILURE() << "expected an Error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("tiempo de conexión"), std::string::npos) << e.what();
  }
}

// A kept connection that dies after the service read a POST, with no byte of answer: the request
// may have been processed, so it is reported, not repeated behind the caller's back (libcurl
// would repeat it on a new connection).
TEST_F(TransportTest, APostWhoseKeptConnectionDiesUnansweredIsReportedAndNotSentAgain) {
  server_.Enqueue(ScriptedResponse::Xml(kOk).WithHeader("Connection", "keep-alive"));
  server_.Enqueue(ScriptedResponse::CloseConnection());
  server_.SetDefault(ScriptedResponse::Xml(kOk));
  const std::string send = server_.BaseUrl() + "/SendDTEDocument";
  detail::HttpPost(servicio_, send, "<a/>");
  try {
    detail::HttpPost(servicio_, send, "<b/>");
    ADD_FAILURE() << "expected an Error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("se cerró sin respuesta"), std::string::npos) << e.what();
  }
  ASSERT_EQ(server_.RequestCount(), 2u);
  EXPECT_EQ(server_.Requests()[1].body, "<b/>");
  // The next POST goes whole on a new connection.
  detail::HttpPost(servicio_, send, "<c/>");
  ASSERT_EQ(server_.RequestCount(), 3u);
  EXPECT_EQ(server_.Requests()[2].body, "<c/>");
  EXPECT_EQ(*server_.Requests()[2].Header("Content-Length"), "4");
}

TEST_F(TransportTest, ConnectionIsReusableAfterAFailure) {
  server_.Enqueue(ScriptedResponse::CloseConnection());
  server_.Enqueue(ScriptedResponse::Xml(kOk));
  EXPECT_THROW(detail::HttpGet(servicio_, server_.BaseUrl() + "/x"), Error);
  EXPECT_NE(detail::HttpGet(servicio_, server_.BaseUrl() + "/y").find("<Result>0"),
            std::string::npos);
}

}  // namespace
}  // namespace QuarloCliente
