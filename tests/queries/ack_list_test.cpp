#include "query_fixture.hpp"

namespace QuarloCliente {
namespace {

std::string Ack(std::string_view xml) {
  return "<ack>" + detail::EncodeIsoBase64(xml) + "</ack>";
}

TEST_F(QueryTest, AckListSplitsEveryAckInDocumentOrder) {
  AnswerData("<AckList>" + Ack("<R>Recepción</R>") + "<G>" + Ack("<R>Peñalolén</R>") + "</G>" +
             Ack("<R>3</R>") + "</AckList>");
  AnswerData("<AckList/>");
  const auto result = servicio.RecuperarListadoAcusesRecibo("T", "E", "76543210-3", "33", "1523");
  const auto none = servicio.RecuperarListadoAcusesRecibo("T", "E", "76543210-3", "33", "1524");

  EXPECT_EQ(Target(0), "/RecoverAckList");
  EXPECT_EQ(BodyValues(0, {"Environment", "Group", "Rut", "DocType", "Folio"}),
            (Strings{"T", "E", "76543210-3", "33", "1523"}));
  EXPECT_EQ(*result->AcusesRecibo, (Strings{"<R>Recepción</R>", "<R>Peñalolén</R>", "<R>3</R>"}));
  EXPECT_EQ(none->ResultadoRecuperarXML->ResultadoServicio->Estado, "0");
  EXPECT_TRUE(none->AcusesRecibo->empty());
}

TEST_F(QueryTest, AckListFailuresLandInTheListStatus) {
  Answer("<Result>0</Result><Data>?</Data>");
  Answer("<Result>4</Result><Description>Sin permiso</Description>");
  AnswerData("<L>" + Ack("<R>1</R>") + "<ack>no*es*base64</ack>" + Ack("<R>3</R>") + "</L>");
  const auto missing = servicio.RecuperarListadoAcusesRecibo("T", "E", "r", "33", "15");
  const auto refused = servicio.RecuperarListadoAcusesRecibo("T", "E", "r", "33", "15");
  const auto broken = servicio.RecuperarListadoAcusesRecibo("T", "E", "r", "33", "15");

  EXPECT_EQ(missing->ResultadoRecuperarXML->ResultadoServicio->Descripcion,
            "Error consultando servicio: El documento no tiene acuses de recibo, para "
            "Ambiente:T, Grupo:E, RUT:r, Tipo:33, Folio:15.");
  EXPECT_TRUE(missing->AcusesRecibo->empty());
  EXPECT_EQ(refused->ResultadoRecuperarXML->ResultadoServicio->Descripcion, "Sin permiso");
  EXPECT_EQ(broken->ResultadoRecuperarXML->ResultadoServicio->Estado, "1");
  EXPECT_TRUE(broken->ResultadoRecuperarXML->ResultadoServicio->Descripcion.starts_with(
      "Error creando los ack desde el xml. : "));
  EXPECT_EQ(*broken->AcusesRecibo, Strings{"<R>1</R>"});
}

TEST_F(QueryTest, SetDataTakesTheAnswerItselfAndReplacesTheList) {
  ResultadoRecuperarListACK record;
  auto answer = std::make_shared<ResultadoRecuperarXML>();
  answer->Datos = "<L>" + Ack("<A>1</A>") + Ack("<A>2</A>") + "</L>";
  record.SetData(answer);
  answer = std::make_shared<ResultadoRecuperarXML>();
  answer->Datos = "<L>" + Ack("<A>3</A>") + "</L>";
  record.SetData(answer);
  EXPECT_EQ(record.ResultadoRecuperarXML, answer);
  EXPECT_EQ(*record.AcusesRecibo, Strings{"<A>3</A>"});

  answer->Datos.clear();
  record.SetData(answer);
  EXPECT_TRUE(record.AcusesRecibo->empty());
  EXPECT_THROW(record.SetData(nullptr), Error);
  EXPECT_EQ(record.ResultadoRecuperarXML, answer);
}

}  // namespace
}  // namespace QuarloCliente
