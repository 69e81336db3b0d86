#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <quarlo/binding.hpp>
#include <quarlo/error.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/charset.hpp"
#include "core/fake_signature.hpp"
#include "support/error_of.hpp"
#include "support/sii_schemas.hpp"

namespace QuarloCliente {
namespace {

using testing::ErrorOf;

std::shared_ptr<BindingContext> Strict() {
  return std::make_shared<BindingContext>();
}

std::shared_ptr<BindingContext> With(BindingOption option) {
  auto context = std::make_shared<BindingContext>();
  context->SetOption(option, true);
  return context;
}

// A Documento with what the tests vary around; `encabezado` goes inside Encabezado.
std::string Factura(const std::string& id_doc, const std::string& extra = "",
                    const std::string& root_attributes = "") {
  return R"(<?xml version="1.0" encoding="ISO-8859-1"?>
<DTE xmlns="http://www.sii.cl/SiiDte" version="1.0")" +
         root_attributes + R"(>
  <Documento ID="F1">
    <Encabezado>
      <IdDoc>)" +
         id_doc + R"(</IdDoc>
      <Emisor><RUTEmisor>76543210-3</RUTEmisor></Emisor>)" +
         extra + R"(
      <Receptor><RUTRecep>77214903-4</RUTRecep><RznSocRecep>Peñascos SpA</RznSocRecep></Receptor>
      <Totales><MntTotal>119000</MntTotal></Totales>
    </Encabezado>
    <Detalle><NroLinDet>1</NroLinDet><NmbItem>Cemento</NmbItem><MontoItem>119000</MontoItem></Detalle>
  </Documento>
</DTE>)";
}

const std::string kIdDoc = "<TipoDTE>33</TipoDTE><Folio>0012</Folio><FchEmis>2024-05-02</FchEmis>";

TEST(BindingLoadTest, ReadsTheTypedValuesOfADocument) {
  auto dte = std::make_shared<DteDocumentBinding>();
  dte->Load(Factura(kIdDoc), Strict());
  auto doc = dte->Documento();
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(dte->Liquidacion(), nullptr);
  EXPECT_EQ(doc->ID(), "F1");
  auto enc = doc->Encabezado();
  EXPECT_EQ(enc->IdDoc()->TipoDTE(), TipoDTEDocumento::FacturaElectronica);
  EXPECT_EQ(enc->IdDoc()->Folio().ToString(), "12");
  EXPECT_EQ(enc->IdDoc()->FchEmis().Format("s"), "2024-05-02");
  EXPECT_EQ(enc->Receptor()->RznSocRecep(), "Peñascos SpA");
  EXPECT_EQ(enc->Totales()->MntTotal(), BindingInteger(119000));
  EXPECT_EQ(doc->Detalle(1)->NmbItem(), "Cemento");
  // What the text lacks is not made up on loading.
  EXPECT_FALSE(doc->Has("TED"));
  EXPECT_EQ(ErrorOf([&] { doc->TED(); }), "falta el elemento TED en Documento");
}

TEST(BindingLoadTest, RefusesTextThatIsNotTheDocument) {
  auto dte = std::make_shared<DteDocumentBinding>();
  EXPECT_EQ(ErrorOf([&] { dte->Load("esto no es XML", Strict()); }),
            "el texto no es un documento XML bien formado");
  EXPECT_EQ(ErrorOf([&] { dte->Load("", Strict()); }),
            "el texto no es un documento XML bien formado");
  EXPECT_EQ(ErrorOf([&] { dte->Load("<DTE xmlns='http://www.sii.cl/SiiDte'>", Strict()); }),
            "el texto no es un documento XML bien formado");
  EXPECT_EQ(ErrorOf([&] {
              dte->Load("<EnvioDTE xmlns='http://www.sii.cl/SiiDte' version='1.0'/>", Strict());
            }),
            "el documento no es un DTE: el elemento raíz es EnvioDTE");
  EXPECT_EQ(ErrorOf([&] { dte->Load("<DTE xmlns='urn:otro' version='1.0'/>", Strict()); }),
            "el elemento raíz DTE no está en el espacio de nombres http://www.sii.cl/SiiDte sino "
            "en urn:otro");
  EXPECT_EQ(ErrorOf([&] { dte->Load(Factura(kIdDoc), nullptr); }),
            "no se indicó un contexto para cargar el documento");

  auto libro = std::make_shared<LibroGuiaBinding>();
  EXPECT_EQ(ErrorOf([&] { libro->Load(Factura(kIdDoc), Strict()); }),
            "el documento no es un Libro de Guías: el elemento raíz es DTE");
  // The switches never make a wrong root acceptable.
  auto lenient = Strict();
  lenient->SetAllOptions(true);
  EXPECT_THROW(dte->Load("<DTE xmlns='urn:otro' version='1.0'/>", lenient), Error);
}

