#include "console/pretty_xml.hpp"

#include <libxml/xmlsave.h>

#include <memory>

#include "core/xml.hpp"

namespace QuarloSandbox {

namespace {

namespace qd = QuarloCliente::detail;

struct BufferFree {
  void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};

bool IsBlank(const xmlNode* node) {
  return node->type == XML_TEXT_NODE && xmlIsBlankNode(node);
}

// libxml2 indents only elements without text among their children, so the blanks a document
// was written with go first; a blank text that stands alone is content and stays.
void DropIndentation(xmlNode* parent) {
  bool hasElement = false;
  for (xmlNode* child = parent->children; child; child = child->next) {
    hasElement = hasElement || child->type == XML_ELEMENT_NODE;
  }
  for (xmlNode* child = parent->children; child;) {
    xmlNode* next = child->next;
    if (hasElement && IsBlank(child)) {
      xmlUnlinkNode(child);
      xmlFreeNode(child);
    } else if (child->type == XML_ELEMENT_NODE) {
      DropIndentation(child);
    }
    child = next;
  }
}

}  // namespace

std::string PrettyXml(std::string_view xml) {
  const qd::XmlDocPtr doc = qd::ParseHeldXml(xml);
  xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (root == nullptr) return std::string(xml);
  DropIndentation(root);
  const std::unique_ptr<xmlBuffer, BufferFree> buffer(xmlBufferCreate());
  if (!buffer) return std::string(xml);
  xmlSaveCtxt* save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_FORMAT | XML_SAVE_NO_DECL);
  if (save == nullptr) return std::string(xml);
  xmlSaveTree(save, root);
  // Closing flushes into the buffer and frees the context whatever happened before.
  if (xmlSaveClose(save) < 0) return std::string(xml);
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                     static_cast<std::size_t>(xmlBufferLength(buffer.get())));
}

}  // namespace QuarloSandbox
