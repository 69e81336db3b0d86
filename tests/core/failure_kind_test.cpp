#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <quarlo/binding.hpp>
#include <quarlo/servicio.hpp>
#include <set>
#include <string>
#include <vector>

#include "core/payload.hpp"
#include "support/loopback_server.hpp"
#include "support/sii_schemas.hpp"

namespace QuarloCliente {
namespace {

using testing::LoopbackServer;
using testing::ScriptedResponse;

// One success answer that every operation below reads whole: each picks the elements it needs.
std::string SuccessAnswer() {
  return "<Response><Result>0</Result><Description>ok</Description><Status>ANULADO</Status>"
         "<TrackId>7</TrackId><TED></TED><PDF417>UERG</PDF417><SearchTime>1</SearchTime>"
         "<TotalDocuments>0</TotalDocuments><Data>" +
         detail::EncodeIsoBase64("<documents><total>0</total></documents>") + "</Data></Response>";
}

std::string Refusal(const std::string& code, const std::string& description) {
  return "<Response><Result>" + code + "</Result><Description>" + description +
         "</Description></Response>";
}

struct Operation {
  const char* family;
  std::function<std::shared_ptr<ResultadoServicio>()> run;
};

class FailureKindTest : public ::testing::Test {
 protected:
  FailureKindTest() { servicio_.Configurar(server_.BaseUrl(), "llave"); }

  // A submission, a query, a search page and an action: operations of four families.
  std::vector<Operation> Operations() {
    return {
        {"envío",
         [this] {
           return servicio_.EnviarDocumentoDTE(factura_, "T", "2014-08-22", 1, 2)
               ->ResultadoServicio;
         }},
        {"consulta",
         [this] {
           return servicio_.EstadoFiscal("T", std::string("E"), "1-9", "33", "1")
               ->ResultadoServicio;
         }},
        {"búsqueda",
         [this] { return servicio_.BuscarDocumentos("T", "E", "q", 1, 10)->ResultadoServicio; }},
        {"acción", [this] { return servicio_.AnularDocumento("T", "1-9", "33", "1", "c"); }},
    };
  }

  // Runs every operation, each after queueing the response, and expects the kind.
  void ExpectKind(const std::function<ScriptedResponse()>& response, TipoFallo kind,
                  const std::string& seen = "") {
    for (const Operation& operation : Operations()) {
      SCOPED_TRACE(std::string(operation.family) + " / " + seen);
      server_.Enqueue(response());
      const auto status = operation.run();
      EXPECT_EQ(status->Estado, "1");
      EXPECT_EQ(status->Fallo, kind) << status->Descripcion;
      EXPECT_NE(status->Descripcion.find(seen), std::string::npos) << status->Descripcion;
    }
  }

