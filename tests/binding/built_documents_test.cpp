#include <gtest/gtest.h>

#include <quarlo/binding.hpp>
#include <quarlo/error.hpp>
#include <string>

#include "support/sii_schemas.hpp"

// Documents built entirely through the binding API, without a line of XML, must satisfy the
// model's own check and the SII schemas.

namespace QuarloCliente {
namespace {

using testing::SiiRoot;

const BindingDateTime kEmision = BindingDateTime::FromDate(2024, 5, 2);
const BindingDateTime kFirma = BindingDateTime::FromDateTime(2024, 5, 2, 10, 30, 0);

// The stamp every form carries, with the values a placeholder would use.
template <class Forma>
void FillTed(FormaDte<Forma>& form, typename Forma::Tipo tipo, const typename Forma::Monto& monto) {
  auto dd = form.TED()->DD();
  dd->SetRE("76543210-3").SetTD(tipo).SetF(1523).SetFE(kEmision).SetRR("77214903-4");
  dd->SetRSR("Constructora Los Peñascos").SetMNT(monto).SetIT1("Cemento");
  auto caf = dd->CAF();
  auto da = caf->DA();
  da->SetRE("76543210-3").SetRS("Comercializadora Ñuñoa").SetTD(tipo);
  da->RNG()->SetD(1).SetH(5000);
  da->SetFA(BindingDateTime::FromDate(2024, 1, 15)).SetIDK(300);
  da->CrearRSAPK()->SetM("==").SetE("AQAB");
  caf->FRMA()->SetValor("==");
  dd->SetTSTED(kFirma);
  form.TED()->FRMT()->SetAlgoritmo("SHA1withRSA").SetValor("==");
  form.SetTmstFirma(kFirma);
}

void ExpectValid(const BindingDocument& document, SiiRoot root) {
  EXPECT_EQ(document.Problems(), std::vector<std::string>{});
  const auto plain =
      testing::ValidateSiiDocument(document.ToXml(std::make_shared<BindingContext>()), root);
  EXPECT_TRUE(plain.valid) << plain.errors;
  auto prefixed = std::make_shared<BindingContext>();
  prefixed->RegisterNamespace("http://www.sii.cl/SiiDte", "ABCXYZ");
  const auto with_prefix = testing::ValidateSiiDocument(document.ToXml(prefixed), root);
  EXPECT_TRUE(with_prefix.valid) << with_prefix.errors;
}

TEST(BuiltDocumentTest, FacturaWithTwoLinesAndAReference) {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto doc = dte->CrearDocumento();
  doc->SetID("F33T1523");
  auto enc = doc->Encabezado();
  enc->IdDoc()
      ->SetTipoDTE(TipoDTEDocumento::FacturaElectronica)
      .SetFolio(1523)
      .SetFchEmis(kEmision);
  enc->IdDoc()->Set("FmaPago", 2).Set("FchVenc", BindingDateTime::FromDate(2024, 6, 1));
  enc->Emisor()
      ->SetRUTEmisor("76543210-3")
      .Set("RznSoc", "Comercializadora Ñuñoa Ltda.")
      .Set("GiroEmis", "Venta de materiales de construcción")
      .Set("Acteco", 466301)
      .Set("DirOrigen", "Av. Irarrázaval 3456")
      .Set("CmnaOrigen", "Ñuñoa");
  enc->Receptor()->SetRUTRecep("77214903-4").SetRznSocRecep("Constructora Los Peñascos SpA");
  enc->Receptor()->Set("GiroRecep", "Construcción").Set("DirRecep", "Av. José Arrieta 8120");
  enc->Receptor()->Set("CmnaRecep", "Peñalolén");
  enc->Totales()->Set("MntNeto", 150000).Set("TasaIVA", BindingDecimal("19")).Set("IVA", 28500);
  enc->Totales()->SetMntTotal(178500);
  doc->AgregarReferencia()
      ->Set("NroLinRef", 1)
      .Set("TpoDocRef", "801")
      .Set("FolioRef", "4500012")
      .Set("FchRef", BindingDateTime::FromDate(2024, 4, 30));
  doc->AgregarDetalle()
      ->SetNroLinDet(1)
      .SetNmbItem("Cemento 25 kg")
      .Set("QtyItem", 20)
      .Set("PrcItem", 5000)
      .Set("MontoItem", 100000);
  doc->AgregarDetalle()
      ->SetNroLinDet(2)
      .SetNmbItem("Fierro 8 mm")
      .Set("QtyItem", BindingDecimal("12.5"))
      .Set("PrcItem", 4000)
      .Set("MontoItem", 50000);
  FillTed(*doc, TipoDTEDocumento::FacturaElectronica, BindingInteger(178500));
  ExpectValid(*dte, SiiRoot::Dte);
}

TEST(BuiltDocumentTest, ExportacionInForeignCurrency) {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto exp = dte->CrearExportaciones();
  exp->SetID("E110T88");
  auto enc = exp->Encabezado();
  enc->IdDoc()
      ->SetTipoDTE(TipoDTEExportaciones::FacturaExportacion)
      .SetFolio(88)
      .SetFchEmis(kEmision);
  enc->Emisor()
      ->SetRUTEmisor("76543210-3")
      .Set("RznSoc", "Viña Los Andes S.A.")
      .Set("GiroEmis", "Producción de vinos")
      .Set("Acteco", 110200);
  enc->Receptor()->SetRUTRecep("55555555-5").SetRznSocRecep("Wine Importers Ltd.");
  enc->Totales()->Set("TpoMoneda", "DOLAR USA").Set("MntExe", BindingDecimal("12500.50"));
  enc->Totales()->SetMntTotal(BindingDecimal("12500.50"));
  exp->AgregarDetalle()
      ->SetNroLinDet(1)
      .SetNmbItem("Cabernet Sauvignon 750 ml")
      .Set("QtyItem", 1200)
      .Set("PrcItem", BindingDecimal("10.41708"))
      .Set("MontoItem", BindingDecimal("12500.50"));
  FillTed(*exp, TipoDTEExportaciones::FacturaExportacion, BindingDecimal("12500.50"));
  ExpectValid(*dte, SiiRoot::Dte);
}

TEST(BuiltDocumentTest, LiquidacionFactura) {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto liq = dte->CrearLiquidacion();
  liq->SetID("L43T7");
  auto enc = liq->Encabezado();
  enc->IdDoc()->SetTipoDTE(TipoDTELiquidacion::LiquidacionFactura).SetFolio(7).SetFchEmis(kEmision);
  enc->Emisor()
      ->SetRUTEmisor("76543210-3")
      .Set("RznSoc", "Agrícola del Sur Ltda.")
      .Set("GiroEmis", "Comisionista")
      .Set("Acteco", 461001)
      .Set("DirOrigen", "Camino a Chillán km 5");
  enc->Receptor()
      ->SetRUTRecep("77214903-4")
      .SetRznSocRecep("Frutícola Peñaflor SpA")
      .Set("GiroRecep", "Exportación de fruta")
      .Set("DirRecep", "Ruta 5 Sur km 340")
      .Set("CmnaRecep", "Chillán");
  enc->Totales()->SetMntTotal(-35000);
  liq->AgregarDetalle()
      ->SetNroLinDet(1)
      .SetNmbItem("Venta por cuenta de terceros")
      .Set("TpoDocLiq", 33)
      .Set("MontoItem", 500000);
  FillTed(*liq, TipoDTELiquidacion::LiquidacionFactura, BindingInteger(-35000));
  ExpectValid(*dte, SiiRoot::Dte);
}

TEST(BuiltDocumentTest, BoletaWithoutReceiverName) {
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  auto doc = boleta->Documento();
  doc->SetID("B39T501");
  auto enc = doc->Encabezado();
  enc->IdDoc()
      ->SetTipoDTE(TipoDTEBoleta::Boleta)
      .SetFolio(501)
      .SetFchEmis(kEmision)
      .SetIndServicio(3);
  enc->Emisor()->SetRUTEmisor("76543210-3").Set("RznSocEmisor", "Panadería La Espiga");
  enc->Receptor()->SetRUTRecep("66666666-6");
  enc->Totales()->SetMntTotal(5000);
  doc->AgregarDetalle()->SetNroLinDet(1).SetNmbItem("Marraqueta 1 kg").Set("MontoItem", 5000);
  FillTed(*doc, TipoDTEBoleta::Boleta, BindingInteger(5000));
  ExpectValid(*boleta, SiiRoot::Boleta);
}

TEST(BuiltDocumentTest, ConsumoDeFoliosWithTwoSummaries) {
  auto consumo = std::make_shared<ConsumoFoliosBinding>();
  auto documento = consumo->DocumentoConsumoFolios();
  documento->SetID("CF20240502");
  documento->Caratula()
      ->SetRutEmisor("76543210-3")
      .SetRutEnvia("12345678-5")
      .SetFchResol(BindingDateTime::FromDate(2014, 8, 22))
      .SetNroResol(80)
      .SetFchInicio(kEmision)
      .SetFchFinal(kEmision)
      .SetCorrelativo(1)
      .SetSecEnvio(1)
      .SetTmstFirmaEnv(kFirma);
  auto boletas = documento->AgregarResumen();
  boletas->SetTipoDocumento(39)
      .Set("MntNeto", 42017)
      .Set("MntIva", 7983)
      .Set("TasaIVA", BindingDecimal("19"))
      .Set("MntExento", 0);
  boletas->SetMntTotal(50000)
      .Set("FoliosEmitidos", 10)
      .Set("FoliosAnulados", 1)
      .Set("FoliosUtilizados", 11);
  boletas->AgregarRangoUtilizados(501, 511);
  boletas->AgregarRangoAnulados(505, 505);
  auto exentas = documento->AgregarResumen();
  exentas->SetTipoDocumento(41)
      .SetMntTotal(3000)
      .Set("FoliosEmitidos", 1)
      .Set("FoliosAnulados", 0)
      .Set("FoliosUtilizados", 1);
  exentas->AgregarRangoUtilizados(12, 12);
  ExpectValid(*consumo, SiiRoot::ConsumoFolios);
}

TEST(BuiltDocumentTest, LibroDeVentasWithCertificate) {
  auto libro = std::make_shared<LibroCompraVentaBinding>();
  auto envio = libro->EnvioLibro();
  envio->SetID("LV202405");
  envio->Caratula()
      ->SetRutEmisorLibro("76543210-3")
      .SetRutEnvia("12345678-5")
      .SetPeriodoTributario(BindingDateTime::FromYearMonth(2024, 5))
      .SetFchResol(BindingDateTime::FromDate(2014, 8, 22))
      .SetNroResol(80)
      .SetTipoOperacion("VENTA")
      .SetTipoLibro("MENSUAL")
      .SetTipoEnvio("TOTAL");
  envio->SetTmstFirma(kFirma);
  envio->Set("ResumenPeriodo/TotalesPeriodo/TpoDoc", 33)
      .Set("ResumenPeriodo/TotalesPeriodo/TotDoc", 1)
      .Set("ResumenPeriodo/TotalesPeriodo/TotMntExe", 0)
      .Set("ResumenPeriodo/TotalesPeriodo/TotMntNeto", 150000)
      .Set("ResumenPeriodo/TotalesPeriodo/TotMntIVA", 28500)
      .Set("ResumenPeriodo/TotalesPeriodo/TotMntTotal", 178500);
  envio->AgregarDetalle()
      ->Set("TpoDoc", 33)
      .Set("NroDoc", 1523)
      .Set("TasaImp", BindingDecimal("19"))
      .Set("FchDoc", kEmision)
      .Set("RUTDoc", "77214903-4")
      .Set("RznSoc", "Constructora Los Peñascos")
      .Set("MntNeto", 150000)
      .Set("MntIVA", 28500)
      .Set("MntTotal", 178500);
  auto cal = envio->CrearLceCal();
  cal->DocumentoCal()
      ->SetID("CAL1")
      .Set("RutDistribuidor", "99999999-9")
      .Set("TipoCertificado", "C")
      .Set("Clase", "1")
      .Set("TipoLCE", 6)
      .Set("FchEmision", BindingDateTime::FromDate(2024, 1, 2))
      .Set("PeriodoVigencia", BindingDateTime::FromYear(2024));
  cal->DocumentoCal()->SetTmstFirma(kFirma);
  // The certificate needs its own signature, which this test adds as a signer would.
  EXPECT_EQ(libro->Problems(), std::vector<std::string>{});
  const std::string xml = libro->ToXml(std::make_shared<BindingContext>());
  // LceCal is written with its own default namespace, so it can be signed on its own.
  const auto begin = xml.find("<LceCal");
  const auto end = xml.find("</LceCal>") + std::string_view("</LceCal>").size();
  const std::string signed_cal = testing::InsertDummySignature(xml.substr(begin, end - begin));
  const std::string cal_signed =
      xml.substr(0, begin) + signed_cal.substr(signed_cal.find("<LceCal")) + xml.substr(end);
  const auto result = testing::ValidateSiiDocument(cal_signed, SiiRoot::LibroCompraVenta);
  EXPECT_TRUE(result.valid) << result.errors;
}

TEST(BuiltDocumentTest, LibroDeGuias) {
  auto libro = std::make_shared<LibroGuiaBinding>();
  auto envio = libro->EnvioLibro();
  envio->SetID("LG202405");
  envio->Caratula()
      ->SetRutEmisorLibro("76543210-3")
      .SetRutEnvia("12345678-5")
      .SetPeriodoTributario(BindingDateTime::FromYearMonth(2024, 5))
      .SetFchResol(BindingDateTime::FromDate(2014, 8, 22))
      .SetNroResol(80)
      .SetTipoLibro("ESPECIAL")
      .SetTipoEnvio("TOTAL")
      .SetFolioNotificacion(1);
  envio->AgregarDetalle()
      ->Set("Folio", 55)
      .Set("TpoOper", 1)
      .Set("FchDoc", kEmision)
      .Set("RUTDoc", "77214903-4")
      .Set("MntTotal", 119000);
  envio->SetTmstFirma(kFirma);
  ExpectValid(*libro, SiiRoot::LibroGuia);
}

TEST(BuiltDocumentTest, LibroDeBoletas) {
  auto libro = std::make_shared<LibroBoletaBinding>();
  auto envio = libro->EnvioLibro();
  envio->SetID("LB202405");
  envio->Caratula()
      ->SetRutEmisorLibro("76543210-3")
      .SetRutEnvia("12345678-5")
      .SetPeriodoTributario(BindingDateTime::FromYearMonth(2024, 5))
      .SetFchResol(BindingDateTime::FromDate(2014, 8, 22))
      .SetNroResol(80)
      .SetTipoLibro("ESPECIAL")
      .SetTipoEnvio("TOTAL")
      .SetFolioNotificacion(1);
  envio->AgregarDetalle()
      ->Set("TpoDoc", 39)
      .Set("FolioDoc", 501)
      .Set("FchEmiDoc", kEmision)
      .Set("MntTotal", 5000);
  envio->SetTmstFirma(kFirma);
  ExpectValid(*libro, SiiRoot::LibroBoleta);
}

}  // namespace
}  // namespace QuarloCliente
