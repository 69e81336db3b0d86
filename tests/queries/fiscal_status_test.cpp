#include "query_fixture.hpp"

namespace QuarloCliente {
namespace {

constexpr char kStatus[] =
    "<Result>0</Result><Status>EPR</Status><TrackId>4471</TrackId><Data>Aceptado</Data>";

TEST_F(QueryTest, FiscalStatusAsksByItsFiveSegments) {
  Answer(kStatus);
  Answer(kStatus);
  const auto result = servicio.EstadoFiscal("T", "E", "76543210-3", "33", "1523");
  servicio.EstadoFiscal("P", Variant(), "76543210-3", "33", "1523");

  EXPECT_EQ(Target(0), "/FiscalStatus/T/E/76543210-3/33/1523");
  EXPECT_EQ(Target(1), "/FiscalStatus/P//76543210-3/33/1523");
  EXPECT_EQ(result->ResultadoServicio->Estado, "0");
  EXPECT_EQ(result->Estado, "EPR");
  EXPECT_EQ(result->IdSeguimiento, "4471");
  EXPECT_EQ(result->Comentarios, "Aceptado");
}

TEST_F(QueryTest, BookStatusUsesThePeriodCodeOfTheInstanceConstants) {
  const struct {
    std::string tipoLibro;
    BindingDateTime periodo;
    std::string folio;
  } cases[] = {{"MENSUAL", BindingDateTime::FromYearMonth(2025, 1), "202501130"},
               {"ESPECIAL", BindingDateTime::FromDate(2025, 1, 31), "202501230"},
               {"RECTIFICA", BindingDateTime::FromYearMonth(2025, 1), "202501330"},
               {"mensual", BindingDateTime::FromYearMonth(2025, 1), "202501330"},
               {"MENSUAL", BindingDateTime::FromYearMonth(2024, 12), "202412130"}};
  std::size_t request = 0;
  for (const auto& c : cases) {
    Answer(kStatus);
    servicio.EstadoFiscalLibro("76543210-3", "LV", "T", c.tipoLibro, c.periodo);
    EXPECT_EQ(Target(request++), "/FiscalStatus/T/E/76543210-3/LV/" + c.folio) << c.tipoLibro;
  }
  servicio.TipoLibro_Mensual = "M";
  servicio.Grupo_Emitido = "X";
  Answer(kStatus);
  servicio.EstadoFiscalLibro("76543210-3", "LV", "T", "M", BindingDateTime::FromYearMonth(2025, 1));
  EXPECT_EQ(Target(request), "/FiscalStatus/T/X/76543210-3/LV/202501130");
}

TEST_F(QueryTest, ConsumoFoliosStatusAsksByDayWithTheIssuedGroup) {
  Answer(kStatus);
  Answer(kStatus);
  servicio.EstadoFiscalConsumoFolios("76981442-6", "T", MakeDate(2024, 3, 15, 18, 30));
  servicio.Grupo_Emitido = "EMI";
  const auto result = servicio.EstadoFiscalConsumoFolios("76981442-6", "P", MakeDate(2024, 3, 7));

  EXPECT_EQ(Target(0), "/FiscalStatus/T/E/76981442-6/100/20240315");
  EXPECT_EQ(Target(1), "/FiscalStatus/P/EMI/76981442-6/100/20240307");
  EXPECT_EQ(result->Estado, "EPR");
}

TEST_F(QueryTest, FiscalStatusFailuresKeepWhatWasRead) {
  Answer("<Result>0</Result><Status>EPR</Status><TrackId>4471</TrackId>");
  Answer("<Result>5</Result><Description>RUT sin autorización</Description><Status>X</Status>");
  const auto sinData = servicio.EstadoFiscal("T", "E", "r", "33", "15");
  const auto rechazo = servicio.EstadoFiscal("T", "E", "r", "33", "15");

  EXPECT_EQ(sinData->ResultadoServicio->Estado, "1");
  EXPECT_EQ(sinData->ResultadoServicio->Descripcion,
            "Error obteniendo estado fiscal: la respuesta no contiene el elemento Data");
  EXPECT_EQ(sinData->Estado, "EPR");
  EXPECT_EQ(sinData->IdSeguimiento, "4471");
  EXPECT_EQ(rechazo->ResultadoServicio->Estado, "1");
  EXPECT_EQ(rechazo->ResultadoServicio->Descripcion, "RUT sin autorización");
  EXPECT_EQ(rechazo->Estado, "");
}

TEST_F(QueryTest, NonTextGroupsAreRefusedBeforeAnyRequest) {
  const Variant grupos[] = {Variant(Integer{1}), Variant(1.5),    Variant(true),
                            Variant(Date{}),     Variant(Null{}), Variant(Bytes{'E'})};
  for (const Variant& grupo : grupos) {
    const auto result = servicio.EstadoFiscal("T", grupo, "r", "33", "15");
    EXPECT_EQ(result->ResultadoServicio->Estado, "1");
    EXPECT_TRUE(result->ResultadoServicio->Descripcion.starts_with(
        "Error obteniendo estado fiscal: " +
        std::string(grupo.IsNull() ? "uso no válido de Null" : "tipos no coinciden")))
        << result->ResultadoServicio->Descripcion;
  }
  EXPECT_EQ(server.RequestCount(), 0u);
}

}  // namespace
}  // namespace QuarloCliente
