#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace QuarloCliente {

namespace detail {
struct XmlDocumentAccess;
}

/// One parsed XML document, owned by this object; movable, not copyable.
class XmlDocument {
 public:
  /// An empty document (no root element).
  XmlDocument();
  ~XmlDocument();
  XmlDocument(XmlDocument&&) noexcept;
  XmlDocument& operator=(XmlDocument&&) noexcept;
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  /// The document that UTF-8 text holds, read as UTF-8 whatever encoding its declaration names;
  /// text that is not well-formed XML gives an empty document; text that declares entities
  /// throws Error, since the library never expands them.
  static XmlDocument Parse(std::string_view utf8);

  /// True when the document has no root element (nothing parsed).
  bool IsEmpty() const;

  /// The document as UTF-8 text, with its XML declaration as it was written; "" when empty.
  std::string Xml() const;

 private:
  friend struct detail::XmlDocumentAccess;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace QuarloCliente
