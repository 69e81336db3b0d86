#include <libxml/tree.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <quarlo/binding_element.hpp>
#include <quarlo/error.hpp>
#include <span>
#include <utility>

#include "binding/banner.hpp"
#include "binding/document_loading.hpp"
#include "binding/node.hpp"
#include "binding/submission_text.hpp"
#include "binding/tree_writer.hpp"
#include "binding/value_check.hpp"
#include "core/document_bytes.hpp"
#include "core/xml.hpp"

namespace QuarloCliente {

namespace {

using detail::BindingNode;
using detail::BindingRootKind;
using NodePtr = std::shared_ptr<BindingNode>;

bool IsSchemaRoot(BindingRootKind kind) {
  return kind != BindingRootKind::Personalizados;
}

detail::schema::RootKind SchemaRoot(BindingRootKind kind) {
  switch (kind) {
    case BindingRootKind::Dte:
      return detail::schema::RootKind::kDte;
    case BindingRootKind::Boleta:
      return detail::schema::RootKind::kBoleta;
    case BindingRootKind::ConsumoFolios:
      return detail::schema::RootKind::kConsumoFolios;
    case BindingRootKind::LibroCompraVenta:
      return detail::schema::RootKind::kLibroCompraVenta;
    case BindingRootKind::LibroGuia:
      return detail::schema::RootKind::kLibroGuia;
    case BindingRootKind::LibroBoleta:
      return detail::schema::RootKind::kLibroBoleta;
    case BindingRootKind::Personalizados:
      break;
  }
  throw Error("el documento no tiene esquema");
}

const char* Description(BindingRootKind kind) {
  switch (kind) {
    case BindingRootKind::Dte:
      return "un DTE";
    case BindingRootKind::Boleta:
      return "una boleta";
    case BindingRootKind::ConsumoFolios:
      return "un Consumo de Folios";
    case BindingRootKind::LibroCompraVenta:
      return "un Libro de Compra/Venta";
    case BindingRootKind::LibroGuia:
      return "un Libro de Guías";
    case BindingRootKind::LibroBoleta:
      return "un Libro de Boletas";
    case BindingRootKind::Personalizados:
      return "un Personalizados";
  }
  return "un documento";
}

std::string_view BannerOf(BindingRootKind kind) {
  switch (kind) {
    case BindingRootKind::Dte:
    case BindingRootKind::Boleta:
    case BindingRootKind::Personalizados:
      return detail::kBindingBannerDocuments;
    default:
      return detail::kBindingBannerBooks;
  }
}

NodePtr NewDocumentRoot(BindingRootKind kind, bool populate) {
  if (IsSchemaRoot(kind)) return detail::NewRootNode(SchemaRoot(kind), populate);
  return detail::NewUntypedNode("", "Personalizados");
}

std::string NamespaceOf(const xmlNode* node) {
  return node->ns != nullptr ? std::string(detail::View(node->ns->href)) : std::string();
}

std::string NamespaceOf(const xmlAttr* attribute) {
  return attribute->ns != nullptr ? std::string(detail::View(attribute->ns->href)) : std::string();
}

// Builds the tree of one loaded element under the context's switches; throws at the first fault
// they do not allow. With `adopted_ns`, every element without a namespace is read as in it.
class Loader {
 public:
  Loader(const BindingOptions& options, std::string adopted_ns)
      : options_(options), adopted_ns_(std::move(adopted_ns)) {}

  void Build(const xmlNode* element, BindingNode& target, const NodePtr& self,
             const std::string& path) {
    ReadAttributes(element, target);
    std::string text;
    bool has_elements = false;
    for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
      if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
        text += detail::View(child->content);
      } else if (child->type == XML_ELEMENT_NODE) {
        has_elements = true;
        AddChild(child, target, self, path);
      }
    }
    StoreText(target, std::move(text), has_elements, path);
    for (const detail::ContentProblem& problem : detail::CheckContent(target, false)) {
      // Unknown elements were settled as they were read.
      if (problem.issue != detail::ContentIssue::kUnknown && !options_.AllowOutOfOrderElements) {
        throw Error(path + ": " + problem.message);
      }
    }
    for (const detail::ValueProblem& problem : detail::CheckAttributesAndValue(target, false)) {
      const bool allowed = problem.unknown_attribute ? options_.AllowUnknownAttributes
                                                     : options_.DeferValueValidation;
      if (!allowed) throw Error(path + ": " + problem.message);
    }
  }