TEST(BindingLoadTest, EachSwitchAcceptsOnlyItsOwnKindOfFault) {
  struct Case {
    const char* name;
    std::string xml;
    BindingOption option;
    std::string strict_error;
    // A padded value is also a bad value, so deferring validation accepts it too.
    bool deferrable = false;
  };
  const Case cases[] = {
      {"unknown element", Factura(kIdDoc, "<Sucursal>Centro</Sucursal>"),
       BindingOption::AllowUnknownElements,
       "DTE/Documento/Encabezado: Encabezado no admite el elemento Sucursal"},
      {"out of order",
       Factura("<Folio>12</Folio><TipoDTE>33</TipoDTE><FchEmis>2024-05-02</FchEmis>"),
       BindingOption::AllowOutOfOrderElements,
       "DTE/Documento/Encabezado/IdDoc: el elemento TipoDTE está fuera del orden del esquema en "
       "IdDoc: debe ir antes de Folio"},
      {"too many", Factura(kIdDoc + "<TipoDespacho>1</TipoDespacho><TipoDespacho>2</TipoDespacho>"),
       BindingOption::AllowOutOfOrderElements,
       "DTE/Documento/Encabezado/IdDoc: IdDoc admite como máximo 1 elementos TipoDespacho"},
      {"bad value", Factura("<TipoDTE>39</TipoDTE><Folio>12</Folio><FchEmis>2024-05-02</FchEmis>"),
       BindingOption::DeferValueValidation,
       "DTE/Documento/Encabezado/IdDoc/TipoDTE: valor de TipoDTE: el valor 39 no es uno de los "
       "permitidos (33, 34, 46, 52, 56, 61)"},
      {"unknown attribute", Factura(kIdDoc, "", " origen='erp'"),
       BindingOption::AllowUnknownAttributes, "DTE: DTE no admite el atributo origen"},
      {"padded value",
       Factura("<TipoDTE>33</TipoDTE><Folio>12</Folio><FchEmis> 2024-05-02 </FchEmis>"
               "<TpoImpresion> N </TpoImpresion>"),
       BindingOption::TrimValueWhitespace,
       "DTE/Documento/Encabezado/IdDoc/TpoImpresion: valor de TpoImpresion: el texto tiene 3 "
       "caracteres y debe tener 1",
       true},
  };
  const BindingOption all[] = {
      BindingOption::AllowUnknownElements, BindingOption::AllowOutOfOrderElements,
      BindingOption::TrimValueWhitespace, BindingOption::DeferValueValidation,
      BindingOption::AllowUnknownAttributes};
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    auto dte = std::make_shared<DteDocumentBinding>();
    EXPECT_EQ(ErrorOf([&] { dte->Load(test.xml, Strict()); }), test.strict_error);
    for (BindingOption other : all) {
      if (other == test.option) continue;
      if (test.deferrable && other == BindingOption::DeferValueValidation) continue;
      EXPECT_THROW(dte->Load(test.xml, With(other)), Error);
    }
    EXPECT_NO_THROW(dte->Load(test.xml, With(test.option)));
    EXPECT_NE(dte->Documento(), nullptr);
  }
}

