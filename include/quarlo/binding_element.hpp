#pragma once

#include <quarlo/export.hpp>

// The element model shared by the six SII document bindings: every element of a document is a
// BindingElement, reached and built through paths of element names that follow the SII schema.
//
// Paths are element names separated by "/", relative to the element they are used on:
// "Encabezado/Emisor/GiroEmis". A step may carry a 1-based occurrence, "Detalle[2]" (without it
// a step means the first occurrence); the last step of Get and Set may be "@name", an attribute.
// An empty path is the element itself. Names are local names; the schema gives each its
// namespace.
//
// Elements created through a path or a typed setter are inserted at their place in the schema's
// sequence, whatever the order of the calls, so a document built in code is in schema order.
// A new element also gets its fixed attributes (version="1.0" and the like) and the complex
// children the schema requires (an Encabezado gets IdDoc, Emisor, Receptor and Totales); repeated
// elements, members of a choice, signatures and simple values are left to the caller. Every value
// set is checked against its schema type at once (an Error names the element and the fault).
//
// Elements are handles: copies and the std::shared_ptr the getters return refer to the same node
// of the document. A removed element stays usable, detached from its document. A document and
// its elements are used by one thread at a time.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <quarlo/binding_context.hpp>
#include <quarlo/binding_values.hpp>
#include <quarlo/types.hpp>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace QuarloCliente {

namespace detail {
struct BindingNode;
struct ElementNodes;
enum class BindingRootKind : std::uint8_t {
  Dte,
  Boleta,
  ConsumoFolios,
  LibroCompraVenta,
  LibroGuia,
  LibroBoleta,
  Personalizados,
};
}  // namespace detail

/// One element of a binding document.
class QUARLO_API BindingElement {
 public:
  /// The element that the library's node stands for; documents hand elements out, callers do not
  /// make them.
  explicit BindingElement(std::shared_ptr<detail::BindingNode> node);
  virtual ~BindingElement();
  BindingElement(const BindingElement&) = default;
  BindingElement& operator=(const BindingElement&) = default;

  /// The local name ("Encabezado").
  const std::string& Name() const;
  /// The namespace URI ("http://www.sii.cl/SiiDte"), "" for none.
  const std::string& NamespaceUri() const;
  /// True when the schema declares the element; false for a free-form element and for an
  /// unknown element kept by a lenient load.
  bool IsDeclared() const;
  /// The parent element, or nullptr for a root or a removed element.
  std::shared_ptr<BindingElement> Parent() const;
  /// True when both handles refer to the same element.
  bool SameAs(const BindingElement& other) const;

  /// The element's own text value ("" when it has none).
  const std::string& Text() const;
  /// Sets the element's own text value; throws Error when the element holds elements instead of
  /// a value, or the text does not fit its type.
  BindingElement& SetText(std::string_view text);
  /// The value of an attribute, or std::nullopt when it is absent.
  std::optional<std::string> Attribute(std::string_view name) const;
  /// Sets an attribute; throws Error when the schema declares no such attribute for the element,
  /// the value does not fit its type, or it differs from the attribute's fixed value.
  BindingElement& SetAttribute(std::string_view name, std::string_view value);
  /// Removes an attribute; false when it was absent.
  bool RemoveAttribute(std::string_view name);

  /// True when the path selects an element (or attribute).
  bool Has(std::string_view path) const;
  /// The element the path selects, or nullptr; never creates anything. Throws Error for a
  /// malformed path.
  std::shared_ptr<BindingElement> Find(std::string_view path) const;
  /// Every occurrence of the last step of the path, in document order (the earlier steps take
  /// their first or indexed occurrence); empty when there is none.
  std::vector<std::shared_ptr<BindingElement>> FindAll(std::string_view path) const;
  /// The number of occurrences FindAll would return.
  std::size_t Count(std::string_view path) const;
  /// The child elements in document order.
  std::vector<std::shared_ptr<BindingElement>> Children() const;

  /// The text value at the path; throws Error when nothing is there ("falta el elemento Folio en
  /// IdDoc").
  std::string Get(std::string_view path) const;
  /// The integer at the path; throws Error when absent or not an integer.
  BindingInteger GetInteger(std::string_view path) const;
  /// The decimal at the path; throws Error when absent or not a decimal.
  BindingDecimal GetDecimal(std::string_view path) const;
  /// The date, date-time, year-month or year at the path, of the kind its schema type says;
  /// throws Error when absent or not a valid value.
  BindingDateTime GetDateTime(std::string_view path) const;
  /// The bytes of the Base64 value at the path; throws Error when absent or not Base64.
  Bytes GetBytes(std::string_view path) const;

