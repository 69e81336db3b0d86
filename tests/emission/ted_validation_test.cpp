#include <gtest/gtest.h>

#include <quarlo/binding.hpp>
#include <quarlo/servicio.hpp>
#include <string>

#include "emission_support.hpp"

namespace QuarloCliente {
namespace {

using testing::FixtureTed;
using testing::LoadFixture;

class TedValidationTest : public ::testing::Test {
 protected:
  // The factura's own TED with one value replaced.
  std::string TedWith(const std::string& path, const std::string& value) {
    return servicio_.ReplaceXmlValue(ted_, path, value);
  }
  // "valid" for no result, otherwise Estado and Descripcion.
  std::string Outcome(const std::string& ted) {
    const auto result = servicio_.ValidarTEDParaDTE(factura_, ted);
    return result ? result->ResultadoServicio->Estado + " " + result->ResultadoServicio->Descripcion
                  : "valid";
  }

  Servicio servicio_;
  std::shared_ptr<DteDocumentBinding> factura_ = LoadFixture<DteDocumentBinding>("factura_33.xml");
  std::string ted_ = FixtureTed("factura_33.xml");
};

TEST_F(TedValidationTest, AMatchingTedGivesNoResultAndLeavesTheDocumentAlone) {
  const std::string before = factura_->ToXml(DefaultBindingContext());
  EXPECT_EQ(Outcome(ted_), "valid");
  EXPECT_EQ(factura_->ToXml(DefaultBindingContext()), before);
  for (const char* file : {"liquidacion_43.xml", "exportacion_110.xml"}) {
    EXPECT_EQ(servicio_.ValidarTEDParaDTE(LoadFixture<DteDocumentBinding>(file), FixtureTed(file)),
              nullptr)
        << file;
  }
  // Nothing to compare in a DTE without a form.
  EXPECT_EQ(servicio_.ValidarTEDParaDTE(std::make_shared<DteDocumentBinding>(), "x"), nullptr);
}

TEST_F(TedValidationTest, TheFirstDisagreementInOrderIsReported) {
  const std::pair<const char*, const char*> changes[] = {
      {"//DD/RE", "RUTEmisor del documento no es igual al campo RE del TED."},
      {"//DD/TD", "TipoDTE del documento no es igual al campo TD del TED."},
      {"//DD/F", "Folio del documento no es igual al campo F del TED."},
      {"//DD/FE", "FchEmis del documento no es igual al campo FE del TED."},
      {"//DD/RR", "RUTRecep del documento no es igual al campo RR del TED."},
      {"//DD/RSR", "RUTRecep del documento no es igual al campo RSR."},
      {"//DD/MNT", "MntTotal del documento no es igual al campo MNT del TED."},
      {"//DD/IT1", "del primer detalle NmbItem del documento no es igual al campo IT1 del TED."}};
  const char* wrong[] = {"1-9", "61", "7", "2024-05-03", "2-7", "Los", "8", "Fierro"};
  // Spoiling the values from the last to the first, each result names the earliest spoiled one.
  std::string ted = ted_;
  for (int i = 7; i >= 0; --i) {
    ted = servicio_.ReplaceXmlValue(ted, changes[i].first, wrong[i]);
    EXPECT_EQ(Outcome(ted), std::string("1 El campo ") + changes[i].second);
  }
  // A text that is not XML reads as empty values.
  EXPECT_EQ(Outcome("<TED><DD><RE>"), "1 El campo " + std::string(changes[0].second));
}

TEST_F(TedValidationTest, ComparisonRulesAtTheirEdges) {
  const auto receptor = factura_->Documento()->Encabezado()->Receptor();
  receptor->SetRznSocRecep("Constructora Los Peñascos SpA - Obras Civiles del Sur de Chile");
  EXPECT_EQ(Outcome(TedWith("//DD/RSR", "Constructora Los Peñascos SpA - Obras Ci")), "valid");
  EXPECT_EQ(Outcome(TedWith("//DD/RSR", "")), "valid");
  EXPECT_EQ(Outcome(TedWith("//DD/RSR", "constructora")),
            "1 El campo RUTRecep del documento no es igual al campo RSR.");
  EXPECT_EQ(Outcome(TedWith("//DD/IT1", "Cemento")), "valid");
  EXPECT_EQ(
      Outcome(TedWith("//DD/IT1", "Cemento Polpaico especial saco 25 kg y más")),
      "1 El campo del primer detalle NmbItem del documento no es igual al campo IT1 del TED.");
  EXPECT_EQ(Outcome(TedWith("//DD/F", "001523")), "valid");
  EXPECT_EQ(Outcome(TedWith("//DD/MNT", "+1448706")), "valid");
  EXPECT_EQ(Outcome(TedWith("//DD/RE", "76543210-3 ")),
            "1 El campo RUTEmisor del documento no es igual al campo RE del TED.");
  // The CAF's own RE and TD are not the stamp's.
  EXPECT_EQ(Outcome(servicio_.ReplaceXmlValue(TedWith("//DA/RE", "1-9"), "//DA/TD", "61")),
            "valid");
  // An empty receiver name never matches, not even an empty RSR.
  receptor->SetRznSocRecep("");
  EXPECT_EQ(Outcome(TedWith("//DD/RSR", "")),
            "1 El campo RUTRecep del documento no es igual al campo RSR.");
  // An export's total is a decimal.
  EXPECT_EQ(servicio_.ValidarTEDParaDTE(
                LoadFixture<DteDocumentBinding>("exportacion_110.xml"),
                servicio_.ReplaceXmlValue(FixtureTed("exportacion_110.xml"), "//DD/MNT", "18450")),
            nullptr);
}

TEST_F(TedValidationTest, FailuresOnTheWayCarryThePrefix) {
  EXPECT_EQ(Outcome(TedWith("//DD/TD", "39")),
            "1 Error validando el TED: el código 39 no es un TipoDTE válido para Documento");
  EXPECT_EQ(Outcome(TedWith("//DD/F", "F1")).rfind("1 Error validando el TED: ", 0), 0u);
  EXPECT_EQ(servicio_.ValidarTEDParaDTE(nullptr, ted_)->ResultadoServicio->Descripcion,
            "Error validando el TED: no se indicó el documento");
  factura_->Documento()->Remove("Detalle");
  factura_->Documento()->Remove("Detalle");
  EXPECT_EQ(
      Outcome(ted_),
      "1 Error validando el TED: no existe el elemento Detalle número 1 en Documento (hay 0)");
  // An earlier disagreement still wins over the missing line.
  EXPECT_EQ(Outcome(TedWith("//DD/MNT", "1")),
            "1 El campo MntTotal del documento no es igual al campo MNT del TED.");
}

TEST(BoletaTedValidationTest, UsesTheBoletaCodesAndItsOptionalReceiverName) {
  Servicio servicio;
  const auto boleta = LoadFixture<BoletaDocumentBinding>("boleta_39.xml");
  const std::string ted = FixtureTed("boleta_39.xml");
  const auto outcome = [&](const std::string& path, const std::string& value) {
    const auto result =
        servicio.ValidarTEDParaBoleta(boleta, servicio.ReplaceXmlValue(ted, path, value));
    return result ? result->ResultadoServicio->Descripcion : "valid";
  };
  EXPECT_EQ(outcome("//DD/RSR", "Consumidor final"),
            "El campo RUTRecep del documento no es igual al campo RSR.")
      << "the fixture has no receiver name";
  // An anonymous sale: no name in the boleta, an empty RSR in the stamp.
  EXPECT_EQ(outcome("//DD/RSR", ""), "valid");
  boleta->Documento()->Encabezado()->Receptor()->SetRznSocRecep("");
  EXPECT_EQ(outcome("//DD/RSR", ""), "El campo RUTRecep del documento no es igual al campo RSR.")
      << "a name written empty is not an absent one";
  boleta->Documento()->Encabezado()->Receptor()->SetRznSocRecep("Consumidor final");
  EXPECT_EQ(outcome("//DD/RSR", "Consumidor"), "valid");
  EXPECT_EQ(outcome("//DD/TD", "41"),
            "El campo TipoDTE del documento no es igual al campo TD del TED.");
  EXPECT_EQ(outcome("//DD/TD", "33").rfind("Error validando el TED: ", 0), 0u);
}

}  // namespace
}  // namespace QuarloCliente
