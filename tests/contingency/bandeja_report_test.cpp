#include "outbox_fixture.hpp"
#include "sii_schemas.hpp"

namespace QuarloCliente::testing {
namespace {

TEST_F(OutboxTest, TheDaysFolioReportCountsTheBoletasIssuedThatDayInRuns) {
  auto bandeja = Ready();
  for (int i = 0; i < 3; ++i) bandeja->EmitirBoleta(TestBoleta());  // 4001-4003
  // 4004 is taken elsewhere, so the outbox's run breaks there.
  auto elsewhere = TestBoleta();
  elsewhere->Documento()->Encabezado()->IdDoc()->SetFolio(4004).SetFchEmis(
      BindingDateTime::FromDate(2024, 5, 3));
  bandeja->EncolarBoleta(elsewhere, ReadTestData("ted/ted_39.xml"));
  bandeja->EmitirBoleta(TestBoleta());  // 4005

  const auto day = MakeDate(2024, 5, 2);
  const auto report = bandeja->ConsumoFoliosDelDia("76981442-6", day);
  const auto documento = report->DocumentoConsumoFolios();
  EXPECT_EQ(documento->Caratula()->Get("FchInicio"), "2024-05-02");
  EXPECT_EQ(documento->Caratula()->Get("NroResol"), "80");
  ASSERT_EQ(documento->Resumenes().size(), 1u);
  const auto resumen = documento->Resumen(1);
  EXPECT_EQ(resumen->Get("TipoDocumento"), "39");
  EXPECT_EQ(resumen->Get("MntTotal"), std::to_string(4 * 21225));
  EXPECT_EQ(resumen->Get("MntNeto"), std::to_string(4 * 17836));
  EXPECT_EQ(resumen->Get("FoliosEmitidos"), "4");
  EXPECT_EQ(resumen->Get("FoliosUtilizados"), "4");
  EXPECT_EQ(resumen->Get("FoliosAnulados"), "0");
  ASSERT_EQ(resumen->Count("RangoUtilizados"), 2u);
  EXPECT_EQ(resumen->Get("RangoUtilizados[1]/Inicial") + "-" +
                resumen->Get("RangoUtilizados[1]/Final") + " " +
                resumen->Get("RangoUtilizados[2]/Inicial") + "-" +
                resumen->Get("RangoUtilizados[2]/Final"),
            "4001-4003 4005-4005");
  EXPECT_TRUE(report->Problems().empty());
  const auto schema =
      ValidateSiiDocument(report->ToXml(DefaultBindingContext()), SiiRoot::ConsumoFolios);
  EXPECT_TRUE(schema.valid) << schema.errors;

  bandeja->EncolarConsumoFolios("76981442-6", day);
  EXPECT_NE(ErrorOf([&] { bandeja->EncolarConsumoFolios("76981442-6", day); }).find("ya está"),
            std::string::npos);
  EXPECT_EQ(bandeja->ConsumoFoliosDelDia("76981442-6", MakeDate(2024, 5, 4))
                ->DocumentoConsumoFolios()
                ->Resumenes()
                .size(),
            0u);
}

}  // namespace
}  // namespace QuarloCliente::testing
