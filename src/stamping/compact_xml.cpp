#include "stamping/compact_xml.hpp"

#include "core/charset.hpp"
#include "core/xml.hpp"
#include "core/xml_escape.hpp"

namespace QuarloCliente::detail {
namespace {

bool IsTextual(const xmlNode* node) {
  return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

bool HasElementChild(const xmlNode* element) {
  for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) return true;
  }
  return false;
}

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string EscapeAttribute(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string QualifiedName(const xmlNs* ns, const xmlChar* name) {
  std::string out;
  if (ns != nullptr && ns->prefix != nullptr) out.append(View(ns->prefix)).append(":");
  return out.append(View(name));
}

std::string Attributes(const xmlNode* element) {
  std::string out;
  for (const xmlAttr* attr = element->properties; attr != nullptr; attr = attr->next) {
    const XmlCharPtr value(xmlNodeGetContent(attr->children));
    out.append(" ")
        .append(QualifiedName(attr->ns, attr->name))
        .append("=\"")
        .append(EscapeAttribute(View(value.get())))
        .append("\"");
  }
  return out;
}

void Write(const xmlNode* element, std::string& out) {
  const std::string name = QualifiedName(element->ns, element->name);
  out.append("<").append(name).append(Attributes(element));
  const bool mixed = HasElementChild(element);
  std::string content;
  for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      Write(child, content);
    } else if (IsTextual(child)) {
      const std::string_view text = View(child->content);
      if (!(mixed && IsBlank(text))) content += EscapeXmlText(text);
    }
  }
  if (content.empty()) {
    out.append("/>");
  } else {
    out.append(">").append(content).append("</").append(name).append(">");
  }
}

}  // namespace

std::vector<std::uint8_t> SignedBytes(std::string_view compactXml) {
  return Utf8ToLatin1(compactXml);
}

std::string IsoSafeText(std::string_view text) {
  QuarloCliente::Bytes latin1 = Utf8ToLatin1(text);
  for (std::uint8_t& byte : latin1) {
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') byte = '?';
  }
  return Latin1ToUtf8(latin1);
}

std::string FirstCharacters(const std::string& text, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool lead = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (lead && characters++ == limit) return text.substr(0, i);
  }
  return text;
}

std::string EscapeXmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscapedXml(out, text, EscapeFor::Text);
  return out;
}

std::string TextElement(std::string_view name, std::string_view text) {
  std::string out = "<";
  out.append(name);
  if (text.empty()) return out.append("/>");
  return out.append(">").append(EscapeXmlText(text)).append("</").append(name).append(">");
}

std::string CompactXml(const xmlNode* element) {
  std::string out;
  Write(element, out);
  return out;
}

xmlNode* ChildElement(const xmlNode* parent, std::string_view name) {
  if (parent == nullptr) return nullptr;
  for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && View(child->name) == name) return child;
  }
  return nullptr;
}

std::string ChildText(const xmlNode* parent, std::string_view name) {
  return NodeText(ChildElement(parent, name));
}

}  // namespace QuarloCliente::detail
