#include <quarlo/binding_context.hpp>
#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>

#include "core/base64.hpp"
#include "core/payload.hpp"
#include "core/servicio_access.hpp"
#include "emission/emission.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kUtf8Declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";
constexpr std::string_view kIsoDeclaration = R"(<?xml version="1.0" encoding="ISO-8859-1"?>)";

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The document as the binding writes it for the service: the SII namespace under the marker
// prefix that the clean-up strips, two-space indentation, LF and the banner.
std::string SerializedForService(const BindingDocument& document) {
  const auto context = DefaultBindingContext();
  context->RegisterNamespace(SiiDteNamespace, "ABCXYZ");
  return document.ToXml(context, true, 2, kBindingLineEndLf, kBindingBanner);
}

// The serialised document without the marker prefix, the banner and the SII namespace
// declaration, its root named DTE whatever type name the binding wrote.
std::string CleanedText(Servicio& servicio, const BindingDocument& document,
                        std::string_view typeName) {
  std::string text =
      detail::ServicioAccess::CleanBindingXml(servicio, SerializedForService(document));
  ReplaceAll(text, typeName, "DTE");
  return text;
}

}  // namespace

namespace detail {

std::string DteContent(Servicio& servicio, const DteDocumentBinding& dte, bool autoFoliado) {
  std::string text = CleanedText(servicio, dte, "DTEDefType");
  // The serialiser writes the declaration once, at the start; '<' anywhere else is escaped.
  if (text.starts_with(kUtf8Declaration)) text.replace(0, kUtf8Declaration.size(), kIsoDeclaration);
  if (autoFoliado) text = servicio.ReplaceFolio(text, "0");
  return EncodeIsoBase64(text, Unrepresentable::CharacterReference);
}

std::string BoletaContent(Servicio& servicio, const BoletaDocumentBinding& boleta,
                          bool autoFoliado) {
  std::string text = CleanedText(servicio, boleta, "BOLETADefType");
  if (autoFoliado) text = servicio.ReplaceFolio(text, "0");
  // Sent as the UTF-8 bytes the declaration announces.
  return EncodeBase64(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace detail

std::string Servicio::BuildDocumentContent(const DteDocumentBinding& Documento, bool AutoFoliado) {
  return detail::DteContent(*this, Documento, AutoFoliado);
}

std::string Servicio::BuildDocumentContent(const BoletaDocumentBinding& Documento,
                                           bool AutoFoliado) {
  return detail::BoletaContent(*this, Documento, AutoFoliado);
}

}  // namespace QuarloCliente
