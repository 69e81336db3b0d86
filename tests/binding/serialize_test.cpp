#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <quarlo/binding.hpp>
#include <quarlo/error.hpp>
#include <regex>
#include <string>

#include "binding/banner.hpp"

namespace QuarloCliente {
namespace {

constexpr std::string_view kSiiDte = "http://www.sii.cl/SiiDte";
const std::string kDeclaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";

std::string Text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::shared_ptr<BindingContext> Abcxyz() {
  auto context = std::make_shared<BindingContext>();
  context->RegisterNamespace(kSiiDte, "ABCXYZ");
  return context;
}

std::shared_ptr<DteDocumentBinding> SmallFactura() {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto doc = dte->CrearDocumento();
  doc->SetID("ID_1");
  doc->Encabezado()->IdDoc()->SetTipoDTE(TipoDTEDocumento::FacturaElectronica).SetFolio(12);
  doc->Encabezado()->Receptor()->SetRznSocRecep("Pérez & Cía <Ltda>");
  doc->AgregarDetalle()->SetNmbItem("Tornillo \"M8\"");
  return dte;
}

// Every element name of the text, as written ("ABCXYZ:DTE", "Signature").
std::vector<std::string> ElementNames(const std::string& xml) {
  std::vector<std::string> names;
  static const std::regex tag(R"(<([A-Za-z_][\w.:-]*))");
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), tag); it != std::sregex_iterator();
       ++it) {
    names.push_back((*it)[1]);
  }
  return names;
}

TEST(BindingSerializeTest, SubmissionFormPrefixesEverySiiElementAfterDeclarationAndBanner) {
  const std::string xml = Text(SmallFactura()->Serialize(Abcxyz(), true, 2, 0, 2));
  const std::string opening =
      kDeclaration + "\n" + std::string(detail::kBindingBannerDocuments) + "\r\n" +
      R"(<ABCXYZ:DTE xmlns:ABCXYZ="http://www.sii.cl/SiiDte" version="1.0">)";
  EXPECT_EQ(xml.substr(0, opening.size()), opening);
  const auto names = ElementNames(xml);
  ASSERT_GT(names.size(), 10u);
  for (const auto& name : names) EXPECT_EQ(name.rfind("ABCXYZ:", 0), 0u) << name;
  EXPECT_EQ(xml.find("xmlns=\""), std::string::npos);
  EXPECT_NE(xml.find("\n  <ABCXYZ:Documento ID=\"ID_1\">\n    <ABCXYZ:Encabezado>"),
            std::string::npos);
  EXPECT_TRUE(xml.ends_with("</ABCXYZ:Documento>\n</ABCXYZ:DTE>\n"));
  // The only CR is the one after the banner.
  EXPECT_EQ(std::count(xml.begin(), xml.end(), '\r'), 1);
  EXPECT_NE(xml.find("<ABCXYZ:RznSocRecep>Pérez &amp; Cía &lt;Ltda&gt;</ABCXYZ:RznSocRecep>"),
            std::string::npos);
  EXPECT_NE(xml.find("<ABCXYZ:NmbItem>Tornillo \"M8\"</ABCXYZ:NmbItem>"), std::string::npos);
}

