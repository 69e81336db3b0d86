#pragma once

#include <memory>
#include <quarlo/export.hpp>
#include <quarlo/types.hpp>
#include <string>
#include <string_view>

namespace QuarloCliente {

namespace detail {
struct XmlDocumentAccess;
}

/// One parsed XML document, owned by this object; movable, not copyable.
class QUARLO_API XmlDocument {
 public:
  /// An empty document (no root element).
  XmlDocument();
  ~XmlDocument();
  XmlDocument(XmlDocument&&) noexcept;
  XmlDocument& operator=(XmlDocument&&) noexcept;
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  /// The document that the text holds: valid UTF-8 is read as UTF-8, whatever encoding its
  /// declaration names; anything else (a file's bytes) by the encoding its declaration names
  /// (ISO-8859-1, windows-1252, US-ASCII), or as ISO-8859-1 when it names none. Text that is not
  /// well-formed XML gives an empty document; text that declares entities throws Error, since
  /// the library never expands them, and so does an encoding other than those ("la codificación
  /// UTF-16 no se admite") or a byte that the declared encoding does not have.
  static XmlDocument Parse(std::string_view text);

  /// The same as Parse of the text those bytes make, for a file read as bytes.
  static XmlDocument Parse(const Bytes& bytes);

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
