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

template <class Libro>
std::shared_ptr<Libro> Fixture(std::string_view file) {
  auto libro = std::make_shared<Libro>();
  libro->Load(testing::ReadTestData(file), DefaultBindingContext());
  return libro;
}

class TwinBookTest : public ::testing::Test {
 protected:
  TwinBookTest() { servicio_.Configurar(server_.BaseUrl(), "llave"); }

  std::shared_ptr<ResultadoEnviarLibro> Send(const std::shared_ptr<LibroGuiaBinding>& libro,
                                             Servicio& servicio) {
    return servicio.EnviarLibroGuia(libro, "T", "2016-03-18", 34, "76543210-3", "2024-05",
                                    "ESPECIAL", 611);
  }
  std::shared_ptr<ResultadoEnviarLibro> Send(const std::shared_ptr<LibroBoletaBinding>& libro,
                                             Servicio& servicio) {
    return servicio.EnviarLibroBoleta(libro, "T", "2016-03-18", 34, "76981442-6", "2024-05",
                                      "ESPECIAL", 611);
  }

  // Sends the fixture book and checks that it travels with the cover and time stamp of its file,
  // stamped envelope and no signature; the decoded content.
  template <class Libro>
  std::string ExpectOwnCover(std::string_view file, const std::string& root) {
    const auto libro = Fixture<Libro>(file);
    Send(libro, servicio_);
    const std::string content = testing::DecodedField(server_.WaitForRequest(0), "Content");
    EXPECT_THAT(content, StartsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root +
                                    " xmlns=\"http://www.sii.cl/SiiDte\" version=\"1.0\">"));
    EXPECT_THAT(content, Not(HasSubstr("ABCXYZ")));
    EXPECT_THAT(content, Not(HasSubstr("<!--")));
    EXPECT_THAT(content, Not(HasSubstr("Signature")));
    EXPECT_EQ(ValueAt(content, "//EnvioLibro/@ID"), "ID_1");
    const std::string original = testing::ReadTestData(file);
    for (const char* path :
         {"//Caratula/RutEmisorLibro", "//Caratula/RutEnvia", "//Caratula/PeriodoTributario",
          "//Caratula/TipoEnvio", "//EnvioLibro/TmstFirma"}) {
      EXPECT_EQ(ValueAt(content, path), ValueAt(original, path)) << path;
    }
    return content;
  }

  testing::LoopbackServer server_;
  Servicio servicio_;
};

TEST_F(TwinBookTest, EachMemberSendsItsParametersInTheBooksOwnRequest) {
  const auto guia = std::make_shared<LibroGuiaBinding>();
  Send(guia, servicio_);
  servicio_.EnviarLibroGuia2(guia, "T", "", 34, "", "", "", "PARCIAL", 612);
  servicio_.EnviarLibroGuia3(guia, "T", "", 34, "", "", "", "PARCIAL", 3, -613);
  Send(std::make_shared<LibroBoletaBinding>(), servicio_);
  servicio_.EnviarLibroBoleta3(std::make_shared<LibroBoletaBinding>(), "T", "", 34, "", "", "",
                               "AJUSTE", 5, 614);

  const auto corta = server_.WaitForRequest(0);
  EXPECT_EQ(testing::Shape(corta),
            "/SendLibroGuia SendLibroGuiaRequest(api): Environment Content ResolutionDate "
            "ResolutionNumber RutEmisorLibro PeriodoTributario TipoLibro TipoEnvio NroSegmento "
            "FolioNotificacion");
  EXPECT_EQ(Field(corta, "PeriodoTributario") + " " + Field(corta, "TipoLibro"),
            "2024-05 ESPECIAL");
  const auto fields = [&](std::size_t i) {
    const auto request = server_.WaitForRequest(i);
    return Field(request, "TipoEnvio") + "/" + Field(request, "NroSegmento") + "/" +
           Field(request, "FolioNotificacion");
  };
  EXPECT_EQ(fields(0), "/0/611");
  EXPECT_EQ(fields(1), "PARCIAL/0/612");
  EXPECT_EQ(fields(2), "PARCIAL/3/-613");
  EXPECT_THAT(testing::Shape(server_.WaitForRequest(3)),
              StartsWith("/SendLibroBoleta SendLibroBoletaRequest(api): Environment Content"));
  EXPECT_EQ(fields(3), "/0/611");
  EXPECT_EQ(fields(4), "AJUSTE/5/614");
}

TEST_F(TwinBookTest, GuiaBookTravelsWithItsOwnCover) {
  const std::string content = ExpectOwnCover<LibroGuiaBinding>("libro_guia.xml", "LibroGuia");
  EXPECT_THAT(content, HasSubstr("Constructora Los Pe\xC3\xB1"
                                 "ascos SpA"));
  // Once the service signs it, what was sent is a valid book.
  const auto check = testing::ValidateSiiDocument(content, testing::SiiRoot::LibroGuia);
  EXPECT_TRUE(check.valid) << check.errors;
}

TEST_F(TwinBookTest, BoletaBookTravelsWithItsOwnCover) {
  const std::string content = ExpectOwnCover<LibroBoletaBinding>("libro_boleta.xml", "LibroBoleta");
  const auto check = testing::ValidateSiiDocument(content, testing::SiiRoot::LibroBoleta);
  EXPECT_TRUE(check.valid) << check.errors;
}

TEST_F(TwinBookTest, FailuresBeforeTheAnswerCarryEachBooksPrefix) {
  Servicio offline;
  offline.Configurar(testing::RefusingServiceUrl(), "llave");
  EXPECT_THAT(
      Send(Fixture<LibroGuiaBinding>("libro_guia.xml"), offline)->ResultadoServicio->Descripcion,
      StartsWith("Error Enviando LibroGuia: "));
  EXPECT_THAT(Send(Fixture<LibroBoletaBinding>("libro_boleta.xml"), offline)
                  ->ResultadoServicio->Descripcion,
              StartsWith("Error Enviando LibroBoleta: "));
}

}  // namespace
}  // namespace QuarloCliente
