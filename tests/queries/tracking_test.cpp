#include "query_fixture.hpp"

namespace QuarloCliente {
namespace {

std::string Estado(std::string_view codigo, std::string_view estado, std::string_view extra = "") {
  return "<EstadoTrack><TimeStamp>2024-05-02T10:15:00</TimeStamp><Codigo>" + std::string(codigo) +
         "</Codigo><Estado>" + std::string(estado) + "</Estado>" + std::string(extra) +
         "<TrackId>4471</TrackId></EstadoTrack>";
}

std::string Tracking(std::string_view id, std::string_view estados) {
  return "<Tracking id=\"" + std::string(id) + "\"><Estados>" + std::string(estados) +
         "</Estados></Tracking>";
}

TEST_F(QueryTest, TrackingHistoryHoldsOneRecordPerStateInDocumentOrder) {
  const std::string history = Tracking(
      "-12", Estado("1", "Recibido", "<Comentario>Recepción</Comentario>") + Estado("2", "Ok"));
  AnswerData(history);
  const auto trazas = servicio.ObtenerTracking("T", "E", "76543210-3", "33", "1523");
  ASSERT_EQ(trazas->Datos, history);
  const auto resumen = trazas->getResumen();
  const auto estados = resumen->getEstadoTrackArray();

  EXPECT_EQ(Target(0), "/TrackingByGroup/T/76543210-3/33/1523/E");
  EXPECT_EQ(resumen->idField, -12);
  ASSERT_EQ(estados.size(), 2u);
  EXPECT_EQ(estados[0]->codigoField, 1);
  EXPECT_EQ(estados[0]->estadoField, "Recibido");
  EXPECT_EQ(estados[0]->comentarioField, "Recepción");
  EXPECT_EQ(estados[0]->timeStampField, "2024-05-02T10:15:00");
  EXPECT_EQ(estados[0]->trackIdField, "4471");
  EXPECT_EQ(estados[1]->codigoField, 2);
  EXPECT_EQ(estados[1]->comentarioField, "");

  const auto again = trazas->getResumen();
  EXPECT_NE(again, resumen);
  EXPECT_EQ(again->idField, -12);
  EXPECT_EQ(again->getEstadoTrackArray()[1]->estadoField, "Ok");
}

TEST_F(QueryTest, SummaryOfNoStatesOrNoDataIsEmpty) {
  ResultadoTrazas trazas;
  EXPECT_EQ(trazas.getResumen()->idField, 0);
  EXPECT_TRUE(trazas.getResumen()->getEstadoTrackArray().empty());
  trazas.Datos = Tracking("7", "");
  EXPECT_EQ(trazas.getResumen()->idField, 7);
  EXPECT_TRUE(trazas.getResumen()->getEstadoTrackArray().empty());
}

TEST_F(QueryTest, BadCodigoKeepsTheStatesBeforeIt) {
  for (const char* codigo : {"x", "", "40000"}) {
    TrackingResponse response;
    EXPECT_THROW(
        response.Init(Tracking("9", Estado("1", "A") + Estado(codigo, "B") + Estado("3", "C"))),
        Error);
    EXPECT_EQ(response.idField, 9);
    ASSERT_EQ(response.getEstadoTrackArray().size(), 1u) << codigo;
    EXPECT_EQ(response.getEstadoTrackArray()[0]->estadoField, "A");
  }
}

TEST_F(QueryTest, BadIdOrTooManyStatesLeaveTheArrayAsItWas) {
  TrackingResponse response;
  response.Init(Tracking("5", Estado("1", "A")));
  for (const std::string& bad :
       {Tracking("cinco", ""), Tracking("3000000000", ""), std::string("<Otro id=\"1\"/>")}) {
    EXPECT_THROW(response.Init(bad), Error) << bad;
    EXPECT_EQ(response.idField, 5);
    EXPECT_EQ(response.getEstadoTrackArray().size(), 1u);
  }
  std::string many;
  for (int i = 0; i < 32768; ++i) many += "<EstadoTrack/>";
  EXPECT_THROW(response.Init(Tracking("6", many)), Error);
  EXPECT_EQ(response.getEstadoTrackArray().size(), 1u);
}

}  // namespace
}  // namespace QuarloCliente
