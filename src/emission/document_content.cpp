#include <quarlo/namespaces.hpp>
#include <quarlo/servicio.hpp>

#include "binding/library_contexts.hpp"
#include "binding/submission_text.hpp"
#include "core/base64.hpp"
#include "core/charset.hpp"
#include "emission/emission.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kIsoDeclaration = R"(<?xml version="1.0" encoding="ISO-8859-1"?>)";

// The document as the service takes it: the binding's submission text (the SII namespace under
// the "ABCXYZ" marker, two-space indentation, LF, the banner) without the marker, the banners and
// the SII namespace declaration, its root named DTE (the binding writes no type name there). The
// markup is written that way to begin with, and the values as the caller set them: a clean-up and
// a rename over the whole text would also change a product name or a receiver's name that happens
// to hold one of their pieces, in a legal document.
constexpr detail::SubmissionMarkup kMarkup{detail::kSubmissionMarker, SiiDteNamespace};

// The content's bytes: the declaration, a line feed and the submission text, each piece
// converted by `append` as the writer hands it over. With autoFoliado the IdDoc Folio is written
// 0: the text the document's own text gives once its folio is replaced and it is written again,
// without that second reading and writing; nothing when there is no such folio.
template <class Append>
Bytes ContentBytes(const BindingDocument& document, std::string_view declaration, bool autoFoliado,
                   Append&& append) {
  detail::SubmissionMarkup markup = kMarkup;
  if (autoFoliado) {
    markup.replaced = detail::SubmittedFolioNode(document);
    if (markup.replaced == nullptr) return {};
    markup.replaced_text = "0";
  }
  Bytes bytes(declaration.begin(), declaration.end());
  bytes.push_back('\n');
  detail::WriteSubmissionXml(document, detail::SubmissionContext(), markup,
                             [&](std::string_view piece) { append(bytes, piece); });
  return bytes;
}

}  // namespace

namespace detail {

Bytes DteContentBytes([[maybe_unused]] Servicio& servicio, const DteDocumentBinding& dte,
                      bool autoFoliado) {
  // Both declarations and the markup around the values are ASCII: the text is converted as it is
  // written, under the ISO declaration.
  return ContentBytes(dte, kIsoDeclaration, autoFoliado, [](Bytes& bytes, std::string_view piece) {
    AppendLatin1(bytes, piece, Unrepresentable::CharacterReference);
  });
}

Bytes BoletaContentBytes([[maybe_unused]] Servicio& servicio, const BoletaDocumentBinding& boleta,
                         bool autoFoliado) {
  // Sent as the UTF-8 bytes the declaration announces.
  return ContentBytes(boleta, detail::kUtf8Declaration, autoFoliado,
                      [](Bytes& bytes, std::string_view piece) {
                        bytes.insert(bytes.end(), piece.begin(), piece.end());
                      });
}

std::string DteContent(Servicio& servicio, const DteDocumentBinding& dte, bool autoFoliado) {
  return EncodeBase64(DteContentBytes(servicio, dte, autoFoliado));
}

std::string BoletaContent(Servicio& servicio, const BoletaDocumentBinding& boleta,
                          bool autoFoliado) {
  return EncodeBase64(BoletaContentBytes(servicio, boleta, autoFoliado));
}

}  // namespace detail

}  // namespace QuarloCliente
