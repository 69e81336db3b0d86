#include <quarlo/binding_context.hpp>
#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>

#include "binding/submission_text.hpp"
#include "core/base64.hpp"
#include "core/binding_cleanup.hpp"
#include "core/charset.hpp"
#include "core/find_text.hpp"
#include "emission/emission.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kUtf8Declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";
constexpr std::string_view kIsoDeclaration = R"(<?xml version="1.0" encoding="ISO-8859-1"?>)";

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (auto at = detail::FindText(text, from); at != std::string::npos;
       at = detail::FindText(text, from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The document as the service takes it: the binding's submission text (the SII namespace under
// the "ABCXYZ" marker, two-space indentation, LF, the banner) without the marker, the banners and
// the SII namespace declaration, its root named DTE whatever type name the binding wrote. The
// text is written without the marker and the banner to begin with, so that the clean-up finds
// nothing to remove element by element; the marker is still registered on the shared context,
// where callers may see it.
std::string CleanedText(const BindingDocument& document, std::string_view typeName) {
  constexpr std::string_view kMarker = "ABCXYZ";
  const auto context = DefaultBindingContext();
  context->RegisterNamespace(SiiDteNamespace, kMarker);
  std::string text = detail::MarkerFreeXml(document, context, kMarker);
  detail::CleanBindingText(text, false);
  ReplaceAll(text, typeName, "DTE");
  return text;
}

}  // namespace

namespace detail {

Bytes DteContentBytes(Servicio& servicio, const DteDocumentBinding& dte, bool autoFoliado) {
  std::string text = CleanedText(dte, "DTEDefType");
  // The serialiser writes the declaration once, at the start; '<' anywhere else is escaped.
  const bool declared = text.starts_with(kUtf8Declaration);
  if (autoFoliado) {
    if (declared) text.replace(0, kUtf8Declaration.size(), kIsoDeclaration);
    return Utf8ToLatin1(servicio.ReplaceFolio(text, "0"), Unrepresentable::CharacterReference);
  }
  // The ISO declaration goes first and the rest is converted after it, rather than spliced into
  // the text, which would move the whole document: both are ASCII up to the same boundary.
  const std::string_view rest =
      declared ? std::string_view(text).substr(kUtf8Declaration.size()) : std::string_view(text);
  Bytes bytes;
  if (declared) bytes.assign(kIsoDeclaration.begin(), kIsoDeclaration.end());
  AppendLatin1(bytes, rest, Unrepresentable::CharacterReference);
  return bytes;
}

Bytes BoletaContentBytes(Servicio& servicio, const BoletaDocumentBinding& boleta,
                         bool autoFoliado) {
  std::string text = CleanedText(boleta, "BOLETADefType");
  if (autoFoliado) text = servicio.ReplaceFolio(text, "0");
  // Sent as the UTF-8 bytes the declaration announces.
  return Bytes(text.begin(), text.end());
}

std::string DteContent(Servicio& servicio, const DteDocumentBinding& dte, bool autoFoliado) {
  return EncodeBase64(DteContentBytes(servicio, dte, autoFoliado));
}

std::string BoletaContent(Servicio& servicio, const BoletaDocumentBinding& boleta,
                          bool autoFoliado) {
  return EncodeBase64(BoletaContentBytes(servicio, boleta, autoFoliado));
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