 private:
  void ReadAttributes(const xmlNode* element, BindingNode& target) {
    for (const xmlAttr* attribute = element->properties; attribute != nullptr;
         attribute = attribute->next) {
      detail::XmlCharPtr value(xmlNodeListGetString(element->doc, attribute->children, 1));
      std::string text(detail::View(value.get()));
      if (options_.TrimValueWhitespace) text = std::string(detail::TrimXmlSpace(text));
      target.attributes.push_back(
          {NamespaceOf(attribute), std::string(detail::View(attribute->name)), std::move(text)});
    }
  }

  void AddChild(const xmlNode* element, BindingNode& target, const NodePtr& self,
                const std::string& path) {
    std::string ns = NamespaceOf(element);
    if (ns.empty()) ns = adopted_ns_;
    std::string name(detail::View(element->name));
    NodePtr child;
    const detail::schema::Particle* particle =
        target.untyped || target.complex_type < 0
            ? nullptr
            : detail::schema::FindParticle(target.complex_type, ns, name);
    if (particle != nullptr) {
      child = detail::NewSchemaNode(*particle, false);
    } else {
      if (!target.untyped && !options_.AllowUnknownElements) {
        throw Error(path + ": " + target.name + " no admite el elemento " + name +
                    (ns == target.ns ? std::string() : " del espacio de nombres '" + ns + "'"));
      }
      child = detail::NewUntypedNode(std::move(ns), std::move(name));
    }
    child->parent = self;
    target.children.push_back(child);
    Build(element, *child, child, path + "/" + child->name);
  }

  void StoreText(BindingNode& target, std::string text, bool has_elements,
                 const std::string& path) {
    const bool blank = detail::TrimXmlSpace(text).empty();
    if (target.TakesText()) {
      // Indentation around child elements of a free-form element is layout, not value.
      if (target.untyped && has_elements && blank) return;
      target.text =
          options_.TrimValueWhitespace ? std::string(detail::TrimXmlSpace(text)) : std::move(text);
      return;
    }
    if (!blank && !options_.AllowUnknownElements) {
      throw Error(path + ": " + target.name + " contiene elementos y no admite texto");
    }
  }

  BindingOptions options_;
  std::string adopted_ns_;
};

// The tree of a document, through the accessor every element type has.
class TreeOf : public BindingElement {
 public:
  explicit TreeOf(const BindingElement& element) : BindingElement(element) {}
  const BindingNode& Root() const { return *Node(); }
  const NodePtr& RootNode() const { return Node(); }
};

}  // namespace

BindingDocument::BindingDocument(detail::BindingRootKind kind)
    : BindingElement(NewDocumentRoot(kind, true)), kind_(kind) {}

void BindingDocument::Load(std::string_view xml, const std::shared_ptr<BindingContext>& context) {
  if (!context) throw Error("no se indicó un contexto para cargar el documento");
  std::string decoded;
  const detail::XmlDocPtr doc = detail::ParseHeldXml(detail::DocumentBytesAsUtf8(xml, decoded));
  const xmlNode* element = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (element == nullptr) throw Error("el texto no es un documento XML bien formado");
  detail::LoadDocumentElement(*this, kind_, element, context->Options());
}

namespace detail {

void LoadDocumentElement(BindingDocument& document, BindingRootKind kind, const xmlNode* element,
                         const BindingOptions& options) {
  const std::string name(View(element->name));
  const std::string ns = NamespaceOf(element);
  const NodePtr fresh = NewDocumentRoot(kind, false);
  if (name != fresh->name) {
    throw Error(std::string("el documento no es ") + Description(kind) + ": el elemento raíz es " +
                name);
  }
  // Standalone documents are often stored without the SII's namespace; such a root is read as
  // in it, with every descendant that has none, while a root in another namespace is not ours.
  const bool adopts_namespace = IsSchemaRoot(kind) && ns.empty();
  if (IsSchemaRoot(kind) && !adopts_namespace && ns != fresh->ns) {
    throw Error("el elemento raíz " + name + " no está en el espacio de nombres " + fresh->ns +
                " sino en " + ns);
  }
  if (!IsSchemaRoot(kind)) fresh->ns = ns;
  Loader(options, adopts_namespace ? fresh->ns : std::string()).Build(element, *fresh, fresh, name);

  // The root node keeps its identity, so that handles to the document stay valid; its former
  // children are detached.
  const NodePtr node = TreeOf(document).RootNode();
  BindingNode& root = *node;
  for (const auto& child : root.children) child->parent.reset();
  root.ns = std::move(fresh->ns);
  root.attributes = std::move(fresh->attributes);
  root.text = std::move(fresh->text);
  root.children = std::move(fresh->children);
  for (const auto& child : root.children) child->parent = node;
}

}  // namespace detail

