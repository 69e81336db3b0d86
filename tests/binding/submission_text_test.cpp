#include "binding/submission_text.hpp"

#include <gtest/gtest.h>

#include <quarlo/binding.hpp>
#include <quarlo/namespaces.hpp>
#include <string>
#include <vector>

#include "binding/banner.hpp"
#include "core/binding_cleanup.hpp"
#include "core/xml_escape.hpp"
#include "support/sii_schemas.hpp"

// A submission writes its document with the markup the clean-up edits already edited; for values
// that hold none of the clean-up's pieces that must be, byte for byte, what cleaning the whole
// submission text gives, and values that do hold them must arrive as written.

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

// The submission text with the clean-up's rule for the SII default declaration, or without it
// (the rule of the clean-up that keeps the namespace).
std::string Submission(const BindingDocument& document,
                       const std::shared_ptr<BindingContext>& context, bool keepNamespace) {
  return detail::SubmissionXml(document, context,
                               {kMarker, keepNamespace ? std::string_view() : SiiDteNamespace});
}

void ExpectSameCleanText(const BindingDocument& document,
                         const std::shared_ptr<BindingContext>& context) {
  const std::string whole = document.ToXml(context, true, 2, kBindingLineEndLf, kBindingBanner);
  for (const bool keep : {false, true}) {
    const std::string submission = Submission(document, context, keep);
    EXPECT_EQ(submission.find(detail::kBindingBannerDocuments), std::string::npos);
    EXPECT_EQ(submission, Cleaned(whole, keep)) << "keep namespace " << keep;
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

// Values may hold the very pieces the clean-up removes: a clean-up over the whole text would
// change the caller's data, the submission text does not.
TEST(SubmissionTextTest, ValuesHoldingTheCleanedPiecesArriveAsWritten) {
  const std::string banner_line = std::string(detail::kBindingBannerDocuments) + "\r\n";
  const std::vector<std::string> values = {"ABCXYZ:ABCXYZ::ABCXYZ DTEDefType",
                                           R"(xmlns="http://www.sii.cl/SiiDte" 1 2 "3")",
                                           banner_line, "ABCABCXYZ:XYZ: € ñ"};
  const auto factura = [](const std::vector<std::string>& names) {
    auto dte = std::make_shared<DteDocumentBinding>();
    auto documento = dte->CrearDocumento();
    documento->SetID("ID_1");
    documento->Encabezado()->IdDoc()->SetTipoDTE(TipoDTEDocumento::FacturaElectronica).SetFolio(7);
    documento->Encabezado()->Receptor()->SetRznSocRecep(names.front());
    for (std::size_t i = 1; i < names.size(); ++i) {
      documento->AgregarDetalle()->SetNmbItem(names[i]);
    }
    return dte;
  };
  const auto context = Context({{SiiDteNamespace, kMarker}});
  const auto tricky = factura(values);
  const std::string text = Submission(*tricky, context, false);
  EXPECT_NE(text.find("<RznSocRecep>ABCXYZ:ABCXYZ::ABCXYZ DTEDefType</RznSocRecep>"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(R"(<NmbItem>xmlns="http://www.sii.cl/SiiDte" 1 2 "3"</NmbItem>)"),
            std::string::npos);
  std::string banner_value;
  detail::AppendEscapedXml(banner_value, banner_line, detail::EscapeFor::Text);
  EXPECT_NE(text.find("<NmbItem>" + banner_value + "</NmbItem>"), std::string::npos);
  EXPECT_NE(text.find("<NmbItem>ABCABCXYZ:XYZ: € ñ</NmbItem>"), std::string::npos);
  // The markup is what the clean-up makes of it: the same document with plain values gives the
  // same text around them.
  const auto plain = factura({"a", "b", "c", "d"});
  EXPECT_EQ(Submission(*plain, context, false),
            Cleaned(plain->ToXml(context, true, 2, kBindingLineEndLf, kBindingBanner), false));
}

// A free-form document reaches every way the writer names and declares: a root in the SII
// namespace without attributes, whose declaration the clean-up keeps, default namespaces of
// elements under it, an SII element inside another default namespace, and attributes in
// namespaces of their own, under the marker or not.
TEST(SubmissionTextTest, NamespacesDeclaredEveryWayCleanToTheSameText) {
  const std::string xml =
      R"(<Personalizados xmlns="http://www.sii.cl/SiiDte" xmlns:x="urn:x" )"
      R"(xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">)"
      R"(<a x:at="1">b</a><c xmlns="urn:other" xsi:nil="true">)"
      R"(<d xmlns="http://www.sii.cl/SiiDte">e</d><f xmlns="http://www.sii.cl/SiiDte" g="h"/></c>)"
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
      Submission(*bare, Context({{SiiDteNamespace, kMarker}}), false),
      R"(<?xml version="1.0" encoding="UTF-8"?>)"
      "\n<Personalizados xmlns=\"http://www.sii.cl/SiiDte\">\n  <a>1</a>\n</Personalizados>\n");
}

}  // namespace
}  // namespace QuarloCliente
