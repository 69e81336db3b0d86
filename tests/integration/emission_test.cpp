// Emission against the sandbox: CAFs issued and uploaded, documents numbered and stamped, stamps
// that verify with the CAF's key and barcodes that decode back to them.

#include <algorithm>

#include "integration_fixture.hpp"

namespace QuarloCliente::integration {
namespace {

using Emision = IntegrationTest;

// The DD values of a document as its stamp must carry them.
QuarloSandbox::TedFields Campos(const DteDocumentBinding& factura) {
  const auto doc = factura.Documento();
  const auto enc = doc->Encabezado();
  QuarloSandbox::TedFields fields;
  fields.re = enc->Emisor()->RUTEmisor();
  fields.td = "33";
  fields.f = enc->IdDoc()->Folio().ToString();
  fields.fe = enc->IdDoc()->FchEmis().ToString();
  fields.rr = enc->Receptor()->RUTRecep();
  fields.rsr = enc->Receptor()->RznSocRecep();
  fields.mnt = enc->Totales()->MntTotal().ToString();
  fields.it1 = doc->Detalle(1)->NmbItem();
  fields.tsted = FormatDate(Now(), "yyyy-MM-ddTHH:mm:ss");
  return fields;
}

TEST_F(Emision, FacturaAndBoletaAreNumberedStampedAndCarryABarcodeOfTheirStamp) {
  const QuarloSandbox::Caf caf = SubirCaf(kEmisor, 33, 1, 50);
  // The boleta's CAF comes from the binary's own command, as a developer would issue it.
  const CommandResult issued = RunSandboxCommand(
      {"caf", "--rut", kEmisorBoletas, "--tipo", "39", "--desde", "4001", "--hasta", "4100",
       "--authority-key", sandbox_->AuthorityKeyFile().string()},
      dir_.path() / "caf.log");
  ASSERT_EQ(issued.status, 0) << checks::ReadFile(dir_.path() / "caf.log");
  const auto cafBoletas = dir_.path() / "caf39.xml";
  checks::WriteFile(cafBoletas, Bytes(issued.out.begin(), issued.out.end()));
  Require(servicio_.EnviarCAF(kAmbiente, cafBoletas.string()), "EnviarCAF");

  const auto factura = EmitirFactura(servicio_);
  EXPECT_EQ(FolioOf(factura->TED), "1");
  EXPECT_EQ(EmitirFactura(), "2");
  EXPECT_TRUE(QuarloSandbox::VerifyTed(factura->TED)) << factura->TED;
  const QuarloSandbox::TedFields dd = QuarloSandbox::ReadTed(factura->TED);
  EXPECT_EQ(dd.re, kEmisor);
  EXPECT_EQ(dd.td, "33");
  EXPECT_EQ(dd.fe, Hoy());
  EXPECT_EQ(dd.rr, kReceptor);
  EXPECT_EQ(dd.rsr, "Constructora Los Peñascos SpA");
  EXPECT_EQ(dd.mnt, "1448706");
  EXPECT_EQ(servicio_.NodeValue(XmlDocument::Parse(factura->TED), "//RSAPK/M"), caf.modulusBase64)
      << "stamped with the uploaded CAF";
  const auto image = checks::ReadPngWithLibpng(factura->GetPdf417ComoBytes());
  ASSERT_TRUE(image);
  EXPECT_EQ(checks::ReadPdf417(*image), TedBytes(factura->TED));

  const auto boleta = servicio_.EnviarDocumentoBoleta_PDF417_AutoFoliado(
      Boleta(), kAmbiente, kFechaResolucion, kNroResolucion, servicio_.TipoPDF417_Fuente, 8, 3,
      true);
  Require(boleta->ResultadoServicio, "EnviarDocumentoBoleta");
  EXPECT_EQ(FolioOf(boleta->TED), "4001");
  EXPECT_TRUE(QuarloSandbox::VerifyTed(boleta->TED)) << boleta->TED;
  EXPECT_EQ(QuarloSandbox::ReadTed(boleta->TED).it1, "Marraqueta (kg)");
  // The font form arrives as the rows a PDF417 font draws, each of the same width.
  const std::string rows = boleta->Pdf417;
  const auto firstRow = rows.find("\r\n");
  ASSERT_NE(firstRow, std::string::npos) << rows;
  EXPECT_TRUE(std::all_of(rows.begin(), rows.end(), [](char c) {
    return (c >= 'A' && c <= 'P') || c == '\r' || c == '\n';
  })) << rows;
  EXPECT_EQ((rows.size() + 2) % (firstRow + 2), 0U) << rows;
}

TEST_F(Emision, OwnFoliosAndReadyStampsAreHeldToTheCaf) {
  const QuarloSandbox::Caf caf = SubirCaf(kEmisor, 33, 1, 20);
  const auto propio = servicio_.EnviarDocumentoDTE(Factura(7), kAmbiente, kFechaResolucion,
                                                   kNroResolucion, servicio_.TipoPDF417_Grafico);
  Require(propio->ResultadoServicio, "EnviarDocumentoDTE");
  EXPECT_EQ(FolioOf(propio->TED), "7");
  for (const long folio : {7L, 21L}) {
    const auto refused = servicio_.EnviarDocumentoDTE(Factura(folio), kAmbiente, kFechaResolucion,
                                                      kNroResolucion, servicio_.TipoPDF417_Grafico);
    EXPECT_EQ(refused->ResultadoServicio->Estado, "1") << folio;
    EXPECT_NE(refused->ResultadoServicio->Descripcion.find(std::to_string(folio)),
              std::string::npos)
        << refused->ResultadoServicio->Descripcion;
    EXPECT_TRUE(refused->TED.empty());
  }

  const auto conTimbre = Factura(8);
  const std::string ted = QuarloSandbox::StampTed(Campos(*conTimbre), caf);
  const auto listo = servicio_.EnviarDocumentoDTE_TED(
      conTimbre, kAmbiente, kFechaResolucion, kNroResolucion, servicio_.TipoPDF417_Grafico, ted);
  Require(listo->ResultadoServicio, "EnviarDocumentoDTE_TED");
  EXPECT_EQ(listo->TED, ted) << "the service keeps a stamp that holds";

  // A stamp of the right values signed with another CAF's key, and one whose values are not the
  // document's: the first is refused by the service, the second before anything is sent.
  const auto ajeno = QuarloSandbox::IssueTestCaf(
      kEmisor, "Otro", 33, 1, 20,
      QuarloSandbox::AuthorityKey::LoadOrCreate(sandbox_->AuthorityKeyFile().string()));
  const auto otra = Factura(9);
  const auto firmaAjena = servicio_.EnviarDocumentoDTE_TED(
      otra, kAmbiente, kFechaResolucion, kNroResolucion, servicio_.TipoPDF417_Grafico,
      QuarloSandbox::StampTed(Campos(*otra), ajeno));
  EXPECT_EQ(firmaAjena->ResultadoServicio->Estado, "1");
  EXPECT_FALSE(firmaAjena->ResultadoServicio->Descripcion.empty());
  QuarloSandbox::TedFields otroMonto = Campos(*otra);
  otroMonto.mnt = "1";
  const auto montoAjeno = servicio_.EnviarDocumentoDTE_TED(
      otra, kAmbiente, kFechaResolucion, kNroResolucion, servicio_.TipoPDF417_Grafico,
      QuarloSandbox::StampTed(otroMonto, caf));
  EXPECT_EQ(montoAjeno->ResultadoServicio->Estado, "1");
  EXPECT_NE(montoAjeno->ResultadoServicio->Descripcion.find("MNT"), std::string::npos)
      << montoAjeno->ResultadoServicio->Descripcion;

  // Neither refusal spent folio 9; automatic numbering takes the lowest free folio.
  EXPECT_EQ(EmitirFactura(), "1");
  Require(servicio_
              .EnviarDocumentoDTE(Factura(9), kAmbiente, kFechaResolucion, kNroResolucion,
                                  servicio_.TipoPDF417_Grafico)
              ->ResultadoServicio,
          "EnviarDocumentoDTE folio 9");
}

TEST_F(Emision, AWrongApiKeyIsRefusedWithAClearDescriptionAndChangesNothing) {
  SubirCaf(kEmisor, 33, 1, 5);
  const auto file = dir_.path() / "caf_nuevo.xml";
  const auto nuevo = QuarloSandbox::IssueTestCaf(
      kEmisorBoletas, "Panadería", 39, 1, 5,
      QuarloSandbox::AuthorityKey::LoadOrCreate(sandbox_->AuthorityKeyFile().string()));
  checks::WriteFile(file, Bytes(nuevo.xml.begin(), nuevo.xml.end()));

  for (const std::string llave : {"llave-equivocada", ""}) {
    Servicio intruso;
    intruso.Configurar(sandbox_->Uri(), llave);
    const std::vector<std::shared_ptr<ResultadoServicio>> refused = {
        intruso.EnviarCAF(kAmbiente, file.string()),
        intruso
            .EnviarDocumentoDTE_AutoFoliado(Factura(), kAmbiente, kFechaResolucion, kNroResolucion,
                                            2, true)
            ->ResultadoServicio,
        intruso.EstadoFiscal(kAmbiente, "E", kEmisor, "33", "1")->ResultadoServicio,
        intruso.BuscarDocumentos(kAmbiente, "E", "", 1, 10)->ResultadoServicio,
        intruso.ObtenerFactorings()->ResultadoServicio,
    };
    for (const auto& result : refused) {
      EXPECT_EQ(result->Estado, "1");
      EXPECT_NE(result->Descripcion.find("AuthKey"), std::string::npos) << result->Descripcion;
      EXPECT_TRUE(llave.empty() || result->Descripcion.find(llave) == std::string::npos);
    }
  }
  const auto sinCaf = servicio_.EnviarDocumentoBoleta_AutoFoliado(
      Boleta(), kAmbiente, kFechaResolucion, kNroResolucion, 2, true);
  EXPECT_EQ(sinCaf->ResultadoServicio->Estado, "1") << "the refused upload stored no CAF";
  EXPECT_EQ(EmitirFactura(), "1") << "the refused submission took no folio";
}

}  // namespace
}  // namespace QuarloCliente::integration
