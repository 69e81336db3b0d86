#pragma once

// Readers of what the book operations put on the wire: the request's shape, its elements and the
// document carried Base64-encoded inside it, as the exact bytes the service receives.

#include <libxml/tree.h>

#include <quarlo/namespaces.hpp>
#include <quarlo/xml_document.hpp>
#include <string>
#include <string_view>

#include "core/base64.hpp"
#include "core/selector.hpp"
#include "core/xml_document.hpp"
#include "support/loopback_server.hpp"

namespace QuarloCliente::testing {

// The text of the first element or attribute the path selects in an XML text; "(none)" when
// nothing is selected.
inline std::string ValueAt(std::string_view xml, std::string_view path) {
  const XmlDocument document = XmlDocument::Parse(xml);
  const xmlNode* node = detail::SelectFirst(detail::XmlDocumentAccess::Doc(document), path);
  return node ? detail::NodeText(node) : "(none)";
}

// "target root: child child ...", with "(api)" after the root when it declares the service's
// namespace, so that one comparison covers the path, the root and every element in order.
inline std::string Shape(const RecordedRequest& request) {
  const XmlDocument body = XmlDocument::Parse(request.body);
  const xmlNode* root = xmlDocGetRootElement(detail::XmlDocumentAccess::Doc(body));
  if (root == nullptr) return request.target + " (no XML)";
  std::string shape = request.target + " " + detail::WrittenName(root);
  if (root->ns && detail::View(root->ns->href) == ApiNamespace) shape += "(api)";
  shape += ":";
  for (const xmlNode* child = root->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) shape += " " + detail::WrittenName(child);
  }
  return shape;
}

// The text of one element of the request body.
inline std::string Field(const RecordedRequest& request, std::string_view name) {
  return ValueAt(request.body, "//" + std::string(name));
}

// The bytes a Base64 element of the body stands for, unconverted.
inline std::string DecodedField(const RecordedRequest& request, std::string_view name) {
  const Bytes bytes = detail::DecodeBase64(Field(request, name));
  return std::string(bytes.begin(), bytes.end());
}

// The written name of the root element's last child element, "(none)" when it has none.
inline std::string LastChildOfRoot(std::string_view xml) {
  const XmlDocument document = XmlDocument::Parse(xml);
  xmlNode* root = xmlDocGetRootElement(detail::XmlDocumentAccess::Doc(document));
  const xmlNode* last = root ? xmlLastElementChild(root) : nullptr;
  return last ? detail::WrittenName(last) : "(none)";
}

// A base URI on which nothing listens, so that every exchange is refused.
inline std::string RefusingServiceUrl() {
  const LoopbackServer gone;
  return gone.BaseUrl();
}

}  // namespace QuarloCliente::testing