  /// The element at the path, created with any missing element on the way (each at its schema
  /// place); an index may name one occurrence past the last, which is appended. Throws Error for
  /// a name the schema does not declare there, a full repeated element, a member of a choice
  /// whose other member is present, or an index further past the end.
  std::shared_ptr<BindingElement> Element(std::string_view path);
  /// A new occurrence of the path's last step, after its existing occurrences; earlier steps are
  /// found or created as in Element. Throws Error when the element is not repeatable and already
  /// present, or its maximum is reached ("Documento admite como máximo 60 elementos Detalle").
  std::shared_ptr<BindingElement> Append(std::string_view path);
  /// Sets the text value (or attribute) at the path, creating what is missing as Element does;
  /// throws Error as Element and SetText do. Returns this element, so that calls chain.
  BindingElement& Set(std::string_view path, std::string_view text);
  /// Sets an integer value at the path, written in canonical form.
  BindingElement& Set(std::string_view path, std::int64_t value);
  /// Sets an unsigned integer value at the path, written in canonical form.
  BindingElement& Set(std::string_view path, std::uint64_t value);
  /// Sets a number at the path as the decimal it is, in its shortest round-trip form ("19.5"),
  /// rounded half away from zero to the element's fraction digits where its type limits them;
  /// throws Error naming the element for NaN, an infinity, or a fraction given to an integer
  /// element (19.0 writes "19" there).
  BindingElement& Set(std::string_view path, double value);
  /// The same for a float, written in the shortest form that reads back as that float ("0.1").
  BindingElement& Set(std::string_view path, float value);
  /// Sets a number of any other arithmetic type (int, long long, unsigned, size_t, long double)
  /// through the 64-bit or double setter above, so that no call is ambiguous or cut.
  template <class T>
  requires std::is_arithmetic_v<T> BindingElement& Set(std::string_view path, T value) {
    if constexpr (std::is_floating_point_v<T>) {
      return Set(path, static_cast<double>(value));
    } else if constexpr (std::is_signed_v<T>) {
      return Set(path, static_cast<std::int64_t>(value));
    } else {
      return Set(path, static_cast<std::uint64_t>(value));
    }
  }
  /// Sets an integer value at the path, written in canonical form.
  BindingElement& Set(std::string_view path, const BindingInteger& value);
  /// Sets a decimal value at the path; an integer element takes it when it has no fraction.
  BindingElement& Set(std::string_view path, const BindingDecimal& value);
  /// Sets a date or date-time at the path; throws Error when its kind is not the element's (a
  /// date-time for an xs:date element).
  BindingElement& Set(std::string_view path, const BindingDateTime& value);
  /// Sets a Base64 value at the path: "==" and "" are the empty value, line breaks are dropped;
  /// throws Error when the text is not Base64.
  BindingElement& SetBase64(std::string_view path, std::string_view base64);
  /// Sets a Base64 value at the path from the bytes it encodes.
  BindingElement& SetBytes(std::string_view path, const Bytes& bytes);
  /// Removes the element (or attribute) at the path with all it holds; false when absent.
  bool Remove(std::string_view path);

  /// Every fault of this element and all below it against the schema: missing required elements
  /// and attributes, unknown ones, wrong order or number, invalid values; each prefixed with its
  /// path ("DTE/Documento/Encabezado/IdDoc: falta el elemento Folio en IdDoc"). Empty when the
  /// element follows its schema type. A required signature that is absent is not reported: the
  /// signer adds it.
  std::vector<std::string> Problems() const;
  /// Throws Error with the first fault Problems reports; returns when there is none.
  void Validate() const;

 protected:
  /// The child at the path as a T; throws Error when absent.
  template <class T>
  std::shared_ptr<T> Child(std::string_view path) const {
    return std::make_shared<T>(RequireNode(path));
  }
  /// The child at the path as a T, or nullptr when absent.
  template <class T>
  std::shared_ptr<T> OptionalChild(std::string_view path) const {
    auto node = FindNode(path);
    return node ? std::make_shared<T>(std::move(node)) : nullptr;
  }
  /// The child at the path as a T, created when absent.
  template <class T>
  std::shared_ptr<T> EnsureChild(std::string_view path) {
    return std::make_shared<T>(CreateNode(path));
  }
  /// A new occurrence of the path's last step as a T.
  template <class T>
  std::shared_ptr<T> AppendChild(std::string_view path) {
    return std::make_shared<T>(AppendNode(path));
  }
  /// A new, empty child of that name as a T, replacing the element of that name and any other
  /// member of its choice.
  template <class T>
  std::shared_ptr<T> ReplaceChild(std::string_view name) {
    return std::make_shared<T>(ReplaceNode(name));
  }
  /// Every occurrence of the path's last step as a T.
  template <class T>
  std::vector<std::shared_ptr<T>> ChildrenAt(std::string_view path) const {
    std::vector<std::shared_ptr<T>> result;
    for (auto& node : FindNodes(path)) result.push_back(std::make_shared<T>(std::move(node)));
    return result;
  }
  /// The occurrence `item` (1-based) of the path's last step as a T; throws Error when there is no
  /// such occurrence.
  template <class T>
  std::shared_ptr<T> ItemAt(std::string_view path, std::size_t item) const {
    return std::make_shared<T>(RequireItem(path, item));
  }