TEST(BindingSerializeTest, BooksCarryTheirOwnBannerAndEachNamespaceItsDeclaration) {
  auto libro = std::make_shared<LibroCompraVentaBinding>();
  libro->EnvioLibro()->CrearLceCal()->DocumentoCal()->SetID("CAL1");
  const std::string xml = Text(libro->Serialize(Abcxyz(), true, 2, 0, 2));
  EXPECT_EQ(xml.find(std::string(detail::kBindingBannerBooks) + "\r\n"), kDeclaration.size() + 1);
  EXPECT_EQ(xml.find(detail::kBindingBannerDocuments), std::string::npos);
  // SiiLce has no prefix in the map, so LceCal declares it as its default namespace.
  EXPECT_NE(xml.find(R"(<LceCal xmlns="http://www.sii.cl/SiiLce" version="1.0">)"),
            std::string::npos);
  EXPECT_NE(xml.find(R"(<DocumentoCal ID="CAL1"/>)"), std::string::npos);

  auto context = Abcxyz();
  context->RegisterNamespace("http://www.sii.cl/SiiLce", "lce");
  const std::string both = libro->ToXml(context);
  EXPECT_NE(both.find(R"(<ABCXYZ:LibroCompraVenta xmlns:ABCXYZ="http://www.sii.cl/SiiDte" )"
                      R"(xmlns:lce="http://www.sii.cl/SiiLce" version="1.0">)"),
            std::string::npos);
  EXPECT_NE(both.find(R"(<lce:LceCal version="1.0">)"), std::string::npos);
}

TEST(BindingSerializeTest, WithoutAPrefixTheRootDeclaresTheDefaultNamespace) {
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  const std::string xml = boleta->ToXml(std::make_shared<BindingContext>(), false, 0);
  EXPECT_EQ(xml.rfind(R"(<DTE xmlns="http://www.sii.cl/SiiDte" version="1.0"><Documento>)", 0), 0u);
  EXPECT_EQ(xml.find('\n'), std::string::npos);
  EXPECT_EQ(xml.find("xmlns=", 20), std::string::npos);
  EXPECT_NE(xml.find(R"(<FRMA algoritmo="SHA1withRSA"/>)"), std::string::npos);
}

TEST(BindingSerializeTest, OptionsChooseLineEndsIndentationAndEmptyElements) {
  auto dte = SmallFactura();
  const auto context = std::make_shared<BindingContext>();
  const std::string crlf = Text(dte->Serialize(context, true, 4, kBindingLineEndCrLf, 0));
  EXPECT_EQ(crlf.rfind(kDeclaration + "\r\n<DTE", 0), 0u);
  EXPECT_NE(crlf.find("\r\n    <Documento"), std::string::npos);
  EXPECT_EQ(std::count(crlf.begin(), crlf.end(), '\n'), std::count(crlf.begin(), crlf.end(), '\r'));

  const std::string expanded = dte->ToXml(context, false, 0, 0, kBindingExpandEmpty);
  EXPECT_NE(expanded.find(R"(<FRMT></FRMT>)"), std::string::npos);
  EXPECT_EQ(expanded.find("/>"), std::string::npos);
  const std::string banner_only = dte->ToXml(context, false, 0, 0, kBindingBanner);
  EXPECT_EQ(banner_only.rfind(std::string(detail::kBindingBannerDocuments) + "\r\n<DTE", 0), 0u);

  const auto error = [&](const std::function<void()>& action) {
    try {
      action();
    } catch (const Error& failure) {
      return std::string(failure.what());
    }
    return std::string("sin error");
  };
  EXPECT_EQ(error([&] { dte->Serialize(context, true, -1, 0, 0); }),
            "la sangría debe estar entre 0 y 16 espacios, no -1");
  EXPECT_EQ(error([&] { dte->Serialize(context, true, 2, 2, 0); }),
            "el fin de línea 2 no existe (0: LF, 1: CR LF)");
  EXPECT_EQ(error([&] { dte->Serialize(context, true, 2, 0, 4); }),
            "las opciones de formato 4 no existen");
  EXPECT_EQ(error([&] { dte->Serialize(nullptr, true, 2, 0, 2); }),
            "no se indicó un contexto para escribir el documento");
}

TEST(BindingSerializeTest, WrittenTextLoadsBackAsTheSameDocument) {
  auto dte = SmallFactura();
  dte->Documento()->Encabezado()->Receptor()->Set("Contacto", "línea 1\r\nlínea 2\ttab");
  for (int line_end : {kBindingLineEndLf, kBindingLineEndCrLf}) {
    for (int indentation : {0, 2}) {
      auto copy = std::make_shared<DteDocumentBinding>();
      copy->Load(Text(dte->Serialize(Abcxyz(), true, indentation, line_end, kBindingBanner)),
                 std::make_shared<BindingContext>());
      EXPECT_EQ(copy->ToXml(Abcxyz()), dte->ToXml(Abcxyz()));
      EXPECT_EQ(copy->Documento()->Encabezado()->Receptor()->Get("Contacto"),
                "línea 1\r\nlínea 2\ttab");
      EXPECT_EQ(copy->Documento()->Encabezado()->Receptor()->RznSocRecep(), "Pérez & Cía <Ltda>");
    }
  }
}

TEST(BindingContextTest, RegistrationRulesAndOptionSnapshots) {
  BindingContext context;
  context.RegisterNamespace(kSiiDte, "ABCXYZ");
  EXPECT_EQ(context.Prefix(kSiiDte), "ABCXYZ");
  context.RegisterNamespace(kSiiDte, "sii");
  EXPECT_EQ(context.Namespaces(),
            (std::map<std::string, std::string>{{std::string(kSiiDte), "sii"}}));
  EXPECT_THROW(context.RegisterNamespace("urn:otro", "sii"), Error);
  EXPECT_THROW(context.RegisterNamespace("urn:otro", "1a"), Error);
  EXPECT_THROW(context.RegisterNamespace("urn:otro", "a:b"), Error);
  EXPECT_THROW(context.RegisterNamespace("urn:otro", "xmlns"), Error);
  EXPECT_THROW(context.RegisterNamespace("urn:otro", "XMLfoo"), Error);
  EXPECT_THROW(context.RegisterNamespace("", "p"), Error);
  context.RegisterNamespace(kSiiDte, "");
  EXPECT_EQ(context.Prefix(kSiiDte), "");
  EXPECT_TRUE(context.Namespaces().empty());

  EXPECT_FALSE(context.Options().AllowUnknownElements);
  context.SetOption(BindingOption::DeferValueValidation, true);
  const BindingOptions snapshot = context.Options();
  context.SetAllOptions(true);
  EXPECT_TRUE(snapshot.DeferValueValidation);
  EXPECT_FALSE(snapshot.TrimValueWhitespace);
  EXPECT_TRUE(context.Option(BindingOption::TrimValueWhitespace));
  context.SetAllOptions(false);
  EXPECT_FALSE(context.Option(BindingOption::DeferValueValidation));

  EXPECT_EQ(DefaultBindingContext(), DefaultBindingContext());
  EXPECT_NE(DefaultBindingContext(), nullptr);
}

}  // namespace
}  // namespace QuarloCliente
