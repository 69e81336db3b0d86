#include <gtest/gtest.h>

#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>
#include <string>
#include <vector>

#include "actions_fixture.hpp"

namespace QuarloCliente::testing {
namespace {

class CessionTest : public ActionsTest {
 protected:
  CessionTest() {
    server_.SetDefault(ScriptedResponse::Xml(Answer({{"Result", "0"}, {"Description", ""}})));
  }
};

std::shared_ptr<GeneraAECRequest> MinimalRequest() {
  auto request = std::make_shared<GeneraAECRequest>();
  request->ambiente = "T";
  request->rut = "76543210-3";
  request->tipo = 33;
  request->folio = 100000;
  return request;
}

// The message of the Error that `call` throws, or a test failure when it throws nothing else.
template <typename Call>
std::string RaisedMessage(Call&& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.what();
  }
  ADD_FAILURE() << "no Error was raised";
  return {};
}

TEST_F(CessionTest, MinimalRequestSendsEveryElementInTheServiceOrder) {
  servicio_.GenerarAec(MinimalRequest());

  const RecordedRequest request = server_.WaitForRequest(0);
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/GenerateAec");
  const std::string opening =
      "<GenerateAecRequest xmlns = \"" + std::string(ApiNamespace) + "\" ><Environment>";
  EXPECT_EQ(request.body.substr(0, opening.size()), opening);
  const ParsedBody body = ParseBody(request.body);
  EXPECT_EQ(body.nameSpace, ApiNamespace);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Environment", "T"},    {"Rut", "76543210-3"},          {"Type", "33"},
      {"Folio", "100000"},     {"FactoringRut", ""},           {"UltimoVencimiento", ""},
      {"PrevAecInBase64", ""}, {"FactoringEnterpriseID", "0"}, {"DireccionCedente", ""},
      {"EmailCedente", ""}};
  EXPECT_EQ(body.children, expected);
}

TEST_F(CessionTest, EveryFieldReachesItsElement) {
  auto request = MinimalRequest();
  request->folio = 2147483647;
  request->FactoringRut = "96666666-6";
  request->AecPrevioEnBase64 = "PEFFQz4=";
  request->UltimoVencimiento = "2024-12-31";
  request->FactoringEnterpriseID = -5;
  request->DireccionCedente = "Av. Ñuñoa 123 & Cía";
  request->EmailCedente = "cesion@example.cl";
  servicio_.GenerarAec(request);

  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Environment", "T"},
      {"Rut", "76543210-3"},
      {"Type", "33"},
      {"Folio", "2147483647"},
      {"FactoringRut", "96666666-6"},
      {"UltimoVencimiento", "2024-12-31"},
      {"PrevAecInBase64", "PEFFQz4="},
      {"FactoringEnterpriseID", "-5"},
      {"DireccionCedente", "Av. Ñuñoa 123 & Cía"},
      {"EmailCedente", "cesion@example.cl"}};
  EXPECT_EQ(ParseBody(server_.WaitForRequest(0).body).children, expected);
}

TEST_F(CessionTest, ServiceAnswerIsReturnedAsItCame) {
  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "0"}, {"Description", ""}})));
  server_.Enqueue(
      ScriptedResponse::Xml(Answer({{"Result", "3"}, {"Description", "Documento ya cedido"}})));

  const auto generated = servicio_.GenerarAec(MinimalRequest());
  EXPECT_EQ(generated->Estado, "0");
  EXPECT_EQ(generated->Descripcion, "");
  const auto refused = servicio_.GenerarAec(MinimalRequest());
  EXPECT_EQ(refused->Estado, "3");
  EXPECT_EQ(refused->Descripcion, "Documento ya cedido");
}

TEST_F(CessionTest, EveryFailureIsRaisedAsError) {
  server_.Enqueue(ScriptedResponse::Xml(""));
  server_.Enqueue(ScriptedResponse::Xml(Answer({{"Result", "0"}})));

  EXPECT_EQ(RaisedMessage([&] { servicio_.GenerarAec(MinimalRequest()); }),
            "Error generando AEC: HTTP 200: la respuesta no es XML");
  EXPECT_EQ(RaisedMessage([&] { servicio_.GenerarAec(MinimalRequest()); }),
            "Error generando AEC: la respuesta no contiene el elemento Description");
  EXPECT_EQ(RaisedMessage([&] { servicio_.GenerarAec(nullptr); }),
            "Error generando AEC: no se recibió la solicitud de AEC");
  EXPECT_EQ(server_.RequestCount(), 2u);
}

}  // namespace
}  // namespace QuarloCliente::testing
