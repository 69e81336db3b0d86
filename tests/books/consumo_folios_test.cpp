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
using testing::ScriptedResponse;
using ::testing::StartsWith;

class ConsumoFolioTest : public ::testing::Test {
 protected:
  ConsumoFolioTest() { servicio_.Configurar(server_.BaseUrl(), "llave"); }

  std::shared_ptr<ResultadoEnviarLibro> Send(const std::shared_ptr<ConsumoFoliosBinding>& report,
                                             Servicio& servicio) {
    return servicio.EnviarConsumoFolio(report, "T", "2014-08-22", -5, "76981442-6", "2024-05-02",
                                       "2024-05-03");
  }

  testing::LoopbackServer server_;
  Servicio servicio_;
};

TEST_F(ConsumoFolioTest, ShorterMembersSendCorrelativoAndSecEnvioOne) {
  const auto report = std::make_shared<ConsumoFoliosBinding>();
  Send(report, servicio_);
  servicio_.EnviarConsumoFolio2(report, "P", "", 80, "", "", "", 7);
  servicio_.EnviarConsumoFolio3(report, "P", "", 80, "", "", "", 7, 3);

  const auto first = server_.WaitForRequest(0);
  EXPECT_EQ(testing::Shape(first),
            "/SendConsumoFolio SendConsumoFolioRequest(api): Environment Content ResolutionDate "
            "ResolutionNumber FechaInicio FechaFinal Correlativo SecEnvio RutEmisorLibro");
  EXPECT_EQ(Field(first, "ResolutionNumber"), "-5");
  EXPECT_EQ(Field(first, "FechaFinal"), "2024-05-03");
  EXPECT_EQ(Field(first, "RutEmisorLibro"), "76981442-6");
  EXPECT_EQ(Field(first, "Correlativo") + "/" + Field(first, "SecEnvio"), "1/1");
  const auto second = server_.WaitForRequest(1);
  EXPECT_EQ(Field(second, "Correlativo") + "/" + Field(second, "SecEnvio"), "7/1");
  const auto third = server_.WaitForRequest(2);
  EXPECT_EQ(Field(third, "Correlativo") + "/" + Field(third, "SecEnvio"), "7/3");
}

TEST_F(ConsumoFolioTest, ContentIsTheUtf8ReportWithoutCoverMarkersOrBanner) {
  // A report carries free text only through an element a lenient load kept.
  std::string xml = testing::ReadTestData("consumo_folios.xml");
  const std::string anchor = "<TipoDocumento>61</TipoDocumento>";
  xml.insert(xml.find(anchor) + anchor.size(), "<Sucursal>Ñuñoa €</Sucursal>");
  auto lenient = std::make_shared<BindingContext>();
  lenient->SetOption(BindingOption::AllowUnknownElements, true);
  const auto report = std::make_shared<ConsumoFoliosBinding>();
  report->Load(xml, lenient);

  EXPECT_EQ(Send(report, servicio_)->ResultadoServicio->Estado, "0");
  const std::string content = testing::DecodedField(server_.WaitForRequest(0), "Content");
  EXPECT_THAT(content, StartsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  "<ConsumoFolios xmlns=\"http://www.sii.cl/SiiDte\" "
                                  "version=\"1.0\">"));
  EXPECT_THAT(content, Not(HasSubstr("ABCXYZ")));
  EXPECT_THAT(content, Not(HasSubstr("<!--")));
  EXPECT_THAT(content, Not(HasSubstr("Caratula")));
  EXPECT_EQ(testing::ValueAt(content, "/ConsumoFolios/DocumentoConsumoFolios/@ID"), "ID_1");
  EXPECT_EQ(testing::ValueAt(content, "//Resumen/RangoAnulados/Final"), "4078");
  // Each character as its own UTF-8 bytes, neither re-encoded nor turned into a reference.
  EXPECT_THAT(content, HasSubstr("<Sucursal>\xC3\x91u\xC3\xB1oa \xE2\x82\xAC</Sucursal>"));
}

TEST_F(ConsumoFolioTest, CallerKeepsThePlaceholderCoverButItsOwnCorrelativo) {
  const auto report = std::make_shared<ConsumoFoliosBinding>();
  report->Load(testing::ReadTestData("consumo_folios.xml"), DefaultBindingContext());
  report->DocumentoConsumoFolios()->Caratula()->SetCorrelativo(9);
  Send(report, servicio_);

  const auto caratula = report->DocumentoConsumoFolios()->Caratula();
  EXPECT_EQ(caratula->RutEmisor(), "11111111-1");
  EXPECT_EQ(caratula->FchInicio(), BindingDateTime::FromDate(2014, 12, 21));
  EXPECT_EQ(caratula->SecEnvio(), BindingInteger(1));
  EXPECT_EQ(caratula->TmstFirmaEnv(), BindingDateTime::FromDateTime(2014, 10, 1, 0, 0, 0));
  EXPECT_EQ(caratula->Correlativo(), BindingInteger(9));
}

TEST_F(ConsumoFolioTest, RefusalKeepsTheServicesTextAndAnUnreadableAnswerIsReported) {
  server_.Enqueue(ScriptedResponse::Xml("<r><Result>3</Result><Description>x</Description></r>"));
  server_.Enqueue(ScriptedResponse::Xml(""));
  const auto report = std::make_shared<ConsumoFoliosBinding>();

  const auto refused = Send(report, servicio_)->ResultadoServicio;
  EXPECT_EQ(refused->Estado + " " + refused->Descripcion, "1 x");
  const auto empty = Send(report, servicio_)->ResultadoServicio;
  EXPECT_EQ(empty->Estado, "1");
  EXPECT_THAT(empty->Descripcion, StartsWith("Error Enviando DTE: "));
}

TEST_F(ConsumoFolioTest, FailuresBeforeTheAnswerCarryTheReportPrefix) {
  Servicio offline;
  offline.Configurar(testing::RefusingServiceUrl(), "llave");
  const auto report = std::make_shared<ConsumoFoliosBinding>();
  const auto refused = Send(report, offline)->ResultadoServicio;
  EXPECT_EQ(refused->Estado, "1");
  EXPECT_THAT(refused->Descripcion, StartsWith("Error Enviando Consumo de Folio: "));
  EXPECT_EQ(report->DocumentoConsumoFolios()->ID(), "ID_1");  // written before the failure

  const auto none = Send(nullptr, servicio_)->ResultadoServicio;
  EXPECT_THAT(none->Descripcion, StartsWith("Error Enviando Consumo de Folio: "));
  EXPECT_EQ(server_.RequestCount(), 0u);
}

}  // namespace
}  // namespace QuarloCliente
