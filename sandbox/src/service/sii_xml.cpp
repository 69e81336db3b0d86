#include "service/sii_xml.hpp"

#include <quarlo/namespaces.hpp>

#include "core/selector.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {

namespace qd = QuarloCliente::detail;

xmlNode* ChildElement(const xmlNode* parent, std::string_view name) {
  if (parent == nullptr) return nullptr;
  for (xmlNode* child = parent->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && qd::View(child->name) == name) return child;
  }
  return nullptr;
}

xmlNode* ElementAt(const xmlNode* from, std::string_view path) {
  auto* current = const_cast<xmlNode*>(from);
  while (current != nullptr && !path.empty()) {
    const auto slash = path.find('/');
    current = ChildElement(current, path.substr(0, slash));
    path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
  }
  return current;
}

std::string TextAt(const xmlNode* from, std::string_view path) {
  const xmlNode* element = ElementAt(from, path);
  return element ? qd::NodeText(element) : std::string{};
}

void SetText(xmlNode* element, std::string_view text) {
  const std::string value(text);
  xmlChar* escaped = xmlEncodeSpecialChars(element->doc, qd::Xc(value.c_str()));
  xmlNodeSetContent(element, escaped);
  xmlFree(escaped);
}

namespace {

void AdoptInto(xmlNode* node, xmlNs* ns) {
  for (; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    if (node->ns == nullptr) xmlSetNs(node, ns);
    AdoptInto(node->children, ns);
  }
}

}  // namespace

void AdoptSiiNamespace(xmlNode* root) {
  const std::string uri(QuarloCliente::SiiDteNamespace);
  xmlNs* ns = xmlSearchNsByHref(root->doc, root, qd::Xc(uri.c_str()));
  if (ns == nullptr || ns->prefix != nullptr) ns = xmlNewNs(root, qd::Xc(uri.c_str()), nullptr);
  if (ns == nullptr) throw SandboxError(500, "no se pudo declarar el espacio de nombres del SII");
  if (root->ns == nullptr) xmlSetNs(root, ns);
  AdoptInto(root->children, ns);
}

qd::XmlDocPtr ParseDocumentBytes(const QuarloCliente::Bytes& bytes, std::string_view field) {
  auto doc = qd::ParseNetworkXml(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (!doc || xmlDocGetRootElement(doc.get()) == nullptr) {
    throw SandboxError(400, "el elemento " + std::string(field) + " no contiene XML bien formado");
  }
  return doc;
}

const std::shared_ptr<QuarloCliente::BindingContext>& StrictBindingContext() {
  static const auto context = std::make_shared<QuarloCliente::BindingContext>();
  return context;
}

std::string ElementXml(const xmlNode* element) {
  return qd::OuterXml(element);
}

}  // namespace QuarloSandbox
