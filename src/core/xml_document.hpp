#pragma once

#include <quarlo/xml_document.hpp>

#include "core/xml.hpp"

namespace QuarloCliente::detail {

// The libxml2 document behind an XmlDocument, for the library's own code.
struct XmlDocumentAccess {
  // The document, or nullptr when the XmlDocument is empty; throws Error for a moved-from one.
  static xmlDoc* Doc(const XmlDocument& document);
  // The declaration the parsed text began with ("" when none), kept for re-serialisation.
  static const std::string& Declaration(const XmlDocument& document);
  // An XmlDocument owning an already parsed document, as if parsed from a text that began with
  // that declaration.
  static XmlDocument Adopt(XmlDocPtr doc, std::string declaration);
};

// The text of the document with its original declaration.
std::string SerializeKeepingDeclaration(const XmlDocument& document);

}  // namespace QuarloCliente::detail
