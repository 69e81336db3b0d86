// What the library reads back from the sandbox about stamped documents: status and tracking, the
// stored XML and documents, the PDF, printing and confirmation.

#include "integration_fixture.hpp"

namespace QuarloCliente::integration {
namespace {

class Consultas : public IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    SubirCaf(kEmisor, 33, 1, 10);
    SubirCaf(kEmisorBoletas, 39, 1, 10);
    factura_ = EmitirFactura(servicio_);
    folio_ = FolioOf(factura_->TED);
    folioBoleta_ = EmitirBoleta();
  }

  std::shared_ptr<ResultadoEnviarDocumento> factura_;
  std::string folio_;
  std::string folioBoleta_;
};

TEST_F(Consultas, StatusAndTrackingAdvanceOneStatePerQueryWhateverTheGroup) {
  const auto validado =
      servicio_.EstadoFiscal(kAmbiente, servicio_.Grupo_Emitido, kEmisor, "33", folio_);
  Require(validado->ResultadoServicio, "EstadoFiscal");
  EXPECT_EQ(validado->Estado, "VALIDADO");
  ASSERT_FALSE(validado->IdSeguimiento.empty());

  const auto trazas =
      servicio_.ObtenerTracking(kAmbiente, servicio_.Grupo_Recibido, kEmisor, "33", folio_);
  Require(trazas->ResultadoServicio, "ObtenerTracking");
  const auto resumen = trazas->getResumen();
  EXPECT_EQ(std::to_string(resumen->idField), validado->IdSeguimiento);
  std::string historia;
  for (const auto& estado : resumen->getEstadoTrackArray()) {
    historia += std::to_string(estado->codigoField) + estado->estadoField + " ";
    EXPECT_EQ(estado->trackIdField, validado->IdSeguimiento);
    EXPECT_FALSE(estado->timeStampField.empty());
  }
  EXPECT_EQ(historia, "1REC 2SOK 3EPR ");

  // The last state is final, and every group names the same document.
  for (const Variant& grupo : {Variant(std::string()), Variant(servicio_.Grupo_Recibido)}) {
    const auto aceptado = servicio_.EstadoFiscal(kAmbiente, grupo, kEmisor, "33", folio_);
    Require(aceptado->ResultadoServicio, "EstadoFiscal");
    EXPECT_EQ(aceptado->Estado, "ACEPTADO");
    EXPECT_NE(aceptado->Comentarios.find("aceptado"), std::string::npos) << aceptado->Comentarios;
  }
  EXPECT_EQ(servicio_.ObtenerTracking(kAmbiente, "", kEmisor, "33", folio_)
                ->getResumen()
                ->getEstadoTrackArray()
                .size(),
            3U);
  // The boleta has a history of its own.
  EXPECT_EQ(servicio_.EstadoFiscal(kAmbiente, "E", kEmisorBoletas, "39", folioBoleta_)->Estado,
            "VALIDADO");
}

