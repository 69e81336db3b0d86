#include <quarlo/caf.hpp>
#include <quarlo/pdf417.hpp>
#include <quarlo/timbre.hpp>

#include "integration_fixture.hpp"

namespace QuarloCliente::integration {
namespace {

class TimbreLocal : public IntegrationTest {
 protected:
  // The library's reading of a CAF the sandbox issued and holds.
  ArchivoCaf Caf(const std::string& rut, int tipo) {
    return ArchivoCaf::DesdeTexto(SubirCaf(rut, tipo, 1, 20).xml);
  }

  // The TED the sandbox keeps for the document, cut from the retrieved envelope.
  std::string StoredTed(const std::string& rut, const std::string& tipo, const std::string& folio) {
    const auto xml =
        servicio_.RecuperarXML(kAmbiente, servicio_.Grupo_Emitido, rut, tipo, folio, false);
    Require(xml->ResultadoServicio, "RecuperarXML");
    const std::size_t begin = xml->Datos.find("<TED");
    const std::size_t end = xml->Datos.find("</TED>");
    if (begin == std::string::npos || end == std::string::npos) return "";
    return xml->Datos.substr(begin, end + 6 - begin);
  }

  // The signature of a TED; the same FRMT over a verifying DD is the same stamp.
  std::string Frmt(const std::string& ted) {
    return servicio_.NodeValue(XmlDocument::Parse(ted), "//FRMT");
  }

  const BindingDateTime momento_ = BindingDateTime::FromDateTime(hoy_);
};

TEST_F(TimbreLocal, StampedDocumentsAreAcceptedAndTheServiceKeepsTheStampSent) {
  const auto factura = Factura(7);
  const std::string tedFactura = TimbrarDte(*factura, Caf(kEmisor, 33), momento_);
  const auto dte =
      servicio_.EnviarDocumentoDTE_TED(factura, kAmbiente, kFechaResolucion, kNroResolucion,
                                       servicio_.TipoPDF417_Grafico, tedFactura);
  Require(dte->ResultadoServicio, "EnviarDocumentoDTE_TED");
  EXPECT_EQ(dte->TED, tedFactura);
  const std::string storedFactura = StoredTed(kEmisor, "33", "7");
  EXPECT_TRUE(VerificarTimbreDte(storedFactura, *factura).Valido) << storedFactura;
  EXPECT_EQ(Frmt(storedFactura), Frmt(tedFactura));

  // A boleta to an anonymous customer: the fixture carries no receiver name.
  const auto boleta = Boleta(3);
  ASSERT_FALSE(boleta->Documento()->Encabezado()->Receptor()->Has("RznSocRecep"));
  const std::string tedBoleta = TimbrarBoleta(*boleta, Caf(kEmisorBoletas, 39), momento_);
  const auto enviada = servicio_.EnviarDocumentoBoleta_TED(
      boleta, kAmbiente, kFechaResolucion, kNroResolucion, servicio_.TipoPDF417_Grafico, tedBoleta);
  Require(enviada->ResultadoServicio, "EnviarDocumentoBoleta_TED");
  EXPECT_EQ(enviada->TED, tedBoleta);
  const std::string storedBoleta = StoredTed(kEmisorBoletas, "39", "3");
  EXPECT_TRUE(VerificarTimbreBoleta(storedBoleta, *boleta).Valido) << storedBoleta;
  EXPECT_EQ(Frmt(storedBoleta), Frmt(tedBoleta));

  // What the point of sale prints offline scans back to the stamp it sent.
  const auto image = testing::ReadPngWithLibpng(CodigoPdf417Png(tedBoleta));
  ASSERT_TRUE(image.has_value());
  const auto scanned = testing::ReadPdf417(*image);
  ASSERT_TRUE(scanned.has_value());
  EXPECT_EQ(*scanned, DatosPdf417(tedBoleta));
}

}  // namespace
}  // namespace QuarloCliente::integration
