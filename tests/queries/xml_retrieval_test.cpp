#include "query_fixture.hpp"

namespace QuarloCliente {
namespace {

constexpr std::initializer_list<const char*> kFields = {
    "Environment", "Group", "Rut", "DocType", "Folio", "IsForDistribution"};

TEST_F(QueryTest, RetrievalSendsItsRequestAndDecodesTheDocument) {
  const std::string dte = testing::ReadTestData("factura_33.xml");
  AnswerData(dte);
  AnswerData(dte);
  const auto result = servicio.RecuperarXML("T", "E", "76543210-3", "33", "1523", true);
  servicio.RecuperarXML("P", "R", "76543210-3", "33", "1523", false);

  EXPECT_EQ(Target(0), "/RecoverXML_V2");
  EXPECT_EQ(BodyValues(0, kFields), (Strings{"T", "E", "76543210-3", "33", "1523", "True"}));
  EXPECT_EQ(BodyValues(1, kFields), (Strings{"P", "R", "76543210-3", "33", "1523", "False"}));
  EXPECT_EQ(result->ResultadoServicio->Estado, "0");
  EXPECT_EQ(result->Datos, dte);
}

TEST_F(QueryTest, RetrievalReportsRefusalsAndMissingDocuments) {
  Answer("<Result>2</Result><Description>Documento bloqueado</Description>");
  Answer("<Result>0</Result><Data>?</Data>");
  Answer("<Result>0</Result><Data/>");
  const auto refused = servicio.RecuperarXML("T", "E", "r", "33", "15", false);
  const auto missing = servicio.RecuperarXML("T", "E", "r", "33", "15", false);
  const auto empty = servicio.RecuperarXML("P", "", "r", "39", "7", false);

  EXPECT_EQ(refused->ResultadoServicio->Estado, "1");
  EXPECT_EQ(refused->ResultadoServicio->Descripcion, "Documento bloqueado");
  EXPECT_EQ(missing->ResultadoServicio->Descripcion,
            "Error consultando servicio: Documento no encontrado, para "
            "Ambiente:T, Grupo:E, RUT:r, Tipo:33, Folio:15.");
  EXPECT_EQ(empty->ResultadoServicio->Descripcion,
            "Error consultando servicio: Documento no encontrado, para "
            "Ambiente:P, Grupo:, RUT:r, Tipo:39, Folio:7.");
}

TEST_F(QueryTest, ConsumoFoliosRetrievalAsksByDayWithTheIssuedGroup) {
  const std::string report = testing::ReadTestData("consumo_folios.xml");
  AnswerData(report);
  AnswerData(report);
  const auto result = servicio.RecuperarXMLConsumoFolios("T", "76981442-6", MakeDate(2024, 3, 7));
  servicio.Grupo_Emitido = "Emitidos";
  servicio.RecuperarXMLConsumoFolios("P", "76981442-6", MakeDate(2024, 12, 31, 23, 59));

  EXPECT_EQ(BodyValues(0, kFields), (Strings{"T", "E", "76981442-6", "100", "20240307", "False"}));
  EXPECT_EQ(BodyValues(1, kFields),
            (Strings{"P", "Emitidos", "76981442-6", "100", "20241231", "False"}));
  EXPECT_EQ(result->Datos, report);
}

}  // namespace
}  // namespace QuarloCliente