void BindingDocument::Load(const Bytes& xml, const std::shared_ptr<BindingContext>& context) {
  Load(std::string_view(reinterpret_cast<const char*>(xml.data()), xml.size()), context);
}

Bytes BindingDocument::Serialize(const std::shared_ptr<BindingContext>& context, bool declaration,
                                 int indentation, int lineEnd, int flags) const {
  const std::string text = ToXml(context, declaration, indentation, lineEnd, flags);
  return Bytes(text.begin(), text.end());
}

std::string BindingDocument::ToXml(const std::shared_ptr<BindingContext>& context, bool declaration,
                                   int indentation, int lineEnd, int flags) const {
  if (!context) throw Error("no se indicó un contexto para escribir el documento");
  if (indentation < 0 || indentation > 16) {
    throw Error("la sangría debe estar entre 0 y 16 espacios, no " + std::to_string(indentation));
  }
  if (lineEnd != kBindingLineEndLf && lineEnd != kBindingLineEndCrLf) {
    throw Error("el fin de línea " + std::to_string(lineEnd) + " no existe (0: LF, 1: CR LF)");
  }
  if ((flags & ~(kBindingExpandEmpty | kBindingBanner)) != 0) {
    throw Error("las opciones de formato " + std::to_string(flags) + " no existen");
  }
  const std::map<std::string, std::string> prefixes = context->Namespaces();
  const std::string_view line_end = lineEnd == kBindingLineEndCrLf ? "\r\n" : "\n";
  std::string out;
  if (declaration) {
    out += detail::kUtf8Declaration;
    out += line_end;
  }
  if ((flags & kBindingBanner) != 0) {
    out += BannerOf(kind_);
    out += "\r\n";
  }
  const detail::TreeLayout layout{indentation, line_end, (flags & kBindingExpandEmpty) != 0};
  detail::WriteTree(*Node(), prefixes, layout, {},
                    [&out](std::string_view piece) { out += piece; });
  return out;
}

namespace detail {

void WriteSubmissionXml(const BindingDocument& document,
                        const std::shared_ptr<BindingContext>& context,
                        const SubmissionMarkup& markup,
                        const std::function<void(std::string_view)>& take) {
  if (!context) throw Error("no se indicó un contexto para escribir el documento");
  const std::map<std::string, std::string> prefixes = context->Namespaces();
  detail::WriteTree(TreeOf(document).Root(), prefixes, {2, "\n", false}, markup, take);
}

namespace {

// The first element in document order at the path below `node`, names matched as written.
const BindingNode* FirstAt(const BindingNode& node, std::span<const std::string_view> path) {
  if (path.empty()) return &node;
  for (const auto& child : node.children) {
    if (child->name != path.front()) continue;
    if (const BindingNode* found = FirstAt(*child, path.subspan(1))) return found;
  }
  return nullptr;
}

}  // namespace

const BindingNode* SubmittedFolioNode(const BindingDocument& document) {
  for (const std::string_view form : {"Documento", "Exportaciones", "Liquidacion"}) {
    const std::array<std::string_view, 4> path{form, "Encabezado", "IdDoc", "Folio"};
    if (const BindingNode* folio = FirstAt(TreeOf(document).Root(), path)) return folio;
  }
  return nullptr;
}

std::string SubmissionXml(const BindingDocument& document,
                          const std::shared_ptr<BindingContext>& context,
                          const SubmissionMarkup& markup) {
  std::string out(detail::kUtf8Declaration);
  out += '\n';
  WriteSubmissionXml(document, context, markup, [&out](std::string_view piece) { out += piece; });
  return out;
}

}  // namespace detail

}  // namespace QuarloCliente