  const std::shared_ptr<detail::BindingNode>& Node() const { return node_; }

 private:
  friend struct detail::ElementNodes;

  std::shared_ptr<detail::BindingNode> RequireNode(std::string_view path) const;
  std::shared_ptr<detail::BindingNode> FindNode(std::string_view path) const;
  std::vector<std::shared_ptr<detail::BindingNode>> FindNodes(std::string_view path) const;
  std::shared_ptr<detail::BindingNode> RequireItem(std::string_view path, std::size_t item) const;
  std::shared_ptr<detail::BindingNode> CreateNode(std::string_view path);
  std::shared_ptr<detail::BindingNode> AppendNode(std::string_view path);
  std::shared_ptr<detail::BindingNode> ReplaceNode(std::string_view name);

  std::shared_ptr<detail::BindingNode> node_;
};

/// The root element of a document, which can be loaded from XML text and serialised.
class QUARLO_API BindingDocument : public BindingElement {
 public:
  /// A document is shared through std::shared_ptr; a copy would silently share its tree.
  BindingDocument(const BindingDocument&) = delete;
  BindingDocument& operator=(const BindingDocument&) = delete;

  /// Replaces the whole content with the document the XML text holds. The text is the file's bytes
  /// (or UTF-8 text): valid UTF-8 is read as UTF-8, anything else by the encoding its declaration
  /// names (ISO-8859-1, windows-1252, US-ASCII), or as ISO-8859-1 when it names none. A root of
  /// the right name without a namespace (<DTE version="1.0">) is read, with every descendant that
  /// has none, as in the SII's namespace, and is written back in it. Throws Error, leaving the
  /// document as it was, when the text is not XML, its encoding is not one of those ("la
  /// codificación UTF-16 no se admite") or holds a byte that encoding lacks, its root has another
  /// name or namespace ("el documento no es un DTE: el elemento raíz es EnvioDTE"), or, as far as
  /// the context's switches do not allow it, an element is unknown, out of order or too frequent,
  /// an attribute is unknown, or a value does not fit its type. Required elements that are absent
  /// are not refused (Validate reports them). Throws Error when the context is null.
  void Load(std::string_view xml, const std::shared_ptr<BindingContext>& context);

  /// The same as Load of the text those bytes make, for a file read as bytes.
  void Load(const Bytes& xml, const std::shared_ptr<BindingContext>& context);

  /// The document as UTF-8 bytes, every element of a namespace registered in the context written
  /// with its prefix (declared on the root) and every other namespace as a default namespace.
  /// - declaration: true opens the text with <?xml version="1.0" encoding="UTF-8"?> and a line end.
  /// - indentation: 0 writes the elements on one line without whitespace between them; 1 to 16
  ///   puts each element on its own line, indented by that many spaces per level.
  /// - lineEnd: kBindingLineEndLf (0) or kBindingLineEndCrLf (1), the line ends between elements,
  ///   after the declaration and at the end of an indented document.
  /// - flags: kBindingExpandEmpty (1) writes empty elements as <a></a>, kBindingBanner (2) puts the
  ///   library's banner comment, followed by CR LF, right after the declaration (one banner for
  ///   DTE, boleta and Personalizados, another for the folio report and the books).
  /// The submissions call Serialize(context, true, 2, 0, 2): declaration, two-space indentation,
  /// LF line ends, banner. The DTE and boleta roots are written as "DTE". Throws Error for a null
  /// context or an option out of range; never changes the document.
  Bytes Serialize(const std::shared_ptr<BindingContext>& context, bool declaration, int indentation,
                  int lineEnd, int flags) const;

  /// The document as UTF-8 text, serialised as Serialize does; by default readable text with the
  /// declaration, two-space indentation, LF line ends and no banner.
  std::string ToXml(const std::shared_ptr<BindingContext>& context, bool declaration = true,
                    int indentation = 2, int lineEnd = kBindingLineEndLf, int flags = 0) const;

 protected:
  /// A new document of that root, with the root's fixed attributes and mandatory parts.
  explicit BindingDocument(detail::BindingRootKind kind);

 private:
  detail::BindingRootKind kind_;
};

}  // namespace QuarloCliente