TEST(BindingLoadTest, LenientLoadingKeepsWhatItAccepts) {
  auto lenient = Strict();
  lenient->SetAllOptions(true);
  auto dte = std::make_shared<DteDocumentBinding>();
  dte->Load(Factura("<Folio>0012</Folio><TipoDTE>39</TipoDTE><FchEmis>2024-05-02</FchEmis>",
                    "<Sucursal codigo='7'>Centro<Piso>2</Piso></Sucursal>"),
            lenient);
  auto enc = dte->Documento()->Encabezado();
  // The out-of-order elements stay where they were; a bad value surfaces when read.
  EXPECT_EQ(enc->IdDoc()->Children().front()->Name(), "Folio");
  EXPECT_EQ(ErrorOf([&] { enc->IdDoc()->TipoDTE(); }),
            "el código 39 no es un TipoDTE válido para Documento");
  auto sucursal = enc->Find("Sucursal");
  ASSERT_NE(sucursal, nullptr);
  EXPECT_FALSE(sucursal->IsDeclared());
  EXPECT_EQ(sucursal->Get("Piso"), "2");
  EXPECT_EQ(sucursal->Attribute("codigo"), "7");
  const std::string xml = dte->ToXml(Strict(), false, 0);
  EXPECT_NE(xml.find("<Sucursal codigo=\"7\">Centro<Piso>2</Piso></Sucursal>"), std::string::npos);
  // A new element still goes to its schema place, after the kept ones of earlier slots.
  enc->IdDoc()->Set("FmaPago", 1);
  EXPECT_EQ(enc->IdDoc()->Children().back()->Name(), "FmaPago");
  const auto problems = dte->Problems();
  EXPECT_NE(std::find(problems.begin(), problems.end(),
                      "DTE/Documento/Encabezado: Encabezado no admite el elemento Sucursal"),
            problems.end());
}

TEST(BindingLoadTest, AFailedLoadLeavesTheDocumentAsItWas) {
  auto dte = std::make_shared<DteDocumentBinding>();
  dte->Load(Factura(kIdDoc), Strict());
  auto old_documento = dte->Documento();
  EXPECT_THROW(dte->Load(Factura("<Folio>x</Folio>"), Strict()), Error);
  EXPECT_EQ(dte->Documento()->Encabezado()->IdDoc()->Folio(), BindingInteger(12));

  // A successful load keeps the root handle and detaches what was there before.
  BindingElement root_handle = *dte;
  dte->Load(Factura("<TipoDTE>34</TipoDTE><Folio>99</Folio><FchEmis>2024-05-03</FchEmis>"),
            Strict());
  EXPECT_EQ(root_handle.Get("Documento/Encabezado/IdDoc/Folio"), "99");
  EXPECT_EQ(old_documento->Parent(), nullptr);
  EXPECT_EQ(old_documento->Get("Encabezado/IdDoc/Folio"), "0012");
}

TEST(BindingLoadTest, AcceptsSchemaInstanceAttributesAndCdata) {
  auto dte = std::make_shared<DteDocumentBinding>();
  dte->Load(Factura(kIdDoc, "",
                    " xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'"
                    " xsi:schemaLocation='http://www.sii.cl/SiiDte DTE_v10.xsd'"),
            Strict());
  const std::string xml = dte->ToXml(Strict());
  EXPECT_NE(xml.find(R"(xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance")"),
            std::string::npos);
  EXPECT_NE(xml.find(R"(xsi:schemaLocation="http://www.sii.cl/SiiDte DTE_v10.xsd")"),
            std::string::npos);

  dte->Load(
      Factura(kIdDoc).replace(Factura(kIdDoc).find("Cemento"), 7, "<![CDATA[Cemento & cal]]>"),
      Strict());
  EXPECT_EQ(dte->Documento()->Detalle(1)->NmbItem(), "Cemento & cal");
}

// The documents in tests/data, each with the binding type that loads it.
struct Fixture {
  const char* file;
  std::function<std::shared_ptr<BindingDocument>()> make;
};
std::vector<Fixture> Fixtures() {
  return {
      {"factura_33.xml", [] { return std::make_shared<DteDocumentBinding>(); }},
      {"exportacion_110.xml", [] { return std::make_shared<DteDocumentBinding>(); }},
      {"liquidacion_43.xml", [] { return std::make_shared<DteDocumentBinding>(); }},
      {"boleta_39.xml", [] { return std::make_shared<BoletaDocumentBinding>(); }},
      {"consumo_folios.xml", [] { return std::make_shared<ConsumoFoliosBinding>(); }},
      {"libro_compra_venta.xml", [] { return std::make_shared<LibroCompraVentaBinding>(); }},
      {"libro_guia.xml", [] { return std::make_shared<LibroGuiaBinding>(); }},
      {"libro_boleta.xml", [] { return std::make_shared<LibroBoletaBinding>(); }},
  };
}

TEST(BindingLoadTest, LoadsEveryFixtureStrictlyAndWritesItBackUnchanged) {
  const auto compact = [](std::string text) {
    // Layout between elements is the only difference allowed.
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '>') {
        out += '>';
        std::size_t next = i + 1;
        while (next < text.size() && (text[next] == ' ' || text[next] == '\n' ||
                                      text[next] == '\r' || text[next] == '\t')) {
          ++next;
        }
        if (next < text.size() && text[next] == '<') i = next - 1;
      } else {
        out += text[i];
      }
    }
    return out;
  };
  for (const Fixture& fixture : Fixtures()) {
    SCOPED_TRACE(fixture.file);
    std::string xml;
    try {
      xml = testing::ReadTestData(fixture.file);
    } catch (const std::exception& error) {
      GTEST_SKIP() << "falta el documento de prueba " << fixture.file << ": " << error.what();
    }
    auto document = fixture.make();
    ASSERT_NO_THROW(document->Load(xml, Strict()));
    const std::string written = document->ToXml(Strict());
    EXPECT_EQ(compact(written), compact(xml));
  }
}

