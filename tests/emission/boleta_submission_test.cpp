#include <gtest/gtest.h>

#include <quarlo/binding.hpp>
#include <quarlo/servicio.hpp>
#include <string>

#include "emission_support.hpp"

namespace QuarloCliente {
namespace {

using testing::FixtureTed;
using testing::LoadFixture;
using testing::ScriptedResponse;
using testing::SentDocument;

class BoletaSubmissionTest : public testing::EmissionTest {
 protected:
  std::shared_ptr<BoletaDocumentBinding> Boleta() {
    auto boleta = LoadFixture<BoletaDocumentBinding>("boleta_39.xml");
    boleta->Documento()->Encabezado()->Receptor()->SetRznSocRecep("Consumidor final");
    return boleta;
  }
  SentDocument SentBoleta(std::size_t index) const { return Sent(index, false); }

  std::shared_ptr<BoletaDocumentBinding> boleta_ = Boleta();
};

TEST_F(BoletaSubmissionTest, SendsTheSerialisersUtf8WithTheTotalInTheStamp) {
  boleta_->Documento()->Remove("TmstFirma");
  boleta_->Documento()->Detalle(2)->SetNmbItem("Empanada “especial” 2×1 €");
  const auto result = servicio_.EnviarDocumentoBoleta(boleta_, "T", "2014-08-22", 80, 2);
  EXPECT_EQ(result->ResultadoServicio->Estado, "0");
  EXPECT_EQ(result->TED, testing::kStampedTed);

  const SentDocument sent = SentBoleta(0);
  EXPECT_EQ(sent.request.request_line, "POST /SendBoletaDocument HTTP/1.1");
  EXPECT_EQ(sent.Shape(), "5 2 - 4017/4017");
  const std::string content = sent.ContentBytes();
  EXPECT_EQ(content.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DTE version=\"1.0\">\n", 0),
            0u);
  EXPECT_NE(content.find("Pe\xC3\xB1"
                         "alol\xC3\xA9n"),
            std::string::npos);
  EXPECT_NE(content.find("<NmbItem>Empanada “especial” 2×1 €</NmbItem>"), std::string::npos);
  EXPECT_EQ(sent.InContent("//TED/DD/RSR") + " " + sent.InContent("//TED/DD/MNT") + " " +
                sent.InContent("//CAF/DA/TD") + " " + sent.InContent("/DTE/Documento/@ID"),
            "RSR 21225 0 ID_1");
  EXPECT_EQ(content.find("TmstFirma"), std::string::npos);
  EXPECT_FALSE(boleta_->Documento()->Has("TmstFirma"));
}

TEST_F(BoletaSubmissionTest, ContentValidatesInsideAnEnvelopeOnceStamped) {
  boleta_->Documento()->Detalle(2)->SetNmbItem("Empanada “especial” 2×1 €");
  servicio_.EnviarDocumentoBoleta(boleta_, "T", "f", 1, 2);
  const auto check = testing::ValidateSiiDocument(
      testing::AsSiiDocument(servicio_, SentBoleta(0).ContentText(), "39"),
      testing::SiiRoot::Boleta);
  EXPECT_TRUE(check.valid) << check.errors;
}

TEST_F(BoletaSubmissionTest, EveryMemberReachesTheFullOneWithItsDefaults) {
  const std::string ted = FixtureTed("boleta_39.xml");
  servicio_.EnviarDocumentoBoleta(Boleta(), "T", "f", 1, 2);
  servicio_.EnviarDocumentoBoleta_AutoFoliado(Boleta(), "T", "f", 1, 2, true);
  servicio_.EnviarDocumentoBoleta_TED(Boleta(), "T", "f", 1, 2, ted);
  servicio_.EnviarDocumentoBoleta_TED_AutoFoliado(Boleta(), "T", "f", 1, 2, ted, true);
  servicio_.EnviarDocumentoBoleta_PDF417(Boleta(), "T", "f", 1, 2, 7, 3);
  servicio_.EnviarDocumentoBoleta_PDF417_AutoFoliado(Boleta(), "T", "f", 1, 2, 7, 3, true);
  servicio_.EnviarDocumentoBoleta_PDF417_TED(Boleta(), "T", "f", 1, 2, 7, 3, ted);
  servicio_.EnviarDocumentoBoleta_PDF417_TED_AutoFoliado(Boleta(), "T", "f", 1, 2, 7, 3, ted, true);
  const char* shapes[] = {"5 2 - 4017/4017", "5 2 - 0/4017", "5 2 TED 4017/4017", "5 2 TED 0/4017",
                          "7 3 - 4017/4017", "7 3 - 0/4017", "7 3 TED 4017/4017", "7 3 TED 0/4017"};
  for (std::size_t i = 0; i < std::size(shapes); ++i) {
    EXPECT_EQ(SentBoleta(i).Shape(), shapes[i]) << "call " << i;
  }
  EXPECT_EQ(detail::DecodeIsoBase64(SentBoleta(2).Field("TED")), ted);
}

TEST_F(BoletaSubmissionTest, AWrongTedSendsNothing) {
  const auto refused = servicio_.EnviarDocumentoBoleta_PDF417_TED(
      boleta_, "T", "f", 1, 2, 5, 2,
      servicio_.ReplaceXmlValue(FixtureTed("boleta_39.xml"), "//DD/IT1", "Hallulla"));
  EXPECT_EQ(refused->ResultadoServicio->Descripcion,
            "El campo del primer detalle NmbItem del documento no es igual al campo IT1 del TED.");
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_F(BoletaSubmissionTest, FailuresCarryTheBoletaPrefixUnlessTheAnswerIsUnreadable) {
  boleta_->Documento()->Encabezado()->Totales()->SetMntTotal(BindingInteger("2147483648"));
  EXPECT_EQ(
      servicio_.EnviarDocumentoBoleta(boleta_, "T", "f", 1, 2)->ResultadoServicio->Descripcion,
      "Error Enviando Boleta:el número 2147483648 no cabe en un entero de 32 bits");
  EXPECT_EQ(server_.RequestCount(), 0u);

  boleta_ = Boleta();
  server_.Enqueue(ScriptedResponse::Xml("<R><Result>0</Result><PDF417>x</PDF417></R>"));
  server_.Enqueue(ScriptedResponse::Xml(testing::StampedAnswer("no es base64!")));
  server_.Enqueue(ScriptedResponse::Xml(testing::StampedAnswer(detail::EncodeIsoBase64("ÑANDÚ"))));
  server_.Enqueue(
      ScriptedResponse::Xml("<R><Result>2</Result><Description>Duplicada</Description></R>"));
  EXPECT_EQ(
      servicio_.EnviarDocumentoBoleta(boleta_, "T", "f", 1, 2)->ResultadoServicio->Descripcion,
      "Error Enviando DTE: la respuesta no contiene el elemento TED");
  EXPECT_EQ(servicio_.EnviarDocumentoBoleta(boleta_, "T", "f", 1, 1)
                ->ResultadoServicio->Descripcion.rfind("Error Enviando Boleta:", 0),
            0u);
  EXPECT_EQ(servicio_.EnviarDocumentoBoleta(boleta_, "T", "f", 1, 1)->Pdf417, "ÑANDÚ");
  const auto refused = servicio_.EnviarDocumentoBoleta(boleta_, "T", "f", 1, 1);
  EXPECT_EQ(refused->ResultadoServicio->Descripcion + refused->Pdf417, "Duplicada");

  servicio_.Configurar("http://127.0.0.1:" + std::to_string(testing::UnusedPort()), "llave");
  const std::string failure =
      servicio_.EnviarDocumentoBoleta(boleta_, "T", "f", 1, 2)->ResultadoServicio->Descripcion;
  EXPECT_EQ(failure.rfind("Error Enviando Boleta:", 0), 0u);
  EXPECT_NE(failure.rfind("Error Enviando Boleta: ", 0), 0u) << "no blank after the colon";
}

}  // namespace
}  // namespace QuarloCliente
