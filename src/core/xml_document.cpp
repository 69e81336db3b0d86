#include "core/xml_document.hpp"

#include <quarlo/error.hpp>

#include "core/document_bytes.hpp"

namespace QuarloCliente {

struct XmlDocument::Impl {
  detail::XmlDocPtr doc;
  std::string declaration;
};

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>()) {}
XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;

XmlDocument XmlDocument::Parse(std::string_view text) {
  std::string decoded;
  const std::string_view utf8 = detail::DocumentBytesAsUtf8(text, decoded);
  XmlDocument document;
  document.impl_->doc = detail::ParseHeldXml(utf8);
  if (document.impl_->doc) document.impl_->declaration = detail::LeadingDeclaration(utf8);
  return document;
}

XmlDocument XmlDocument::Parse(const Bytes& bytes) {
  return Parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool XmlDocument::IsEmpty() const {
  return !impl_ || !impl_->doc || xmlDocGetRootElement(impl_->doc.get()) == nullptr;
}

std::string XmlDocument::Xml() const {
  if (IsEmpty()) return {};
  return detail::SerializeDocument(impl_->doc.get(), impl_->declaration);
}

namespace detail {

xmlDoc* XmlDocumentAccess::Doc(const XmlDocument& document) {
  if (!document.impl_) throw Error("no hay documento XML");
  return document.impl_->doc.get();
}

const std::string& XmlDocumentAccess::Declaration(const XmlDocument& document) {
  if (!document.impl_) throw Error("no hay documento XML");
  return document.impl_->declaration;
}

XmlDocument XmlDocumentAccess::Adopt(XmlDocPtr doc, std::string declaration) {
  XmlDocument document;
  document.impl_->doc = std::move(doc);
  if (document.impl_->doc) document.impl_->declaration = std::move(declaration);
  return document;
}

std::string SerializeKeepingDeclaration(const XmlDocument& document) {
  return document.Xml();
}

}  // namespace detail

}  // namespace QuarloCliente
