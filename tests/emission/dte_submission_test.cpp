#include <gtest/gtest.h>

#include <functional>
#include <quarlo/binding.hpp>
#include <quarlo/servicio.hpp>
#include <string>
#include <vector>

#include "emission_support.hpp"

namespace QuarloCliente {
namespace {

using testing::FixtureTed;
using testing::LoadFixture;
using testing::ScriptedResponse;
using testing::SentDocument;

class DteSubmissionTest : public testing::EmissionTest {
 protected:
  std::shared_ptr<DteDocumentBinding> factura_ = LoadFixture<DteDocumentBinding>("factura_33.xml");
};

TEST_F(DteSubmissionTest, SendsACleanIsoDocumentAndReturnsTheStamp) {
  const auto result = servicio_.EnviarDocumentoDTE(factura_, "T", "2014-08-22", -5, 2);
  EXPECT_EQ(result->ResultadoServicio->Estado, "0");
  EXPECT_EQ(result->TED, testing::kStampedTed);
  EXPECT_EQ(result->Pdf417, "UERGNDE3");

  const SentDocument sent = Sent(0);
  EXPECT_EQ(sent.request.request_line, "POST /SendDTEDocument HTTP/1.1");
  EXPECT_EQ(
      sent.request.body.rfind("<SendDocumentRequest xmlns=\"http://www.quarlo.cl/servicio/v1\">"
                              "<Environment>T</Environment><Content>",
                              0),
      0u);
  EXPECT_NE(sent.request.body.find("</Content><ResolutionDate>2014-08-22</ResolutionDate>"
                                   "<ResolutionNumber>-5</ResolutionNumber><PDF417Columns>5<"
                                   "/PDF417Columns><PDF417Level>2</PDF417Level><PDF417Type>2<"
                                   "/PDF417Type><TED></TED></SendDocumentRequest>"),
            std::string::npos);
  const std::string content = sent.ContentBytes();
  EXPECT_EQ(content.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<DTE version=\"1.0\">\n"
                          "  <Documento ID=\"ID_1\">\n",
                          0),
            0u);
  for (const char* absent : {"ABCXYZ", "<!--", "xmlns"}) {
    EXPECT_EQ(content.find(absent), std::string::npos) << absent;
  }
  EXPECT_EQ(sent.Shape(), "5 2 - 1523/1523");
}

TEST_F(DteSubmissionTest, EveryMemberReachesTheFullOneWithItsDefaults) {
  const std::string ted = FixtureTed("factura_33.xml");
  using Call = std::function<void(const std::shared_ptr<DteDocumentBinding>&)>;
  const std::vector<std::pair<Call, const char*>> members = {
      {[&](auto d) { servicio_.EnviarDocumentoDTE(d, "T", "f", 1, 2); }, "5 2 - 1523/1523"},
      {[&](auto d) { servicio_.EnviarDocumentoDTE_AutoFoliado(d, "T", "f", 1, 2, true); },
       "5 2 - 0/1523"},
      {[&](auto d) { servicio_.EnviarDocumentoDTE_PDF417(d, "T", "f", 1, 2, 7, 3); },
       "7 3 - 1523/1523"},
      {[&](auto d) {
         servicio_.EnviarDocumentoDTE_PDF417_AutoFoliado(d, "T", "f", 1, 2, 7, 3, true);
       },
       "7 3 - 0/1523"},
      {[&](auto d) { servicio_.EnviarDocumentoDTE_TED(d, "T", "f", 1, 2, ted); },
       "5 2 TED 1523/1523"},
      {[&](auto d) { servicio_.EnviarDocumentoDTE_TED_AutoFoliado(d, "T", "f", 1, 2, ted, true); },
       "5 2 TED 0/1523"},
      {[&](auto d) { servicio_.EnviarDocumentoDTE_PDF417_TED(d, "T", "f", 1, 2, 7, 3, ted); },
       "7 3 TED 1523/1523"},
      {[&](auto d) {
         servicio_.EnviarDocumentoDTE_PDF417_TED_AutoFoliado(d, "T", "f", 1, 2, 7, 3, ted, true);
       },
       "7 3 TED 0/1523"}};
  for (std::size_t i = 0; i < members.size(); ++i) {
    members[i].first(LoadFixture<DteDocumentBinding>("factura_33.xml"));
    EXPECT_EQ(Sent(i).Shape(), members[i].second) << "member " << i;
  }
}

TEST_F(DteSubmissionTest, ATedIsValidatedFirstAndTravelsAsIsoBase64) {
  const std::string ted = FixtureTed("factura_33.xml");
  const auto refused = servicio_.EnviarDocumentoDTE_TED(
      factura_, "T", "f", 1, 2, servicio_.ReplaceXmlValue(ted, "//DD/MNT", "1000"));
  EXPECT_EQ(refused->ResultadoServicio->Descripcion,
            "El campo MntTotal del documento no es igual al campo MNT del TED.");
  EXPECT_EQ(server_.RequestCount(), 0u);
  EXPECT_EQ(factura_->Documento()->ID(), "T33F1523") << "nothing was written into the document";

  factura_->Documento()->Detalle(1)->SetNmbItem("Cemento “Polpaico” saco");
  servicio_.EnviarDocumentoDTE_TED(
      factura_, "T", "f", 1, 2, servicio_.ReplaceXmlValue(ted, "//DD/IT1", "Cemento “Polpaico”"));
  const SentDocument sent = Sent(0);
  const Bytes bytes = detail::DecodeBase64(sent.Field("TED"));
  const std::string sentTed(bytes.begin(), bytes.end());
  EXPECT_NE(sentTed.find("<IT1>Cemento &#8220;Polpaico&#8221;</IT1>"), std::string::npos);
  EXPECT_NE(sentTed.find("<RSR>Constructora Los Pe\xF1"
                         "ascos SpA</RSR>"),
            std::string::npos);
  EXPECT_EQ(sent.InContent("//TED/DD/RSR"), "RSR") << "the document still carries the placeholder";
}

TEST_F(DteSubmissionTest, Latin1TakesOneByteAndOtherCharactersBecomeReferences) {
  factura_->Documento()->Detalle(1)->SetNmbItem("Grúa 100 € – tarifa 🚚");
  servicio_.EnviarDocumentoDTE(factura_, "T", "f", 1, 2);
  const std::string content = Sent(0).ContentBytes();
  EXPECT_NE(content.find("<NmbItem>Gr\xFA"
                         "a 100 &#8364; &#8211; tarifa &#128666;</NmbItem>"),
            std::string::npos);
  EXPECT_NE(content.find("Pe\xF1"
                         "ascos"),
            std::string::npos);
  // Read as the ISO-8859-1 document it declares, the text is the caller's.
  const detail::XmlDocPtr parsed = detail::ParseNetworkXml(content);
  ASSERT_NE(parsed, nullptr);
  EXPECT_EQ(detail::NodeText(detail::SelectFirstElement(parsed.get(), "//Detalle/NmbItem")),
            "Grúa 100 € – tarifa 🚚");
}

TEST_F(DteSubmissionTest, ContentOfEachFormValidatesOnceStamped) {
  const std::pair<const char*, const char*> forms[] = {
      {"factura_33.xml", "33"}, {"liquidacion_43.xml", "43"}, {"exportacion_110.xml", "110"}};
  factura_->Documento()->Detalle(2)->SetNmbItem("Fierro “A630” 12 mm €");
  for (std::size_t i = 0; i < std::size(forms); ++i) {
    servicio_.EnviarDocumentoDTE(
        i == 0 ? factura_ : LoadFixture<DteDocumentBinding>(forms[i].first), "T", "f", 1, 2);
    const auto check = testing::ValidateSiiDocument(
        testing::AsSiiDocument(servicio_, Sent(i).ContentText(), forms[i].second),
        testing::SiiRoot::Dte);
    EXPECT_TRUE(check.valid) << forms[i].first << "\n" << check.errors;
  }
}

TEST_F(DteSubmissionTest, AnswersAreReadAsTheServiceMeantThem) {
  const std::string font = detail::EncodeIsoBase64("¡ÑandÚ!");
  server_.Enqueue(ScriptedResponse::Xml(testing::StampedAnswer(font)));
  server_.Enqueue(ScriptedResponse::Xml(testing::StampedAnswer(font)));
  server_.Enqueue(ScriptedResponse::Xml(
      "<R><Result>3</Result><Description>Folio fuera de rango</Description><TED>PFQ+</TED></R>"));
  server_.Enqueue(ScriptedResponse::Xml(testing::StampedAnswer("no es base64!")));
  server_.Enqueue(ScriptedResponse::Xml("<R><Result>0</Result><PDF417>UERG</PDF417></R>"));
  server_.Enqueue(ScriptedResponse::Html("<html><body>Bad gateway<br></body></html>", 502));
  const auto fuente = servicio_.EnviarDocumentoDTE(factura_, "T", "f", 1, 1);
  const auto grafico = servicio_.EnviarDocumentoDTE(factura_, "T", "f", 1, 2);
  const auto refused = servicio_.EnviarDocumentoDTE(factura_, "T", "f", 1, 1);
  const auto badBarcode = servicio_.EnviarDocumentoDTE(factura_, "T", "f", 1, 1);
  const auto noTed = servicio_.EnviarDocumentoDTE(factura_, "T", "f", 1, 2);
  const auto html = servicio_.EnviarDocumentoDTE(factura_, "T", "f", 1, 2);

  EXPECT_EQ(fuente->Pdf417, "¡ÑandÚ!");
  EXPECT_EQ(grafico->Pdf417, font);
  EXPECT_EQ(grafico->GetPdf417ComoBytes(), detail::Utf8ToLatin1("¡ÑandÚ!"));
  EXPECT_EQ(refused->ResultadoServicio->Estado + " " + refused->ResultadoServicio->Descripcion,
            "1 Folio fuera de rango");
  EXPECT_EQ(refused->TED + refused->Pdf417, "");
  EXPECT_EQ(badBarcode->ResultadoServicio->Descripcion.rfind("Error Enviando DTE: ", 0), 0u);
  EXPECT_EQ(badBarcode->TED, testing::kStampedTed) << "what was read before the failure stays";
  EXPECT_EQ(noTed->ResultadoServicio->Descripcion,
            "Error Enviando DTE: la respuesta no contiene el elemento TED");
  EXPECT_EQ(html->ResultadoServicio->Descripcion,
            "Error Enviando DTE: HTTP 502: la respuesta no es XML");
}

TEST_F(DteSubmissionTest, FailuresOnTheWayCarryThePrefixAndTheDocumentKeepsThePlaceholder) {
  EXPECT_EQ(servicio_.EnviarDocumentoDTE(nullptr, "T", "f", 1, 2)->ResultadoServicio->Descripcion,
            "Error Enviando DTE: no se indicó el documento");
  factura_->Documento()->Remove("Encabezado/Receptor");
  EXPECT_EQ(servicio_.EnviarDocumentoDTE(factura_, "T", "f", 1, 2)->ResultadoServicio->Descripcion,
            "Error Enviando DTE: falta el elemento Receptor en Encabezado");
  EXPECT_EQ(server_.RequestCount(), 0u);

  factura_ = LoadFixture<DteDocumentBinding>("factura_33.xml");
  servicio_.Configurar("http://127.0.0.1:" + std::to_string(testing::UnusedPort()), "llave");
  const auto result = servicio_.EnviarDocumentoDTE(factura_, "T", "f", 1, 2);
  EXPECT_EQ(result->ResultadoServicio->Estado, "1");
  EXPECT_EQ(result->ResultadoServicio->Descripcion.rfind("Error Enviando DTE: ", 0), 0u);
  EXPECT_EQ(factura_->Documento()->TED()->DD()->RSR(), "RSR");
}

}  // namespace
}  // namespace QuarloCliente
