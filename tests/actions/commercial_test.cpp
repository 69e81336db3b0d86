#include <gtest/gtest.h>

#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>
#include <string>
#include <vector>

#include "actions_fixture.hpp"

namespace QuarloCliente::testing {
namespace {

class CommercialTest : public ActionsTest {
 protected:
  std::shared_ptr<ResultadoServicio> Respond(const std::string& tipo) {
    return servicio_.EnviarRespuestaComercial("T", "76543210-3", "33", "10", "Ana", "+56 2 2345",
                                              "ana@example.cl", "conforme", tipo);
  }
  std::string SentAction(std::size_t index) {
    return ParseBody(server_.WaitForRequest(index).body).Child("Action");
  }
};

TEST_F(CommercialTest, ResponseTypeChoosesTheInstanceActionCode) {
  Respond("A");
  Respond("R");
  Respond("a");
  Respond("");
  servicio_.TipoAccionRespuestaComercial_ReclamoTotalMercaderias = "ZZ";
  servicio_.TipoAccionRespuestaComercial_ReciboMercaderiasServicios = "R0";
  servicio_.TipoRespuestaComercial_Aceptacion = "ACEPTA";
  Respond("R");
  Respond("ACEPTA");
  Respond("A");

  const std::vector<std::string> expected = {"0", "3", "3", "3", "ZZ", "R0", "ZZ"};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(SentAction(i), expected[i]) << "request " << i;
  }
}

TEST_F(CommercialTest, BodyCarriesEveryElementInOrderWithTextIntact) {
  servicio_.EnviarRespuestaComercialAccion("T", "76543210-3", "33", "10", "Pérez & Cía <Ltda>", "",
                                           "", "", "R", "2");
  servicio_.EnviarRespuestaComercialAccion("", "", "", "", "", "", "", "", "", "");

  const RecordedRequest request = server_.WaitForRequest(0);
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/SendComercialResponse");
  const ParsedBody body = ParseBody(request.body);
  EXPECT_EQ(body.root, "ACKStatusRequest");
  EXPECT_EQ(body.nameSpace, ApiNamespace);
  std::vector<std::pair<std::string, std::string>> expected = {
      {"Environment", "T"},
      {"RutEmisor", "76543210-3"},
      {"DTEType", "33"},
      {"Folio", "10"},
      {"ContactName", "Pérez & Cía <Ltda>"},
      {"ContactPhone", ""},
      {"ContactEmail", ""},
      {"Observations", ""},
      {"ResponseType", "R"},
      {"Action", "2"}};
  EXPECT_EQ(body.children, expected);

  for (auto& child : expected) child.second.clear();
  EXPECT_EQ(ParseBody(server_.WaitForRequest(1).body).children, expected);
}

TEST_F(CommercialTest, ResponseAnswerIsJudgedByItsResult) {
  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "0"}, {"Description", "Recibido"}})));
  server_.Enqueue(
      ScriptedResponse::Xml(Answer({{"Result", "5"}, {"Description", "Plazo vencido"}})));
  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "5"}})));
  server_.Enqueue(ScriptedResponse::Html("<html><body>Gateway<br></body></html>", 502));

  const auto accepted = Respond("A");
  EXPECT_EQ(accepted->Estado, "0");
  EXPECT_EQ(accepted->Descripcion, "");
  const auto late = Respond("A");
  EXPECT_EQ(late->Estado, "1");
  EXPECT_EQ(late->Descripcion, "Plazo vencido");
  EXPECT_EQ(Respond("A")->Descripcion,
            "Error Enviando Respuesta Comercial: la respuesta no contiene el elemento Description");
  EXPECT_EQ(Respond("A")->Descripcion,
            "Error Enviando Respuesta Comercial: HTTP 502: la respuesta no es XML");
}

std::string FullStatusAnswer() {
  return Answer({{"Result", "0"},
                 {"Description", ""},
                 {"StatusCode", "ACD"},
                 {"StatusDescription", "Acepta contenido"},
                 {"ContactEmail", "ana@example.cl"},
                 {"ContactName", "Ana Núñez"},
                 {"ContactPhone", "+56 9 1234"},
                 {"Observations", "sin reparos"},
                 {"ACKXml", "PEFDSz4="},
                 {"ClaimAction", "ERM"},
                 {"Codigo", "22"},
                 {"Comentario", "ok"},
                 {"Estado", "ACEPTADO"},
                 {"Responsable", "Bodega"},
                 {"TimeStamp", "2024-03-07T10:15:00"}});
}