TEST(BindingLoadTest, PersonalizadosLoadsAnyContentUnderItsRoot) {
  auto campos = std::make_shared<Personalizados>();
  campos->Load(R"(<Personalizados xmlns="urn:erp"><Campo nombre="vendedor">Ana</Campo>
                  <Grupo><Campo nombre="canal">web</Campo></Grupo></Personalizados>)",
               Strict());
  EXPECT_EQ(campos->NamespaceUri(), "urn:erp");
  EXPECT_EQ(campos->Get("Campo"), "Ana");
  EXPECT_EQ(campos->Get("Campo/@nombre"), "vendedor");
  EXPECT_EQ(campos->Get("Grupo/Campo"), "web");
  EXPECT_EQ(campos->Find("Grupo")->Text(), "");
  EXPECT_EQ(ErrorOf([&] { campos->Load("<Campos/>", Strict()); }),
            "el documento no es un Personalizados: el elemento raíz es Campos");
  EXPECT_EQ(campos->Get("Campo"), "Ana");
}

std::string ReplacedOnce(std::string text, std::string_view what, std::string_view with) {
  const std::size_t at = text.find(what);
  if (at != std::string::npos) text.replace(at, what.size(), with);
  return text;
}

std::string Latin1(std::string_view utf8) {
  const Bytes bytes = detail::Utf8ToLatin1(utf8, detail::Unrepresentable::CharacterReference);
  return std::string(bytes.begin(), bytes.end());
}

// The text as a Windows program writes it in windows-1252: the characters beyond ISO-8859-1 that
// these tests use become their single bytes.
std::string Windows1252(std::string_view utf8) {
  std::string text = Latin1(utf8);
  for (const auto& [reference, byte] :
       {std::pair{"&#8364;", "\x80"}, std::pair{"&#8220;", "\x93"}, std::pair{"&#8221;", "\x94"},
        std::pair{"&#8211;", "\x96"}}) {
    for (std::size_t at = text.find(reference); at != std::string::npos;
         at = text.find(reference)) {
      text.replace(at, std::string_view(reference).size(), byte);
    }
  }
  return text;
}

Bytes AsBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

