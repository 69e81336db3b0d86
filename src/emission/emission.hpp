#pragma once

#include <cstdint>
#include <memory>
#include <quarlo/binding_dte.hpp>
#include <quarlo/error.hpp>
#include <quarlo/resultados.hpp>
#include <quarlo/servicio.hpp>
#include <quarlo/types.hpp>
#include <span>
#include <string>
#include <string_view>

// The building blocks of the DTE and boleta submissions, shared by Servicio's members and the
// emission benchmark.
namespace QuarloCliente::detail {

struct HttpAnswer;

// The caller's document; throws Error when the caller passed none.
template <class Document>
Document& RequireDocument(const std::shared_ptr<Document>& document) {
  if (!document) throw Error("no se indicó el documento");
  return *document;
}

// Writes the placeholder stamp into the DTE's form (Documento, then Liquidacion, then
// Exportaciones) and sets the version of every DTE; a DTE without a form only gets its version.
// Throws Error when a part the stamp copies from is missing or invalid.
void FillDtePlaceholderTed(DteDocumentBinding& dte);
// The same for a boleta, whose MntTotal must fit 32 bits; its TmstFirma is left alone.
void FillBoletaPlaceholderTed(BoletaDocumentBinding& boleta);

// The bytes a DTE's Content encodes: ISO-8859-1 under an ISO-8859-1 declaration, a character
// beyond it written as a character reference; with autoFoliado, IdDoc/Folio 0 (nothing when the
// DTE has no form). The folio is written as such, so `servicio` is no longer read.
Bytes DteContentBytes(Servicio& servicio, const DteDocumentBinding& dte, bool autoFoliado);
// The bytes a boleta's Content encodes: the serialiser's UTF-8 bytes under their UTF-8
// declaration.
Bytes BoletaContentBytes(Servicio& servicio, const BoletaDocumentBinding& boleta, bool autoFoliado);
// The Base64 Content of a DTE, of its DteContentBytes.
std::string DteContent(Servicio& servicio, const DteDocumentBinding& dte, bool autoFoliado);
// The Base64 Content of a boleta, of its BoletaContentBytes.
std::string BoletaContent(Servicio& servicio, const BoletaDocumentBinding& boleta,
                          bool autoFoliado);

// What a SendDocumentRequest carries besides the encoded Content.
struct SendOptions {
  std::string_view ambiente;
  std::string_view fechaResolucion;
  Integer nroResolucion;
  Integer tipoPdf417;
  Integer columnas;
  Integer nivel;
  // The caller's TED as XML text, "" for none.
  std::string_view ted;
};

// The one-line SendDocumentRequest body, its Content the Base64 of the content bytes; the TED
// travels as Base64 of its ISO-8859-1 bytes (a character beyond them as a character reference),
// an empty element when there is none.
std::string SendDocumentBody(std::span<const std::uint8_t> content, const SendOptions& options);

// Copies the parsed answer into the operation's own result, then, for the font barcode type of a
// successful answer, turns Pdf417 into the barcode's text; throws Error when it is not Base64.
void AdoptSendAnswer(ResultadoEnviarDocumento& result, const ResultadoEnviarDocumento& answer,
                     Integer tipoPdf417);

// A submission's answer as its result: Estado, Descripcion, the stamped TED (decoded from
// ISO-8859-1 Base64) and the PDF417 text; a failure under "Error Enviando DTE: ".
std::shared_ptr<ResultadoEnviarDocumento> ParseSendDocumentResponse(const HttpAnswer& response);

}  // namespace QuarloCliente::detail