TEST_F(CommercialTest, StatusQueryFillsEveryFieldFromItsElement) {
  server_.Enqueue(ScriptedResponse::Xml(FullStatusAnswer()));
  server_.Enqueue(ScriptedResponse::Xml(FullStatusAnswer()));
  const auto status = servicio_.EstadoComercialDocumento("T", "R", "11111111-1", "33", "10", false);
  servicio_.EstadoComercialDocumento("P", "E", "11111111-1", "34", "7", true);

  EXPECT_EQ(server_.WaitForRequest(0).target, "/ComercialStatusOfDocument/T/R/11111111-1/33/10/0");
  EXPECT_EQ(server_.WaitForRequest(1).target, "/ComercialStatusOfDocument/P/E/11111111-1/34/7/1");
  EXPECT_EQ(status->ResultadoServicio->Estado, "0");
  EXPECT_EQ(status->ResultadoServicio->Descripcion, "");
  EXPECT_EQ(status->CodigoEstadoComercial, "ACD");
  EXPECT_EQ(status->DescripcionEstadoComercial, "Acepta contenido");
  EXPECT_EQ(status->CorreoContacto, "ana@example.cl");
  EXPECT_EQ(status->NombreContacto, "Ana Núñez");
  EXPECT_EQ(status->TelefonoContacto, "+56 9 1234");
  EXPECT_EQ(status->observaciones, "sin reparos");
  EXPECT_EQ(status->ACKXml, "PEFDSz4=");
  EXPECT_EQ(status->ClaimAction, "ERM");
  EXPECT_EQ(status->Codigo, "22");
  EXPECT_EQ(status->Comentario, "ok");
  EXPECT_EQ(status->Estado, "ACEPTADO");
  EXPECT_EQ(status->Responsable, "Bodega");
  EXPECT_EQ(status->TimeStamp, "2024-03-07T10:15:00");
}

TEST_F(CommercialTest, StatusQueryKeepsAServiceCodeAndStopsAtAMissingElement) {
  server_.Enqueue(ScriptedResponse::Xml(Answer(
      {{"Result", "5"}, {"Description", "Documento no encontrado"}, {"StatusCode", "ACD"}})));
  const auto unknown =
      servicio_.EstadoComercialDocumento("T", "R", "11111111-1", "33", "10", false);
  EXPECT_EQ(unknown->ResultadoServicio->Estado, "5");
  EXPECT_EQ(unknown->ResultadoServicio->Descripcion, "Documento no encontrado");
  EXPECT_EQ(unknown->CodigoEstadoComercial, "");

  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "0"},
                                                {"Description", ""},
                                                {"StatusCode", "ACD"},
                                                {"StatusDescription", "Acepta"},
                                                {"ContactEmail", "a@b.cl"},
                                                {"ContactName", "Ana"},
                                                {"ContactPhone", "123"},
                                                {"Observations", "obs"},
                                                {"ClaimAction", "ERM"},
                                                {"Estado", "ACEPTADO"}})));
  const auto partial = servicio_.EstadoComercialDocumento("T", "R", "11111111-1", "33", "10", true);
  EXPECT_EQ(partial->ResultadoServicio->Estado, "1");
  EXPECT_EQ(partial->ResultadoServicio->Descripcion,
            "Error consultando estado comercialmente del documento: la respuesta no contiene el "
            "elemento ACKXml");
  EXPECT_EQ(partial->CodigoEstadoComercial, "ACD");
  EXPECT_EQ(partial->observaciones, "obs");
  EXPECT_EQ(partial->ClaimAction, "");
  EXPECT_EQ(partial->Estado, "");

  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "0"}})));
  EXPECT_EQ(servicio_.EstadoComercialDocumento("T", "R", "1-9", "33", "10", false)
                ->ResultadoServicio->Descripcion,
            "Error consultando estado comercialmente del documento: la respuesta no contiene el "
            "elemento Description");
}

}  // namespace
}  // namespace QuarloCliente::testing
