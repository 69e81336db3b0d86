#include <gtest/gtest.h>

#include <quarlo/binding.hpp>
#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>
#include <string>

#include "core/binding_cleanup.hpp"
#include "core/payload.hpp"
#include "emission/emission.hpp"
#include "emission_support.hpp"

// The Content is built without ever writing the marker prefix and the banner; for values that hold
// none of the clean-up's pieces it must be, byte for byte, the Content of the whole submission
// text: serialised with both, cleaned, renamed, its declaration swapped, converted and encoded.
// Values that do hold them arrive as the caller wrote them.

namespace QuarloCliente {
namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

std::string CleanedWholeText(const BindingDocument& document, std::string_view typeName) {
  const auto context = DefaultBindingContext();
  context->RegisterNamespace(SiiDteNamespace, "ABCXYZ");
  std::string text =
      detail::CleanBindingXml(document.ToXml(context, true, 2, kBindingLineEndLf, kBindingBanner));
  ReplaceAll(text, typeName, "DTE");
  return text;
}

std::string DteContentTheLongWay(Servicio& servicio, const DteDocumentBinding& dte,
                                 bool autoFoliado) {
  std::string text = CleanedWholeText(dte, "DTEDefType");
  const std::string utf8 = R"(<?xml version="1.0" encoding="UTF-8"?>)";
  if (text.starts_with(utf8)) {
    text.replace(0, utf8.size(), R"(<?xml version="1.0" encoding="ISO-8859-1"?>)");
  }
  if (autoFoliado) text = servicio.ReplaceFolio(text, "0");
  return detail::EncodeIsoBase64(text, detail::Unrepresentable::CharacterReference);
}

std::string BoletaContentTheLongWay(Servicio& servicio, const BoletaDocumentBinding& boleta,
                                    bool autoFoliado) {
  std::string text = CleanedWholeText(boleta, "BOLETADefType");
  if (autoFoliado) text = servicio.ReplaceFolio(text, "0");
  return detail::EncodeBase64(
      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// A factura whose values hold what the clean-up and the rename look for, and characters beyond
// ISO-8859-1.
std::shared_ptr<DteDocumentBinding> TrickyFactura(const std::string& receiver,
                                                  const std::string& item) {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto documento = dte->CrearDocumento();
  documento->Encabezado()
      ->IdDoc()
      ->SetTipoDTE(TipoDTEDocumento::FacturaElectronica)
      .SetFolio(9)
      .SetFchEmis(BindingDateTime::FromDate(2024, 5, 2));
  documento->Encabezado()->Emisor()->SetRUTEmisor("76543210-3");
  documento->Encabezado()->Receptor()->SetRUTRecep("1-9").SetRznSocRecep(receiver);
  documento->AgregarDetalle()->SetNmbItem(item);
  return dte;
}

std::string Decoded(const std::string& content) {
  const Bytes bytes = detail::DecodeBase64(content);
  return std::string(bytes.begin(), bytes.end());
}

TEST(DocumentContentTest, DteContentIsTheWholeTextsContent) {
  Servicio servicio;
  const std::shared_ptr<DteDocumentBinding> dtes[] = {
      testing::LoadFixture<DteDocumentBinding>("factura_33.xml"),
      testing::LoadFixture<DteDocumentBinding>("exportacion_110.xml"),
      testing::LoadFixture<DteDocumentBinding>("liquidacion_43.xml"),
      TrickyFactura("Pérez & Cía", "Tornillo “M8” – 10 €, ñandú 😀 <a>"),
      std::make_shared<DteDocumentBinding>()};
  for (const auto& dte : dtes) {
    detail::FillDtePlaceholderTed(*dte);
    for (const bool autoFoliado : {false, true}) {
      const std::string expected = DteContentTheLongWay(servicio, *dte, autoFoliado);
      EXPECT_EQ(detail::DteContent(servicio, *dte, autoFoliado), expected) << autoFoliado;
      EXPECT_EQ(detail::EncodeBase64(detail::DteContentBytes(servicio, *dte, autoFoliado)),
                expected);
    }
  }
}

TEST(DocumentContentTest, BoletaContentIsTheWholeTextsContent) {
  Servicio servicio;
  const auto boleta = testing::LoadFixture<BoletaDocumentBinding>("boleta_39.xml");
  boleta->Documento()->Encabezado()->Receptor()->SetRznSocRecep("Pérez & Cía €");
  detail::FillBoletaPlaceholderTed(*boleta);
  for (const bool autoFoliado : {false, true}) {
    EXPECT_EQ(detail::BoletaContent(servicio, *boleta, autoFoliado),
              BoletaContentTheLongWay(servicio, *boleta, autoFoliado))
        << autoFoliado;
  }
}

// A clean-up over the whole text would cut "ABCXYZ:" out of the receiver's name and turn
// "DTEDefType" into "DTE", changing a legal document; the Content keeps them.
TEST(DocumentContentTest, ValuesHoldingTheCleanedPiecesArriveAsWritten) {
  Servicio servicio;
  const auto dte =
      TrickyFactura("DTEDefType & ABCXYZ:", R"(<:ABCXYZ> xmlns="http://www.sii.cl/SiiDte" €)");
  detail::FillDtePlaceholderTed(*dte);
  for (const bool autoFoliado : {false, true}) {
    const std::string content = Decoded(detail::DteContent(servicio, *dte, autoFoliado));
    EXPECT_EQ(content.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<DTE version=", 0),
              0u)
        << content;
    EXPECT_TRUE(content.ends_with("</DTE>\n"));
    EXPECT_NE(content.find("<RznSocRecep>DTEDefType &amp; ABCXYZ:</RznSocRecep>"),
              std::string::npos)
        << content;
    EXPECT_NE(content.find(R"(&lt;:ABCXYZ&gt; xmlns="http://www.sii.cl/SiiDte" &#8364;)"),
              std::string::npos);
  }
  const auto boleta = testing::LoadFixture<BoletaDocumentBinding>("boleta_39.xml");
  boleta->Documento()->Encabezado()->Receptor()->SetRznSocRecep("BOLETADefType ABCXYZ: €");
  detail::FillBoletaPlaceholderTed(*boleta);
  for (const bool autoFoliado : {false, true}) {
    const std::string content = Decoded(detail::BoletaContent(servicio, *boleta, autoFoliado));
    EXPECT_EQ(content.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DTE ", 0), 0u) << content;
    EXPECT_NE(content.find("<RznSocRecep>BOLETADefType ABCXYZ: €</RznSocRecep>"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace QuarloCliente
