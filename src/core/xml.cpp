#include "core/xml.hpp"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <optional>
#include <quarlo/error.hpp>

namespace QuarloCliente::detail {

namespace {

// No DTD is loaded and nothing is fetched; a text that declares entities is refused before it is
// read any further (see RefuseEntities), so none is ever substituted. libxml2's size limits stay
// on: only a text larger than its limit for one text node is parsed without them (see
// OptionsForSize), since a PDF travels as one Base64 text node of tens of MB.
constexpr int kSafeOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
constexpr std::size_t kLargestTextUnderTheLimits = XML_MAX_TEXT_LENGTH;

int CheckedSize(std::string_view text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw Error("el documento XML es demasiado grande");
  }
  return static_cast<int>(text.size());
}

// Where a text comes from decides how its encoding is found: from its first bytes and its
// declaration for an answer, always UTF-8 for text the library holds.
enum class Source { Network, Held };

bool ReadsBytesAsCharacters(std::string_view text) {
  const auto* start = reinterpret_cast<const unsigned char*>(text.data());
  const xmlCharEncoding detected =
      xmlDetectCharEncoding(start, static_cast<int>(std::min<std::size_t>(text.size(), 4)));
  return detected == XML_CHAR_ENCODING_NONE || detected == XML_CHAR_ENCODING_UTF8;
}

// The part of the text libxml2's pull parser read, so that what it accepted is accepted still;
// nullopt for held text that cannot be UTF-8 (its first bytes hold a NUL, or a byte UTF-8 never
// uses), which it always refused. The pull parser took a NUL byte for the end of the text: an
// answer followed by a NUL and anything else was read as the answer alone, where the push parser
// would refuse the whole. Text in a wider encoding has NUL bytes inside its characters.
std::optional<std::string_view> PartThePullParserRead(std::string_view text, Source source) {
  if (!ReadsBytesAsCharacters(text)) {
    if (source == Source::Held) return std::nullopt;
    return text;
  }
  return text.substr(0, text.find('\0'));
}

// The pull parser records on the document what it found, and held text was parsed as UTF-8 by
// name; the push parser records neither. libxml2 reads the encoding when it writes a node on its
// own, escaping every non-ASCII character of an attribute when there is none.
void MarkAsThePullParserDid(xmlDoc& doc, const xmlParserCtxt& parser, Source source) {
  doc.properties |= XML_DOC_WELLFORMED;
  if (parser.valid) doc.properties |= XML_DOC_DTDVALID;
  if (parser.nsWellFormed) doc.properties |= XML_DOC_NSVALID;
  if (source == Source::Held && doc.encoding == nullptr) doc.encoding = xmlStrdup(Xc("UTF-8"));
}

int OptionsFor(Source source) {
  const int options = kSafeOptions | XML_PARSE_NODICT;
  return source == Source::Held ? options | XML_PARSE_IGNORE_ENC : options;
}

struct ParserFree {
  void operator()(xmlParserCtxt* parser) const { xmlFreeParserCtxt(parser); }
};
using ParserPtr = std::unique_ptr<xmlParserCtxt, ParserFree>;

// A parser's stacks grow with the depth and the attributes of what it reads, its dictionary with
// every name it meets. After a text larger than this, or once its dictionary holds this many
// names, the parser is replaced rather than kept, so that what a thread keeps stays small; a
// parser costs far less to set up than such a text to parse.
constexpr std::size_t kLargestTextKept = 16 * 1024;
constexpr int kMostNamesKept = 4096;

// What the parser's hooks saw in the text being parsed; the parser's _private points at it.
struct Findings {
  bool declaresEntities = false;
};

// An entity declaration stops the parser where it stands: whether general or parameter, internal
// or external, an entity is refused before anything can refer to it, so that a few nested
// declarations can never grow into gigabytes of text.
void StopAtEntity(void* context) {
  auto* parser = static_cast<xmlParserCtxt*>(context);
  static_cast<Findings*>(parser->_private)->declaresEntities = true;
  xmlStopParser(parser);
}

// The SAX hook for every parsed entity declaration.
void RefuseEntity(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
  StopAtEntity(context);
}

// The SAX hook for an unparsed (NDATA) entity declaration.
void RefuseUnparsedEntity(void* context, const xmlChar*, const xmlChar*, const xmlChar*,
                          const xmlChar*) {
  StopAtEntity(context);
}

// The parser's own error channel, so that its errors reach neither the host application's
// handlers nor standard error.
void IgnoreError(void*, xmlErrorPtr) {}

// A push parser whose hooks refuse entities and keep its errors to itself; nullptr when libxml2
// has no memory for one.
ParserPtr NewParser() {
  ParserPtr parser(xmlCreatePushParserCtxt(nullptr, nullptr, nullptr, 0, nullptr));
  if (!parser || parser->sax == nullptr) return nullptr;
  parser->sax->entityDecl = RefuseEntity;
  parser->sax->unparsedEntityDecl = RefuseUnparsedEntity;
  parser->sax->serror = IgnoreError;
  return parser;
}

// The document libxml2 builds from the whole text, fed as one final chunk to a parser reset for
// it; nullptr when the text is not well-formed or declares entities, which `findings` tells.
XmlDocPtr ParseAsOneChunk(xmlParserCtxt& parser, std::string_view text, int options,
                          Findings& findings) {
  if (xmlCtxtResetPush(&parser, text.data(), static_cast<int>(text.size()), nullptr, nullptr)) {
    return nullptr;
  }
  xmlCtxtUseOptions(&parser, options);
  parser._private = &findings;
  xmlParseChunk(&parser, nullptr, 0, 1);
  parser._private = nullptr;
  XmlDocPtr doc(parser.myDoc);
  parser.myDoc = nullptr;
  if (!parser.wellFormed || findings.declaresEntities) doc.reset();
  return doc;
}

// libxml2's limits, lifted only for a text that could not pass them otherwise. A parser keeps an
// option once set, so such a text gets a parser of its own.
bool NeedsLimitsLifted(std::string_view text) {
  return text.size() > kLargestTextUnderTheLimits;
}

// Each thread keeps a parser for each way it parses: setting a parser up costs more than parsing
// a short answer. A parser serves one set of options only, because libxml2 never clears an
// option once set. Being fed the whole text at once, the push parser is spared the pull parser's
// per-token attempts to read more from a memory buffer that has no more. Documents are built
// without the parser's dictionary (XML_PARSE_NODICT) so that they own all their strings and may
// outlive the parser or be freed on another thread.
class ReusedParser {
 public:
  explicit ReusedParser(Source source) : source_(source), options_(OptionsFor(source)) {}

