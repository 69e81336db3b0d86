#pragma once

// What the action tests share: a Servicio pointed at a loopback fixture, answers written as the
// service writes them, and readers of the request bodies that went on the wire.

#include <gtest/gtest.h>

#include <initializer_list>
#include <quarlo/servicio.hpp>
#include <string>
#include <utility>
#include <vector>

#include "core/selector.hpp"
#include "core/xml.hpp"
#include "core/xml_document.hpp"
#include "support/loopback_server.hpp"

namespace QuarloCliente::testing {

// A service answer with the given elements, in order, under one root.
inline std::string Answer(std::initializer_list<std::pair<std::string, std::string>> elements) {
  std::string xml = "<Response>";
  for (const auto& [name, value] : elements) xml += "<" + name + ">" + value + "</" + name + ">";
  return xml + "</Response>";
}

// The root's name, its namespace and its children (name and text) of a request body, as a parser
// reads them.
struct ParsedBody {
  std::string root;
  std::string nameSpace;
  std::vector<std::pair<std::string, std::string>> children;

  // The text of the named child; fails the test and gives "" when there is none.
  std::string Child(const std::string& name) const {
    for (const auto& [childName, text] : children) {
      if (childName == name) return text;
    }
    ADD_FAILURE() << "the body has no element " << name;
    return {};
  }
};

inline ParsedBody ParseBody(const std::string& body) {
  const XmlDocument document = XmlDocument::Parse(body);
  ParsedBody parsed;
  const xmlNode* root = xmlDocGetRootElement(detail::XmlDocumentAccess::Doc(document));
  if (root == nullptr) {
    ADD_FAILURE() << "the body is not XML: " << body;
    return parsed;
  }
  parsed.root = detail::WrittenName(root);
  if (root->ns != nullptr) parsed.nameSpace = std::string(detail::View(root->ns->href));
  for (const xmlNode* child = root->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    parsed.children.emplace_back(detail::WrittenName(child), detail::NodeText(child));
  }
  return parsed;
}

class ActionsTest : public ::testing::Test {
 protected:
  ActionsTest() { servicio_.Configurar(server_.BaseUrl(), "llave"); }

  LoopbackServer server_;
  Servicio servicio_;
};

}  // namespace QuarloCliente::testing