  LoopbackServer server_;
  Servicio servicio_;
  std::shared_ptr<DteDocumentBinding> factura_ = [] {
    auto document = std::make_shared<DteDocumentBinding>();
    document->Load(testing::ReadTestData("factura_33.xml"), std::make_shared<BindingContext>());
    return document;
  }();
};

TEST_F(FailureKindTest, SuccessLeavesNoKindAndEachFailureReportsItsOwn) {
  for (const Operation& operation : Operations()) {
    SCOPED_TRACE(operation.family);
    server_.Enqueue(ScriptedResponse::Xml(SuccessAnswer()));
    const auto ok = operation.run();
    EXPECT_EQ(ok->Estado == "0" || ok->Estado == "ANULADO", true) << ok->Descripcion;
    EXPECT_EQ(ok->Fallo, TipoFallo::Ninguno);
  }
  // On one Servicio: a server error, then a refusal, then success; no kind outlives its call.
  for (const Operation& operation : Operations()) {
    SCOPED_TRACE(operation.family);
    server_.Enqueue(ScriptedResponse::Html("<p>down</p>", 503));
    server_.Enqueue(ScriptedResponse::Xml(Refusal("3", "Folio usado")));
    server_.Enqueue(ScriptedResponse::Xml(SuccessAnswer()));
    EXPECT_EQ(operation.run()->Fallo, TipoFallo::ErrorServidor);
    EXPECT_EQ(operation.run()->Fallo, TipoFallo::RechazoServicio);
    EXPECT_EQ(operation.run()->Fallo, TipoFallo::Ninguno);
  }
}

TEST_F(FailureKindTest, TheServiceRefusingIsARefusalWhateverItsStatus) {
  ExpectKind([] { return ScriptedResponse::Xml(Refusal("3", "Folio usado")); },
             TipoFallo::RechazoServicio, "Folio usado");
  ExpectKind([] { return ScriptedResponse::Xml(Refusal("4", "No existe"), 404); },
             TipoFallo::RechazoServicio, "No existe");
  ExpectKind([] { return ScriptedResponse::Html("<html><body>Not found<br></body></html>", 404); },
             TipoFallo::RechazoServicio, "HTTP 404");
  // A success code under a 4xx status is still the service saying no.
  ExpectKind([] { return ScriptedResponse::Xml(SuccessAnswer(), 400); }, TipoFallo::RechazoServicio,
             "HTTP 400");
  // A refusal without a Description is still a refusal, not an unreadable answer.
  ExpectKind([] { return ScriptedResponse::Xml("<Response><Result>2</Result></Response>"); },
             TipoFallo::RechazoServicio, "Description");
}

TEST_F(FailureKindTest, AServerErrorIsOneWhateverTheBodySays) {
  ExpectKind([] { return ScriptedResponse::Html("<html><body>down<br></body></html>", 503); },
             TipoFallo::ErrorServidor, "HTTP 503: la respuesta no es XML");
  ExpectKind([] { return ScriptedResponse::Xml(SuccessAnswer(), 500); }, TipoFallo::ErrorServidor,
             "HTTP 500: ok");
  ExpectKind([] { return ScriptedResponse::Xml(Refusal("3", "Folio usado"), 502); },
             TipoFallo::ErrorServidor, "HTTP 502: Folio usado");
}

TEST_F(FailureKindTest, ARefusedConnectionSentNothing) {
  servicio_.Configurar("http://127.0.0.1:" + std::to_string(testing::UnusedPort()), "llave");
  for (const Operation& operation : Operations()) {
    SCOPED_TRACE(operation.family);
    const auto status = operation.run();
    EXPECT_EQ(status->Fallo, TipoFallo::SinConexion) << status->Descripcion;
    EXPECT_NE(status->Descripcion.find("no se pudo conectar"), std::string::npos);
  }
}

TEST_F(FailureKindTest, AConnectionLostAfterTheRequestIsATransportFailure) {
  ExpectKind([] { return ScriptedResponse::CloseConnection(); }, TipoFallo::FalloTransporte,
             "cerró la conexión");
  ExpectKind([] { return ScriptedResponse::ResetMidBody(SuccessAnswer(), 20); },
             TipoFallo::FalloTransporte);
}

TEST_F(FailureKindTest, ALimitThatRunsOutAfterConnectingIsATimeOut) {
  servicio_.ConfigurarLimites(
      {std::chrono::seconds(5), std::chrono::seconds(30), std::chrono::milliseconds(300)});
  const auto start = std::chrono::steady_clock::now();
  ExpectKind([] { return ScriptedResponse::StallForever(); }, TipoFallo::TiempoAgotado,
             "plazo total de 300 ms");
  // A stall limit under a second acts as a whole one.
  servicio_.ConfigurarLimites(
      {std::chrono::seconds(5), std::chrono::milliseconds(300), std::chrono::seconds(60)});
  server_.Enqueue(ScriptedResponse::StallMidBody(SuccessAnswer(), 10));
  const auto stalled = servicio_.EstadoFiscal("T", std::string("E"), "1-9", "33", "1");
  EXPECT_EQ(stalled->ResultadoServicio->Fallo, TipoFallo::TiempoAgotado);
  EXPECT_NE(stalled->ResultadoServicio->Descripcion.find("durante 1 s"), std::string::npos)
      << stalled->ResultadoServicio->Descripcion;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

// A listener whose accept queue is full drops further handshakes, so the connect limit fires
// before any byte of the request went out.
TEST_F(FailureKindTest, AConnectLimitThatRunsOutSentNothing) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  socklen_t len = sizeof addr;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  std::vector<int> fillers;
  for (int i = 0; i < 3; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    fillers.push_back(fd);
  }
  servicio_.Configurar("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)), "k");
  servicio_.ConfigurarLimites({std::chrono::milliseconds(300), std::chrono::seconds(30)});
  const auto status = servicio_.EstadoFiscal("T", std::string("E"), "1-9", "33", "1");
  EXPECT_EQ(status->ResultadoServicio->Fallo, TipoFallo::SinConexion)
      << status->ResultadoServicio->Descripcion;
  EXPECT_NE(
      status->ResultadoServicio->Descripcion.find("tiempo de conexión con el servicio (300 ms)"),
      std::string::npos)
      << status->ResultadoServicio->Descripcion;
  for (const int fd : fillers) ::close(fd);
  ::close(listener);
}

TEST_F(FailureKindTest, AnAnswerThatCannotBeReadIsInvalid) {
  ExpectKind([] { return ScriptedResponse::RawBytes("HELLO\r\n\r\n"); },
             TipoFallo::RespuestaInvalida, "no es HTTP");
  ExpectKind([] { return ScriptedResponse::Html("<p>hola</p>", 200); },
             TipoFallo::RespuestaInvalida, "no contiene el elemento Result");
  ExpectKind([] { return ScriptedResponse::Html("hola", 200); }, TipoFallo::RespuestaInvalida,
             "la respuesta no es XML");
  // Each operation's own content, read after the Result: a missing Status, bad Base64.
  server_.Enqueue(ScriptedResponse::Xml("<Response><Result>0</Result></Response>"));
  EXPECT_EQ(servicio_.AnularDocumento("T", "1-9", "33", "1", "c")->Fallo,
            TipoFallo::RespuestaInvalida);
  server_.Enqueue(ScriptedResponse::Xml(
      "<Response><Result>0</Result><TotalDocuments>1</TotalDocuments><Data>@@</Data></Response>"));
  EXPECT_EQ(servicio_.BuscarDocumentos("T", "E", "q", 1, 10)->ResultadoServicio->Fallo,
            TipoFallo::RespuestaInvalida);
  // The font barcode of a submission is decoded after its answer was parsed.
  server_.Enqueue(ScriptedResponse::Xml(
      "<Response><Result>0</Result><TED></TED><PDF417>@@</PDF417></Response>"));
  EXPECT_EQ(servicio_.EnviarDocumentoDTE(factura_, "T", "f", 1, 1)->ResultadoServicio->Fallo,
            TipoFallo::RespuestaInvalida);
  // A retrieved document is loaded after the retrieval's own report has closed.
  server_.Enqueue(ScriptedResponse::Xml("<Response><Result>0</Result><Data>" +
                                        detail::EncodeIsoBase64("<Otro/>") + "</Data></Response>"));
  EXPECT_EQ(
      servicio_.RecuperarDocumento("T", "E", "1-9", "33", "1", false)->ResultadoServicio->Fallo,
      TipoFallo::RespuestaInvalida);
}

TEST_F(FailureKindTest, WhatFailsBeforeSendingIsLocal) {
  const std::size_t before = server_.RequestCount();
  EXPECT_EQ(servicio_.EnviarDocumentoDTE(nullptr, "T", "f", 1, 2)->ResultadoServicio->Fallo,
            TipoFallo::ErrorLocal);
  EXPECT_EQ(servicio_.EstadoFiscal("T", Variant(true), "1-9", "33", "1")->ResultadoServicio->Fallo,
            TipoFallo::ErrorLocal);
  const auto unreadable = servicio_.EnviarCAF(
      "T", (std::filesystem::temp_directory_path() / "quarlo-no-existe" / "caf.xml").string());
  EXPECT_EQ(unreadable->Fallo, TipoFallo::ErrorLocal) << unreadable->Descripcion;
  EXPECT_EQ(servicio_.ValidarTEDParaDTE(factura_, "<TED><DD><F>999</F></DD></TED>")
                ->ResultadoServicio->Fallo,
            TipoFallo::ErrorLocal);
  servicio_.Configurar("", "llave");
  for (const Operation& operation : Operations()) {
    SCOPED_TRACE(operation.family);
    EXPECT_EQ(operation.run()->Fallo, TipoFallo::ErrorLocal);
  }
  EXPECT_EQ(server_.RequestCount(), before);
}

TEST(Resultados, SetErrorRecordsAKindAndNamesAreDistinct) {
  ResultadoServicio r;
  r.SetError("x");
  EXPECT_EQ(r.Fallo, TipoFallo::ErrorLocal);
  r.SetError("y", TipoFallo::TiempoAgotado);
  EXPECT_EQ(r.Estado, "1");
  EXPECT_EQ(r.Fallo, TipoFallo::TiempoAgotado);
  // Estado "1" with no kind would tell the caller nothing.
  r.SetError("z", TipoFallo::Ninguno);
  EXPECT_EQ(r.Fallo, TipoFallo::ErrorLocal);
  std::set<std::string> names;
  for (int kind = 0; kind <= static_cast<int>(TipoFallo::ErrorLocal); ++kind) {
    names.insert(NombreFallo(static_cast<TipoFallo>(kind)));
  }
  EXPECT_EQ(names.size(), 8u);
  EXPECT_EQ(names.count("desconocido"), 0u);
  EXPECT_EQ(NombreFallo(static_cast<TipoFallo>(99)), "desconocido");
}

}  // namespace
}  // namespace QuarloCliente
