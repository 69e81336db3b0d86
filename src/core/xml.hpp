#pragma once

#include <libxml/tree.h>

#include <memory>
#include <quarlo/error.hpp>
#include <string>
#include <string_view>

namespace QuarloCliente::detail {

struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct XmlNodeFree {
  void operator()(xmlNode* node) const { xmlFreeNode(node); }
};
struct XmlCharFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
// For any other buffer libxml2 allocates and the caller must release with xmlFree.
struct XmlFreeAny {
  void operator()(void* memory) const { xmlFree(memory); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;
using XmlNodePtr = std::unique_ptr<xmlNode, XmlNodeFree>;
using XmlCharPtr = std::unique_ptr<xmlChar, XmlCharFree>;

// libxml2's global state, set up once per process before any thread parses.
void EnsureXmlInitialised();

// Thrown by the parsers for a text that declares entities, which the library never expands.
class EntitiesRefused : public Error {
 public:
  EntitiesRefused();
};

// A document parsed from bytes that arrived from the network, decoded with the encoding their
// declaration names; nullptr when the bytes are not well-formed XML; throws EntitiesRefused when
// they declare an entity. No network access, no DTD loading, libxml2's size limits kept for any
// text within its limit for one text node.
XmlDocPtr ParseNetworkXml(std::string_view bytes);

// A document parsed from text the library holds (always UTF-8), whatever encoding its
// declaration names; nullptr when the text is not well-formed XML. Same safety rules.
XmlDocPtr ParseHeldXml(std::string_view utf8);

// The XML declaration at the start of a text ("<?xml ...?>"), or "" when there is none.
std::string_view LeadingDeclaration(std::string_view text);

// The document as UTF-8 text: the given declaration (when not empty) on its own line, then the
// nodes of the document exactly as libxml2 writes them.
std::string SerializeDocument(const xmlDoc* doc, std::string_view declaration);

// The node serialised on its own, without declaration or trailing line break.
std::string NodeXml(const xmlNode* node);

// The element's text content: the text and CDATA sections below it as written, entity references
// left unread; "" for none and for no element at all.
std::string NodeText(const xmlNode* node);

// The view of a libxml2 string as UTF-8 text.
inline std::string_view View(const xmlChar* text) {
  return text == nullptr ? std::string_view{}
                         : std::string_view(reinterpret_cast<const char*>(text));
}
// The libxml2 string of a UTF-8 text.
inline const xmlChar* Xc(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}

}  // namespace QuarloCliente::detail
