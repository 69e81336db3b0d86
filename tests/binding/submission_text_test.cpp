#include "binding/submission_text.hpp"

#include <gtest/gtest.h>

#include <quarlo/binding.hpp>
#include <quarlo/namespaces.hpp>
#include <string>

#include "binding/banner.hpp"
#include "core/binding_cleanup.hpp"
#include "support/sii_schemas.hpp"

// A submission writes its document without the marker prefix and the banner and then cleans it;
// what comes out must be, byte for byte, what cleaning the whole submission text gives.

namespace QuarloCliente {
namespace {

constexpr std::string_view kMarker = "ABCXYZ";
constexpr std::string_view kXmlDsig = "http://www.w3.org/2000/09/xmldsig#";

std::shared_ptr<BindingContext> Context(
    std::initializer_list<std::pair<std::string_view, std::string_view>> prefixes) {
  auto context = std::make_shared<BindingContext>();
  for (const auto& [uri, prefix] : prefixes) context->RegisterNamespace(uri, prefix);
  return context;
}

std::string Cleaned(std::string text, bool keepNamespace) {
  detail::CleanBindingText(text, keepNamespace);
  return text;
}

void ExpectSameCleanText(const BindingDocument& document,
                         const std::shared_ptr<BindingContext>& context) {
  const std::string whole = document.ToXml(context, true, 2, kBindingLineEndLf, kBindingBanner);
  const std::string marker_free = detail::MarkerFreeXml(document, context, kMarker);
  EXPECT_EQ(marker_free.find(detail::kBindingBannerDocuments), std::string::npos);
  for (const bool keep : {false, true}) {
    EXPECT_EQ(Cleaned(marker_free, keep), Cleaned(whole, keep)) << "keep namespace " << keep;
  }
}

template <class Binding>
std::shared_ptr<Binding> Loaded(const std::string& xml) {
  auto document = std::make_shared<Binding>();
  auto lenient = std::make_shared<BindingContext>();
  lenient->SetAllOptions(true);
  document->Load(xml, lenient);
  return document;
}

TEST(SubmissionTextTest, FixtureDocumentsCleanToTheSameText) {
  const auto contexts = {Context({{SiiDteNamespace, kMarker}}),
                         Context({{SiiDteNamespace, kMarker}, {kXmlDsig, "ds"}}), Context({})};
  for (const auto& context : contexts) {
    for (const char* file : {"factura_33.xml", "exportacion_110.xml", "liquidacion_43.xml"}) {
      SCOPED_TRACE(file);
      ExpectSameCleanText(*Loaded<DteDocumentBinding>(testing::ReadTestData(file)), context);
    }
    ExpectSameCleanText(*Loaded<BoletaDocumentBinding>(testing::ReadTestData("boleta_39.xml")),
                        context);
  }
}

// Values may hold the very pieces the clean-up removes; they must go, or stay, the same way.
TEST(SubmissionTextTest, ValuesHoldingTheCleanedPiecesAreCleanedAlike) {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto documento = dte->CrearDocumento();
  documento->SetID("ID_1");
  documento->Encabezado()->IdDoc()->SetTipoDTE(TipoDTEDocumento::FacturaElectronica).SetFolio(7);
  documento->Encabezado()->Receptor()->SetRznSocRecep("ABCXYZ:ABCXYZ::ABCXYZ DTEDefType");
  documento->AgregarDetalle()->SetNmbItem(R"(xmlns="http://www.sii.cl/SiiDte" 1 < 2 & "3")");
  documento->AgregarDetalle()->SetNmbItem(std::string(detail::kBindingBannerDocuments) + "\r\n");
  documento->AgregarDetalle()->SetNmbItem("ABCABCXYZ:XYZ: € ñ");
  ExpectSameCleanText(*dte, Context({{SiiDteNamespace, kMarker}}));
  ExpectSameCleanText(*dte, Context({}));
}

// A free-form document reaches every way the writer names and declares: a root in the SII
// namespace without attributes, whose declaration the clean-up keeps, default namespaces of
// elements under it, an SII element inside another default namespace, and attributes in
// namespaces of their own, under the marker or not.
TEST(SubmissionTextTest, NamespacesDeclaredEveryWayCleanToTheSameText) {
  const std::string xml =
      R"(<Personalizados xmlns="http://www.sii.cl/SiiDte" xmlns:x="urn:x" )"
      R"(xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">)"
      R"(<a x:at="ABCXYZ:1">ABCXYZ:b</a><c xmlns="urn:other" xsi:nil="true">)"
      R"(<d xmlns="http://www.sii.cl/SiiDte">:ABCXYZ</d></c>)"
      R"(<ds:Sig xmlns:ds="http://www.w3.org/2000/09/xmldsig#" xml:lang="es"/></Personalizados>)";
  const auto personalizados = Loaded<Personalizados>(xml);
  ExpectSameCleanText(*personalizados, Context({{SiiDteNamespace, kMarker}}));
  ExpectSameCleanText(*personalizados, Context({{SiiDteNamespace, kMarker}, {kXmlDsig, "ds"}}));
  ExpectSameCleanText(*personalizados, Context({{"urn:x", kMarker}}));
  ExpectSameCleanText(*personalizados, Context({{"urn:other", kMarker}, {"urn:x", "x"}}));
  // With nothing after it, the root's SII declaration is not the clean-up's to remove.
  const auto bare = Loaded<Personalizados>(
      R"(<Personalizados xmlns="http://www.sii.cl/SiiDte"><a>1</a></Personalizados>)");
  ExpectSameCleanText(*bare, Context({{SiiDteNamespace, kMarker}}));
  EXPECT_EQ(
      Cleaned(detail::MarkerFreeXml(*bare, Context({{SiiDteNamespace, kMarker}}), kMarker), false),
      R"(<?xml version="1.0" encoding="UTF-8"?>)"
      "\n<Personalizados xmlns=\"http://www.sii.cl/SiiDte\">\n  <a>1</a>\n</Personalizados>\n");
}

}  // namespace
}  // namespace QuarloCliente
