#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <quarlo/binding_libros.hpp>
#include <quarlo/servicio.hpp>

#include "books/book_wire.hpp"
#include "support/sii_schemas.hpp"

namespace QuarloCliente {
namespace {

using testing::Field;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using testing::ValueAt;

std::shared_ptr<LibroCompraVentaBinding> FixtureBook() {
  auto libro = std::make_shared<LibroCompraVentaBinding>();
  libro->Load(testing::ReadTestData("libro_compra_venta.xml"), DefaultBindingContext());
  return libro;
}

class LibroCompraVentaTest : public ::testing::Test {
 protected:
  LibroCompraVentaTest() { servicio_.Configurar(server_.BaseUrl(), "llave"); }

  std::shared_ptr<ResultadoEnviarLibro> Send(const std::shared_ptr<LibroCompraVentaBinding>& libro,
                                             Servicio& servicio) {
    return servicio.EnviarLibroCompraVenta(libro, "T", "2016-03-18", 34, "76543210-3", "2024-05",
                                           "VENTA", "MENSUAL", "TOTAL", 2);
  }

  // The decoded Content the short member sends for the book.
  std::string SentContent(const std::shared_ptr<LibroCompraVentaBinding>& libro) {
    const std::size_t index = server_.RequestCount();
    Send(libro, servicio_);
    return testing::DecodedField(server_.WaitForRequest(index), "Content");
  }

  testing::LoopbackServer server_;
  Servicio servicio_;
};

TEST_F(LibroCompraVentaTest, EveryBodyElementIsSentWithTheMembersDefaults) {
  const auto libro = std::make_shared<LibroCompraVentaBinding>();
  Send(libro, servicio_);
  servicio_.EnviarLibroCompraVenta2(libro, "P", "", 34, "", "", "", "", "", 3, 611);
  servicio_.EnviarLibroCompraVenta3(libro, "P", "", 34, "", "", "", "", "", 3, -1, "A&B");

  const auto corto = server_.WaitForRequest(0);
  EXPECT_EQ(testing::Shape(corto),
            "/SendLibroCompraVenta SendLibroCompraVentaRequest(api): Environment Content "
            "ResolutionDate ResolutionNumber RutEmisorLibro PeriodoTributario TipoOperacion "
            "TipoLibro TipoEnvio NroSegmento FolioNotificacion CodAutRec");
  EXPECT_EQ(Field(corto, "PeriodoTributario") + " " + Field(corto, "TipoOperacion") + " " +
                Field(corto, "TipoLibro") + " " + Field(corto, "TipoEnvio") + " " +
                Field(corto, "NroSegmento"),
            "2024-05 VENTA MENSUAL TOTAL 2");
  EXPECT_EQ(Field(corto, "FolioNotificacion") + "/" + Field(corto, "CodAutRec"), "0/");
  const auto dos = server_.WaitForRequest(1);
  EXPECT_EQ(Field(dos, "FolioNotificacion") + "/" + Field(dos, "CodAutRec"), "611/");
  const auto tres = server_.WaitForRequest(2);
  EXPECT_EQ(Field(tres, "FolioNotificacion") + "/" + Field(tres, "CodAutRec"), "-1/A&B");
}

TEST_F(LibroCompraVentaTest, ContentLosesItsCoverAndEndsWithAnEmptySignature) {
  const auto libro = FixtureBook();
  libro->EnvioLibro()->Caratula()->SetTipoEnvio("PARCIAL").SetNroSegmento(4);
  const std::string content = SentContent(libro);

  EXPECT_THAT(content, StartsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  "<LibroCompraVenta xmlns=\"http://www.sii.cl/SiiDte\" "
                                  "version=\"1.0\">"));
  EXPECT_THAT(content, Not(HasSubstr("ABCXYZ")));
  EXPECT_THAT(content, Not(HasSubstr("<!--")));
  EXPECT_THAT(content, Not(HasSubstr("Caratula")));
  EXPECT_THAT(content, Not(HasSubstr("LceCal")));
  EXPECT_EQ(ValueAt(content, "/LibroCompraVenta/EnvioLibro/@ID"), "ID_1");
  EXPECT_EQ(ValueAt(content, "/LibroCompraVenta/EnvioLibro/TmstFirma"), "2014-10-01T00:00:00");
  EXPECT_EQ(testing::LastChildOfRoot(content), "Signature");
  EXPECT_THAT(content, HasSubstr("<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\">"));
  EXPECT_EQ(ValueAt(content, "//Signature/SignatureValue"), "");
  // "Ñ", whose second UTF-8 byte is a C1 control code, keeps its two bytes.
  EXPECT_THAT(content, HasSubstr("Escuela de Oficios \xC3\x91ielol Ltda."));