TEST(BindingLoadTest, ReadsFilesInTheEncodingTheirDeclarationNames) {
  const std::string glosa = "Crédito “30 días” N° 7 – 5 € Larraín";
  const std::string utf8 = ReplacedOnce(testing::ReadTestData("factura_33.xml"),
                                        "Crédito 30 días contra factura", glosa);
  auto reference = std::make_shared<DteDocumentBinding>();
  reference->Load(utf8, Strict());
  const std::string expected = reference->ToXml(Strict());
  ASSERT_NE(expected.find(glosa), std::string::npos);

  const std::string body = utf8.substr(utf8.find("?>") + 2);
  const std::pair<std::string, std::string> files[] = {
      {"ISO-8859-1", Latin1(body)},
      {"iso-8859-1", Latin1(body)},
      {"windows-1252", Windows1252(body)},
      {"CP1252", Windows1252(body)},
  };
  for (const auto& [encoding, bytes] : files) {
    SCOPED_TRACE(encoding);
    const std::string text = "<?xml version='1.0' encoding='" + encoding + "'?>" + bytes;
    ASSERT_LT(detail::Utf8ValidPrefix(text), text.size());
    auto dte = std::make_shared<DteDocumentBinding>();
    ASSERT_NO_THROW(dte->Load(text, Strict()));
    EXPECT_EQ(dte->Get("Documento/Encabezado/IdDoc/TermPagoGlosa"), glosa);
    EXPECT_EQ(dte->Get("Documento/Encabezado/Emisor/RznSoc"), "Comercializadora Ñuñoa Ltda.");
    EXPECT_EQ(dte->ToXml(Strict()), expected);
    auto from_bytes = std::make_shared<DteDocumentBinding>();
    ASSERT_NO_THROW(from_bytes->Load(AsBytes(text), Strict()));
    EXPECT_EQ(from_bytes->ToXml(Strict()), expected);
  }

  auto dte = std::make_shared<DteDocumentBinding>();
  const std::string utf16 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + Latin1(body);
  EXPECT_EQ(ErrorOf([&] { dte->Load(utf16, Strict()); }), "la codificación UTF-16 no se admite");
  EXPECT_EQ(ErrorOf([&] { dte->Load(AsBytes(utf16), Strict()); }),
            "la codificación UTF-16 no se admite");
  EXPECT_EQ(ErrorOf([&] { dte->Load("esto no es XML: Larra\xEDn", Strict()); }),
            "el texto no es un documento XML bien formado");
  EXPECT_EQ(ErrorOf([&] { dte->Load(AsBytes("<DTE \xE9"), Strict()); }),
            "el texto no es un documento XML bien formado");
  // A failed load leaves the document as it was.
  EXPECT_EQ(dte->ToXml(Strict()), std::make_shared<DteDocumentBinding>()->ToXml(Strict()));
}

TEST(BindingLoadTest, ARootWithoutNamespaceIsReadAsTheSiis) {
  const std::string kSii = " xmlns=\"http://www.sii.cl/SiiDte\"";
  for (const Fixture& fixture : Fixtures()) {
    SCOPED_TRACE(fixture.file);
    const std::string xml = testing::ReadTestData(fixture.file);
    const std::string bare = ReplacedOnce(xml, kSii, "");
    ASSERT_NE(bare, xml);
    auto reference = fixture.make();
    reference->Load(xml, Strict());
    auto document = fixture.make();
    ASSERT_NO_THROW(document->Load(bare, Strict()));
    const std::string written = document->ToXml(Strict(), false);
    EXPECT_EQ(written, reference->ToXml(Strict(), false));
    EXPECT_NE(written.find(kSii), std::string::npos);
  }

  // The signature keeps its own namespace.
  const std::string signed_xml = ReplacedOnce(testing::ReadTestData("factura_33.xml"), "</DTE>",
                                              std::string(detail::FakeSignatureXml()) + "</DTE>");
  auto reference = std::make_shared<DteDocumentBinding>();
  reference->Load(signed_xml, Strict());
  auto dte = std::make_shared<DteDocumentBinding>();
  ASSERT_NO_THROW(dte->Load(ReplacedOnce(signed_xml, kSii, ""), Strict()));
  EXPECT_EQ(dte->ToXml(Strict()), reference->ToXml(Strict()));
  EXPECT_NE(dte->ToXml(Strict()).find("<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\""),
            std::string::npos);

  // Only what has no namespace is adopted: an element in another one is still foreign.
  EXPECT_EQ(ErrorOf([&] {
              dte->Load("<DTE version='1.0'><Documento xmlns='urn:otro' ID='F1'/></DTE>", Strict());
            }),
            "DTE: DTE no admite el elemento Documento del espacio de nombres 'urn:otro'");
  EXPECT_EQ(ErrorOf([&] {
              std::make_shared<ConsumoFoliosBinding>()->Load("<LibroGuia version='1.0'/>",
                                                             Strict());
            }),
            "el documento no es un Consumo de Folios: el elemento raíz es LibroGuia");
}

}  // namespace
}  // namespace QuarloCliente
