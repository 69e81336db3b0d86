#include <gtest/gtest.h>

#include <algorithm>
#include <quarlo/binding.hpp>
#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>
#include <string>
#include <vector>

#include "emission_support.hpp"

namespace QuarloCliente {
namespace {

using testing::LoadFixture;
using testing::SentDocument;

class PlaceholderTest : public testing::EmissionTest {
 protected:
  // The stamp the service receives for the document: "RE TD F FE RR | RSR | MNT".
  std::string SubmittedStamp(const std::shared_ptr<DteDocumentBinding>& dte) {
    servicio_.EnviarDocumentoDTE(dte, "T", "f", 1, 2);
    const SentDocument sent = Sent(sent_++);
    ExpectDummyParts(sent);
    std::string stamp;
    for (const char* value : {"RE", "TD", "F", "FE", "RR"}) {
      stamp += sent.InContent("//TED/DD/" + std::string(value)) + " ";
    }
    return stamp + "| " + sent.InContent("//TED/DD/RSR") + " | " + sent.InContent("//TED/DD/MNT");
  }

  // The values every form's placeholder carries.
  static void ExpectDummyParts(const SentDocument& sent) {
    const std::pair<const char*, const char*> expected[] = {{"/DTE/@version", "1.0"},
                                                            {"//TED/@version", "1.0"},
                                                            {"//DD/IT1", "IT1"},
                                                            {"//CAF/@version", "1.0"},
                                                            {"//DA/RE", "00000000-K"},
                                                            {"//DA/RS", "A"},
                                                            {"//DA/TD", "0"},
                                                            {"//RNG/D", "1"},
                                                            {"//RNG/H", "1"},
                                                            {"//DA/FA", "2010-01-01"},
                                                            {"//DA/IDK", "0"},
                                                            {"//FRMA/@algoritmo", "SHA1withRSA"},
                                                            {"//DD/TSTED", "2010-01-01T00:00:00"},
                                                            {"//FRMT/@algoritmo", "SHA1withRSA"},
                                                            {"//TmstFirma", "2010-01-01T00:00:00"}};
    const std::string content = sent.ContentText();
    for (const auto& [path, value] : expected)
      EXPECT_EQ(testing::ValueIn(content, path), value) << path;
    EXPECT_NE(content.find("<RSAPK>\n              <M/>\n              <E/>\n            </RSAPK>"),
              std::string::npos);
    EXPECT_NE(content.find(" ID=\"ID_1\">"), std::string::npos);
    EXPECT_NE(content.find("<FRMA algoritmo=\"SHA1withRSA\"/>"), std::string::npos);
    EXPECT_NE(content.find("<FRMT algoritmo=\"SHA1withRSA\"/>"), std::string::npos);
  }

  std::size_t sent_ = 0;
};

TEST_F(PlaceholderTest, EachFormStampsWhatTheServiceExpects) {
  const auto factura = LoadFixture<DteDocumentBinding>("factura_33.xml");
  EXPECT_EQ(SubmittedStamp(factura), "76543210-3 33 1523 2024-05-02 77214903-4 | RSR | 0");
  EXPECT_EQ(SubmittedStamp(LoadFixture<DteDocumentBinding>("liquidacion_43.xml")),
            "96705330-9 43 58 2024-05-10 78441260-1 | Sociedad Agrícola El Peñón Ltda. | 17333064");
  EXPECT_EQ(SubmittedStamp(LoadFixture<DteDocumentBinding>("exportacion_110.xml")),
            "96812450-1 110 387 2024-05-06 55555555-5 | Weinhandel Müller & Söhne GmbH | 18450.0");

  // The caller's document keeps the placeholder instead of its own stamp.
  const auto documento = factura->Documento();
  EXPECT_EQ(documento->ID(), "ID_1");
  EXPECT_EQ(documento->TED()->DD()->RSR(), "RSR");
  EXPECT_EQ(documento->TED()->DD()->CAF()->DA()->RE(), "00000000-K");
  EXPECT_EQ(documento->TmstFirma().ToString(), "2010-01-01T00:00:00");
}

TEST_F(PlaceholderTest, ADocumentWithoutAStampGetsAWholeOne) {
  const auto factura = LoadFixture<DteDocumentBinding>("factura_33.xml");
  factura->Documento()->Remove("TED");
  EXPECT_EQ(SubmittedStamp(factura), "76543210-3 33 1523 2024-05-02 77214903-4 | RSR | 0");
  EXPECT_EQ(factura->Documento()->Count("TED"), 1u);
}

TEST_F(PlaceholderTest, AReceiverNameLongerThanAStampHoldsIsCutToItsStart) {
  const auto liquidacion = LoadFixture<DteDocumentBinding>("liquidacion_43.xml");
  liquidacion->Liquidacion()->Encabezado()->Receptor()->SetRznSocRecep(
      "Sociedad Agrícola y Ganadera El Peñón de Quinchamalí Limitada");
  ASSERT_EQ(servicio_.EnviarDocumentoDTE(liquidacion, "T", "f", 1, 2)->ResultadoServicio->Estado,
            "0");
  EXPECT_EQ(Sent(0).InContent("//TED/DD/RSR"), "Sociedad Agrícola y Ganadera El Peñón de");
}

TEST_F(PlaceholderTest, ADteWithoutFormIsSentWithItsVersionOnly) {
  const auto empty = std::make_shared<DteDocumentBinding>();
  empty->RemoveAttribute("version");
  servicio_.EnviarDocumentoDTE(empty, "T", "f", 1, 2);
  EXPECT_EQ(Sent(0).ContentBytes(),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<DTE version=\"1.0\"/>\n");
  // Without a folio to number there is no text at all.
  servicio_.EnviarDocumentoDTE_AutoFoliado(empty, "T", "f", 1, 2, true);
  EXPECT_EQ(Sent(1).Field("Content"), "");
}

TEST(PlaceholderTypeCodeTest, WritesZeroThatNoFormAcceptsAtItsSchemaPlace) {
  auto dte = std::make_shared<DteDocumentBinding>();
  const auto da = dte->CrearDocumento()->TED()->DD()->CAF()->DA();
  da->SetRS("A").SetTDPlaceholder().SetRE("00000000-K");
  std::vector<std::string> names;
  for (const auto& child : da->Children()) names.push_back(child->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"RE", "RS", "TD", "RNG"}));
  EXPECT_EQ(da->Get("TD"), "0");
  EXPECT_THROW(da->TD(), Error);
  const auto problems = da->Problems();
  EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), [](const std::string& problem) {
    return problem.find("TD") != std::string::npos;
  }));
  da->SetTD(TipoDTEDocumento::NotaCredito).SetTDPlaceholder();
  EXPECT_EQ(da->Count("TD"), 1u);
  EXPECT_EQ(da->Get("TD"), "0");
}

}  // namespace
}  // namespace QuarloCliente
