#include <gtest/gtest.h>

#include <quarlo/binding.hpp>
#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>
#include <string>

#include "core/payload.hpp"
#include "core/servicio_access.hpp"
#include "emission/emission.hpp"
#include "emission_support.hpp"

// The Content is built without ever writing the marker prefix and the banner; it must be, byte
// for byte, the Content of the whole submission text: serialised with both, cleaned, renamed,
// its declaration swapped, converted and encoded.

namespace QuarloCliente {
namespace {

using detail::ServicioAccess;

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

std::string CleanedWholeText(Servicio& servicio, const BindingDocument& document,
                             std::string_view typeName) {
  const auto context = DefaultBindingContext();
  context->RegisterNamespace(SiiDteNamespace, "ABCXYZ");
  std::string text = ServicioAccess::CleanBindingXml(
      servicio, document.ToXml(context, true, 2, kBindingLineEndLf, kBindingBanner));
  ReplaceAll(text, typeName, "DTE");
  return text;
}

std::string DteContentTheLongWay(Servicio& servicio, const DteDocumentBinding& dte,
                                 bool autoFoliado) {
  std::string text = CleanedWholeText(servicio, dte, "DTEDefType");
  const std::string utf8 = R"(<?xml version="1.0" encoding="UTF-8"?>)";
  if (text.starts_with(utf8)) {
    text.replace(0, utf8.size(), R"(<?xml version="1.0" encoding="ISO-8859-1"?>)");
  }
  if (autoFoliado) text = servicio.ReplaceFolio(text, "0");
  return detail::EncodeIsoBase64(text, detail::Unrepresentable::CharacterReference);
}

std::string BoletaContentTheLongWay(Servicio& servicio, const BoletaDocumentBinding& boleta,
                                    bool autoFoliado) {
  std::string text = CleanedWholeText(servicio, boleta, "BOLETADefType");
  if (autoFoliado) text = servicio.ReplaceFolio(text, "0");
  return detail::EncodeBase64(
      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// A factura whose values hold what the clean-up and the rename look for, and characters beyond
// ISO-8859-1.
std::shared_ptr<DteDocumentBinding> TrickyFactura() {
  auto dte = std::make_shared<DteDocumentBinding>();
  auto documento = dte->CrearDocumento();
  documento->Encabezado()
      ->IdDoc()
      ->SetTipoDTE(TipoDTEDocumento::FacturaElectronica)
      .SetFolio(9)
      .SetFchEmis(BindingDateTime::FromDate(2024, 5, 2));
  documento->Encabezado()->Emisor()->SetRUTEmisor("76543210-3");
  documento->Encabezado()->Receptor()->SetRUTRecep("1-9").SetRznSocRecep("DTEDefType & ABCXYZ:");
  documento->AgregarDetalle()->SetNmbItem("Tornillo “M8” – 10 €, ñandú 😀 <:ABCXYZ>");
  return dte;
}

TEST(DocumentContentTest, DteContentIsTheWholeTextsContent) {
  Servicio servicio;
  const std::shared_ptr<DteDocumentBinding> dtes[] = {
      testing::LoadFixture<DteDocumentBinding>("factura_33.xml"),
      testing::LoadFixture<DteDocumentBinding>("exportacion_110.xml"),
      testing::LoadFixture<DteDocumentBinding>("liquidacion_43.xml"), TrickyFactura(),
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
  boleta->Documento()->Encabezado()->Receptor()->SetRznSocRecep("BOLETADefType ABCXYZ: €");
  detail::FillBoletaPlaceholderTed(*boleta);
  for (const bool autoFoliado : {false, true}) {
    EXPECT_EQ(detail::BoletaContent(servicio, *boleta, autoFoliado),
              BoletaContentTheLongWay(servicio, *boleta, autoFoliado))
        << autoFoliado;
  }
}

}  // namespace
}  // namespace QuarloCliente
