#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <quarlo/libros.hpp>
#include <quarlo/servicio.hpp>

#include "books/book_wire.hpp"

namespace QuarloCliente {
namespace {

using testing::Field;

std::shared_ptr<RangoAnulado> Rango(Integer tipo, Long inicial, Long final) {
  auto rango = std::make_shared<RangoAnulado>();
  rango->Create(tipo, inicial, final);
  return rango;
}

TEST(RangoAnulado, WritesIndexTypeAndFoliosInPlainDecimal) {
  EXPECT_EQ(RangoAnulado().GetString(1), "1-0-0-0");
  EXPECT_EQ(Rango(33, 100, 150)->GetString(12), "12-33-100-150");
  // Folios past the 16-bit range of older versions, and values nobody checks.
  EXPECT_EQ(Rango(39, 32768, 2147483647)->GetString(1), "1-39-32768-2147483647");
  EXPECT_EQ(Rango(-1, 500, -7)->GetString(-2), "-2--1-500--7");
}

class GenerarConsumoFolioTest : public ::testing::Test {
 protected:
  GenerarConsumoFolioTest() { servicio_.Configurar(server_.BaseUrl(), "llave"); }

  std::shared_ptr<ResultadoServicio> Generate(const std::shared_ptr<ColeccionRangosAnulados>& r,
                                              bool autoConfirmar = false) {
    return servicio_.GenerarConsumoFolio("T", "76981442-6", MakeDate(2024, 3, 5, 17, 30), r,
                                         autoConfirmar);
  }
  // The voided ranges the service received for the collection.
  std::string SentRanges(const std::shared_ptr<ColeccionRangosAnulados>& rangos) {
    const std::size_t index = server_.RequestCount();
    Generate(rangos);
    return testing::DecodedField(server_.WaitForRequest(index), "AnnuledRanges");
  }

  testing::LoopbackServer server_;
  Servicio servicio_;
};

TEST_F(GenerarConsumoFolioTest, BodyCarriesTheDayAndTheConfirmationFlag) {
  Generate(nullptr, true);
  Generate(nullptr, false);
  const auto confirmed = server_.WaitForRequest(0);
  EXPECT_EQ(testing::Shape(confirmed),
            "/GenerateFolioConsume GenerateFolioConsumeRequest(api): Environment Sender Date "
            "AnnuledRanges AutoConfirm");
  EXPECT_EQ(Field(confirmed, "Sender"), "76981442-6");
  EXPECT_EQ(Field(confirmed, "Date"), "2024-03-05");
  EXPECT_EQ(Field(confirmed, "AutoConfirm"), "True");
  EXPECT_EQ(Field(server_.WaitForRequest(1), "AutoConfirm"), "False");
}

TEST_F(GenerarConsumoFolioTest, RangesTravelAsOneBase64ListWithIndexOne) {
  EXPECT_EQ(SentRanges(nullptr), "");
  EXPECT_EQ(SentRanges(std::make_shared<ColeccionRangosAnulados>()), "");
  EXPECT_EQ(Field(server_.WaitForRequest(1), "AnnuledRanges"), "");
  using Lista = ColeccionRangosAnulados;
  EXPECT_EQ(SentRanges(std::make_shared<Lista>(Lista{Rango(39, 5, 10)})), "1-39-5-10");
  EXPECT_EQ(SentRanges(std::make_shared<Lista>(
                Lista{Rango(39, 5, 10), Rango(41, 3, 3), Rango(39, 40001, 40250)})),
            "1-39-5-10|1-41-3-3|1-39-40001-40250");
}

TEST_F(GenerarConsumoFolioTest, ServicesOwnCodeAndTextAreKept) {
  server_.Enqueue(
      testing::ScriptedResponse::Xml("<r><Result>2</Result><Description>x</Description></r>"));
  server_.Enqueue(testing::ScriptedResponse::Xml(""));
  const auto pending = Generate(nullptr);
  EXPECT_EQ(pending->Estado + " " + pending->Descripcion, "2 x");
  const auto empty = Generate(nullptr);
  EXPECT_EQ(empty->Estado, "1");
  EXPECT_THAT(empty->Descripcion, ::testing::StartsWith("Error Generando Consumo de Folio: "));
}

TEST_F(GenerarConsumoFolioTest, NullRangeIsAFailureAndNothingIsSent) {
  const auto result = Generate(std::make_shared<ColeccionRangosAnulados>(
      ColeccionRangosAnulados{Rango(39, 5, 10), nullptr}));
  EXPECT_EQ(result->Estado, "1");
  EXPECT_THAT(result->Descripcion, ::testing::StartsWith("Error Generando Consumo de Folio: "));
  EXPECT_EQ(server_.RequestCount(), 0u);
}

}  // namespace
}  // namespace QuarloCliente