  // The caller keeps a complete placeholder cover, with its own segment fields.
  const auto caratula = libro->EnvioLibro()->Caratula();
  EXPECT_EQ(caratula->TipoOperacion() + caratula->TipoLibro() + caratula->TipoEnvio(),
            "COMPRAMENSUALTOTAL");
  EXPECT_EQ(caratula->PeriodoTributario(), BindingDateTime::FromYearMonth(2014, 10));
  EXPECT_EQ(caratula->NroSegmento(), BindingInteger(4));
  EXPECT_NE(caratula->RutEmisorLibro(), caratula->RutEnvia());
  EXPECT_THAT(caratula->Problems(), ::testing::IsEmpty());
}

// The clean-up's pieces in a detail's name are the caller's data, not markup to remove.
TEST_F(LibroCompraVentaTest, ValuesHoldingTheCleanedPiecesArriveAsWritten) {
  const auto libro = FixtureBook();
  libro->Set("EnvioLibro/Detalle[1]/RznSoc", "Comercial ABCXYZ: Ñuñoa Ltda.");
  EXPECT_THAT(SentContent(libro), HasSubstr("<RznSoc>Comercial ABCXYZ: Ñuñoa Ltda.</RznSoc>"));
}

TEST_F(LibroCompraVentaTest, AttachedCertificatesAreStampedAndSent) {
  const auto conCal = FixtureBook();
  conCal->EnvioLibro()->CrearLceCal()->RemoveAttribute("version");
  const std::string cal = SentContent(conCal);
  EXPECT_THAT(cal, HasSubstr("<LceCal xmlns=\"http://www.sii.cl/SiiLce\" version=\"1.0\">"));
  EXPECT_EQ(ValueAt(cal, "//LceCal/DocumentoCal/TmstFirma"), "2014-12-21T00:00:00");

  const auto conCoCertif = FixtureBook();
  const auto creado = conCoCertif->EnvioLibro()->CrearLceCoCertif();
  creado->DocumentoCoCertif()->LceCal()->RemoveAttribute("version");
  const std::string coCertif = SentContent(conCoCertif);
  EXPECT_THAT(coCertif,
              HasSubstr("<LceCoCertif xmlns=\"http://www.sii.cl/SiiLce\" version=\"1\">"));
  EXPECT_EQ(ValueAt(coCertif, "//DocumentoCoCertif/TmstFirma"), "2014-12-21T00:00:00");
  EXPECT_EQ(ValueAt(coCertif, "//DocumentoCoCertif/LceCal/@version"), "1.0");
  EXPECT_EQ(ValueAt(coCertif, "//DocumentoCoCertif/LceCal/DocumentoCal/TmstFirma"),
            "2014-12-21T00:00:00");
  EXPECT_EQ(testing::LastChildOfRoot(coCertif), "Signature");
}

TEST_F(LibroCompraVentaTest, FailuresBeforeTheAnswerCarryTheBookPrefix) {
  Servicio offline;
  offline.Configurar(testing::RefusingServiceUrl(), "llave");
  const auto refused = Send(FixtureBook(), offline)->ResultadoServicio;
  EXPECT_EQ(refused->Estado, "1");
  EXPECT_THAT(refused->Descripcion, StartsWith("Error Enviando libro CompraVenta: "));
}

}  // namespace
}  // namespace QuarloCliente
