#include "core/xml.hpp"

#include <libxml/parser.h>
#include <libxml/xmlsave.h>

#include <limits>
#include <mutex>
#include <quarlo/error.hpp>

namespace QuarloCliente::detail {

namespace {

// Entities are never substituted and no DTD is loaded, so an external entity in an answer reads
// nothing. Large payloads (a PDF as Base64) exceed libxml2's default 10 MB text-node limit,
// hence XML_PARSE_HUGE.
constexpr int kSafeOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE;

void SilenceErrors(void*, const char*, ...) {}

int CheckedSize(std::string_view text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw Error("el documento XML es demasiado grande");
  }
  return static_cast<int>(text.size());
}

}  // namespace

void EnsureXmlInitialised() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, SilenceErrors);
  });
}

XmlDocPtr ParseNetworkXml(std::string_view bytes) {
  EnsureXmlInitialised();
  if (bytes.empty()) return nullptr;
  return XmlDocPtr(xmlReadMemory(bytes.data(), CheckedSize(bytes), nullptr, nullptr, kSafeOptions));
}

XmlDocPtr ParseHeldXml(std::string_view utf8) {
  EnsureXmlInitialised();
  if (utf8.empty()) return nullptr;
  return XmlDocPtr(xmlReadMemory(utf8.data(), CheckedSize(utf8), nullptr, "UTF-8",
                                 kSafeOptions | XML_PARSE_IGNORE_ENC));
}

std::string_view LeadingDeclaration(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  if (text.substr(0, 6) != "<?xml " && text.substr(0, 6) != "<?xml\t") return {};
  const auto end = text.find("?>");
  return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 2);
}

std::string SerializeDocument(const xmlDoc* doc, std::string_view declaration) {
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), xmlBufferFree);
  if (!buffer) throw Error("sin memoria para escribir el documento XML");
  xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_NO_DECL);
  if (save == nullptr) throw Error("no se pudo escribir el documento XML");
  const long written = xmlSaveDoc(save, const_cast<xmlDoc*>(doc));
  xmlSaveClose(save);
  if (written < 0) throw Error("no se pudo escribir el documento XML");
  std::string text;
  if (!declaration.empty()) {
    text.append(declaration);
    text.push_back('\n');
  }
  text.append(View(xmlBufferContent(buffer.get())));
  return text;
}

std::string NodeXml(const xmlNode* node) {
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), xmlBufferFree);
  if (!buffer) throw Error("sin memoria para escribir el elemento XML");
  if (xmlNodeDump(buffer.get(), node->doc, const_cast<xmlNode*>(node), 0, 0) < 0) {
    throw Error("no se pudo escribir el elemento XML");
  }
  return std::string(View(xmlBufferContent(buffer.get())));
}

std::string NodeText(const xmlNode* node) {
  XmlCharPtr content(xmlNodeGetContent(node));
  return std::string(View(content.get()));
}

}  // namespace QuarloCliente::detail