  // The document the text holds; nullptr when it is not well-formed; EntitiesRefused when it
  // declares an entity.
  XmlDocPtr Parse(std::string_view whole) {
    CheckedSize(whole);
    const std::optional<std::string_view> text = PartThePullParserRead(whole, source_);
    if (!text) return nullptr;
    Findings findings;
    XmlDocPtr doc = NeedsLimitsLifted(*text) ? ParseWithLimitsLifted(*text, findings)
                                             : ParseWithKeptParser(*text, findings);
    if (findings.declaresEntities) throw EntitiesRefused();
    return doc;
  }

 private:
  // The text through the thread's kept parser, which stays within libxml2's limits.
  XmlDocPtr ParseWithKeptParser(std::string_view text, Findings& findings) {
    if (!parser_) parser_ = NewParser();
    if (!parser_) return nullptr;
    XmlDocPtr doc = ParseAsOneChunk(*parser_, text, options_, findings);
    if (doc) MarkAsThePullParserDid(*doc, *parser_, source_);
    Release(text.size());
    return doc;
  }

  // The text through a parser made for it alone, with libxml2's limits lifted.
  XmlDocPtr ParseWithLimitsLifted(std::string_view text, Findings& findings) const {
    const ParserPtr parser = NewParser();
    if (!parser) return nullptr;
    XmlDocPtr doc = ParseAsOneChunk(*parser, text, options_ | XML_PARSE_HUGE, findings);
    if (doc) MarkAsThePullParserDid(*doc, *parser, source_);
    return doc;
  }

  // Drops what the last parse left behind, the copy of its text above all, rather than keep it
  // until the next one.
  void Release(std::size_t textSize) {
    if (textSize > kLargestTextKept || xmlDictSize(parser_->dict) > kMostNamesKept) {
      parser_.reset();
    } else {
      xmlCtxtReset(parser_.get());
    }
  }

  Source source_;
  int options_;
  ParserPtr parser_;
};

XmlDocPtr ParseOnThisThread(ReusedParser& parser, std::string_view text) {
  EnsureXmlInitialised();
  if (text.empty()) return nullptr;
  return parser.Parse(text);
}

}  // namespace

void EnsureXmlInitialised() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

EntitiesRefused::EntitiesRefused()
    : Error("el documento declara entidades XML, que no se admiten") {}

XmlDocPtr ParseNetworkXml(std::string_view bytes) {
  thread_local ReusedParser parser(Source::Network);
  return ParseOnThisThread(parser, bytes);
}

XmlDocPtr ParseHeldXml(std::string_view utf8) {
  thread_local ReusedParser parser(Source::Held);
  return ParseOnThisThread(parser, utf8);
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

namespace {

bool IsText(const xmlNode* node) {
  return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

// The node after `current` in document order among the descendants of `top`, skipping what lies
// below `current` unless `descend`; nullptr after the last.
const xmlNode* NextUnder(const xmlNode* top, const xmlNode* current, bool descend) {
  if (descend && current->children != nullptr) return current->children;
  while (current != top && current->next == nullptr) current = current->parent;
  return current == top ? nullptr : current->next;
}

}  // namespace

std::string NodeText(const xmlNode* node) {
  if (node == nullptr) return {};
  if (IsText(node)) return std::string(View(node->content));
  // Only the text written in the document: an entity reference is not followed, so that no
  // declaration can make a few bytes read as gigabytes.
  std::string text;
  for (const xmlNode* current = node->children; current != nullptr;) {
    if (IsText(current)) text.append(View(current->content));
    current = NextUnder(node, current, current->type == XML_ELEMENT_NODE);
  }
  return text;
}

}  // namespace QuarloCliente::detail
