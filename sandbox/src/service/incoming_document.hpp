#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <memory>
#include <quarlo/types.hpp>
#include <string>

#include "core/xml.hpp"
#include "protocol/request.hpp"
#include "store/records.hpp"

namespace QuarloSandbox {

// The fields of a DTE or boleta that its TED stamps and the store indexes, as written.
struct DocumentFields {
  std::string form;  // Documento, Liquidacion or Exportaciones
  std::string rutEmisor;
  std::string issuerName;
  std::string tipo;
  std::string folio;
  std::string fchEmis;
  std::string rutRecep;
  std::string rznSocRecep;
  std::string mntTotal;
  std::string nmbItem;  // of the first Detalle
};

// A DTE or boleta as it arrives in a submission's Content, moved into the SII namespace (the
// library sends the DTE element without it), and completed by the sandbox: folio, TED, ID and
// TmstFirma.
class IncomingDocument {
 public:
  // Parses the content bytes with the encoding their declaration names; refuses (400) what is
  // not XML, not a DTE, or lacks the fields a TED needs.
  IncomingDocument(const QuarloCliente::Bytes& content, DocumentKind kind);

  const DocumentFields& Fields() const { return fields_; }
  DocumentKind Kind() const { return kind_; }

  void SetFolio(std::int64_t folio);
  // Replaces the document's TED with this TED element text (no namespace; it is adopted).
  void SetTed(const std::string& tedXml);
  // Sets (or adds after the TED) the signature time stamp, and the form's ID to F<folio>T<tipo>.
  void Seal(const std::string& now);

  // Refuses (400) a document the SII schema of its kind does not accept, with the first fault.
  void Validate() const;
  // The DTE element as UTF-8 text in the SII namespace, without declaration.
  std::string Xml() const;

 private:
  void ReadFields();

  DocumentKind kind_;
  QuarloCliente::detail::XmlDocPtr doc_;
  xmlNode* form_ = nullptr;
  DocumentFields fields_;
};

// A SendDocumentRequest body read once: the server reads it to count the submission, and the
// operation then works on the same reading rather than parsing the body and its document again.
struct SubmittedDocument {
  RequestBody request;
  IncomingDocument document;
};

// Parses a SendDocumentRequest body and the document its Content holds; refuses (400) as the
// operation does.
std::shared_ptr<SubmittedDocument> ReadSubmittedDocument(const std::string& body,
                                                         DocumentKind kind);

}  // namespace QuarloSandbox