TEST_F(Consultas, RetrievesStoredXmlAndDocumentsWithTheirSpanishTextIntact) {
  for (const bool distribucion : {false, true}) {
    const auto xml = servicio_.RecuperarXML(kAmbiente, servicio_.Grupo_Emitido, kEmisor, "33",
                                            folio_, distribucion);
    Require(xml->ResultadoServicio, "RecuperarXML");
    const XmlDocument envio = XmlDocument::Parse(xml->Datos);
    EXPECT_EQ(servicio_.NodeValue(envio, "/EnvioDTE/SetDTE/Caratula/RutReceptor"),
              distribucion ? kReceptor : "60803000-K");
    EXPECT_EQ(servicio_.NodeValue(envio, "//Documento/Encabezado/IdDoc/Folio"), folio_);
    EXPECT_EQ(servicio_.NodeValue(envio, "//Emisor/CmnaOrigen"), "Ñuñoa");
    EXPECT_EQ(servicio_.NodeValue(envio, "//Documento/TED/FRMT"),
              servicio_.NodeValue(XmlDocument::Parse(factura_->TED), "//FRMT"))
        << "the stored document carries the stamp the submission answered";
  }

  const auto dte = servicio_.RecuperarDocumento(kAmbiente, "E", kEmisor, "33", folio_);
  Require(dte->ResultadoServicio, "RecuperarDocumento");
  ASSERT_EQ(dte->Data->GetTipo(), "DTE");
  const auto documento = std::dynamic_pointer_cast<ResultadoDocDTE>(dte->Data);
  ASSERT_TRUE(documento);
  const auto encabezado = documento->Documento->Documento()->Encabezado();
  EXPECT_EQ(encabezado->IdDoc()->Folio().ToString(), folio_);
  EXPECT_EQ(encabezado->Emisor()->Get("RznSoc"), "Comercializadora Ñuñoa Ltda.");
  EXPECT_EQ(encabezado->Emisor()->Get("CmnaOrigen"), "Ñuñoa");
  EXPECT_EQ(encabezado->Receptor()->RznSocRecep(), "Constructora Los Peñascos SpA");

  const auto boleta =
      servicio_.RecuperarDocumento(kAmbiente, "E", kEmisorBoletas, "39", folioBoleta_);
  Require(boleta->ResultadoServicio, "RecuperarDocumento boleta");
  const auto documentoBoleta = std::dynamic_pointer_cast<ResultadoDocBoleta>(boleta->Data);
  ASSERT_TRUE(documentoBoleta) << boleta->Data->GetTipo();
  const auto encabezadoBoleta = documentoBoleta->Documento->Documento()->Encabezado();
  EXPECT_EQ(encabezadoBoleta->IdDoc()->Folio().ToString(), folioBoleta_);
  EXPECT_EQ(encabezadoBoleta->Emisor()->Get("CmnaOrigen"), "Peñalolén");

  const auto ausente = servicio_.RecuperarXML(kAmbiente, "E", kEmisor, "33", "9", false);
  EXPECT_EQ(ausente->ResultadoServicio->Estado, "1");
  EXPECT_NE(ausente->ResultadoServicio->Descripcion.find("9"), std::string::npos)
      << ausente->ResultadoServicio->Descripcion;
  EXPECT_EQ(servicio_.RecuperarDocumento(kAmbiente, "E", kEmisor, "33", "9")->Data->GetTipo(), "");
}

TEST_F(Consultas, PrintingAndConfirmationReachTheStoredDocument) {
  // A printer name with a slash travels as one path segment.
  const auto impreso =
      servicio_.Imprimir(kEmisor, folio_, "33", "Bodega Ñuñoa / caja 2", kAmbiente);
  Require(impreso->ResultadoServicio, "Imprimir");
  EXPECT_TRUE(impreso->Printed);
  const auto ausente = servicio_.Imprimir(kEmisor, "9", "33", "Bodega", kAmbiente);
  EXPECT_FALSE(ausente->Printed);
  EXPECT_EQ(ausente->ResultadoServicio->Estado, "1");

  const auto confirmado = servicio_.ConfirmarDocumento(kEmisor, folio_, "33", kAmbiente);
  Require(confirmado->ResultadoServicio, "ConfirmarDocumento");
  EXPECT_EQ(confirmado->Estado, "RECIBIDO") << "a submitted document is already on its way";
}

TEST_F(Consultas, ThePdfWrittenToDiskRendersWithAReadableStamp) {
  const auto pdf = servicio_.RecuperarPDF(kAmbiente, "E", kEmisor, "33", folio_);
  Require(pdf->ResultadoServicio, "RecuperarPDF");
  const auto file = dir_.path() / "factura.pdf";
  ASSERT_TRUE(servicio_.EscribirFichero(file.string(), pdf->GetDatosComoBytes()));
  EXPECT_EQ(checks::ReadFile(file).rfind("%PDF-", 0), 0U);
  if (!checks::HaveTool("pdftoppm")) {
    GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed; the PDF was not rendered";
  }
  const auto page = dir_.path() / "pagina";
  ASSERT_EQ(std::system(
                ("pdftoppm -gray -r 300 -f 1 -l 1 '" + file.string() + "' '" + page.string() + "'")
                    .c_str()),
            0);
  const auto image = checks::ReadPgm(page.string() + "-1.pgm");
  ASSERT_TRUE(image);
  EXPECT_EQ(checks::ReadPdf417(*image), TedBytes(factura_->TED));
}

}  // namespace
}  // namespace QuarloCliente::integration
