#include "protocol/xml_writer.hpp"

#include <cstdint>
#include <span>

#include "core/charset.hpp"
#include "core/xml_escape.hpp"

namespace QuarloSandbox {

namespace qd = QuarloCliente::detail;
using qd::EscapeFor;

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Printable ASCII and the three blanks XML allows: nearly every value the sandbox writes is made
// of nothing else and is written as it is.
bool PlainAscii(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte >= 0x80) return false;
  }
  return true;
}

// Well-formed UTF-8 without the characters XML 1.0 forbids: each malformed sequence (a stray
// byte, an encoded surrogate), each control but tab, line feed and carriage return, and U+FFFE
// and U+FFFF become U+FFFD. Values reach the writer from the Host header, from path segments and
// from decoded payloads; a single forbidden character would make the whole answer unreadable.
std::string XmlCharactersOnly(std::string_view text) {
  const std::string utf8 = qd::Utf8BytesToText(
      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  std::string allowed;
  allowed.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    const bool control = byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r';
    // In well-formed UTF-8 these three bytes can only be U+FFFE and U+FFFF.
    const bool nonCharacter =
        utf8.compare(i, 3, "\xEF\xBF\xBE") == 0 || utf8.compare(i, 3, "\xEF\xBF\xBF") == 0;
    if (control) {
      allowed.append(kReplacement);
    } else if (nonCharacter) {
      allowed.append(kReplacement);
      i += 2;
    } else {
      allowed.push_back(utf8[i]);
    }
  }
  return allowed;
}

// The value escaped for its place, made of characters XML allows.
void AppendXmlValue(std::string& out, std::string_view value, EscapeFor target) {
  if (PlainAscii(value)) return qd::AppendEscapedXml(out, value, target);
  qd::AppendEscapedXml(out, XmlCharactersOnly(value), target);
}

}  // namespace

void XmlWriter::EndStartTag() {
  if (startTagOpen_) text_.push_back('>');
  startTagOpen_ = false;
}

XmlWriter& XmlWriter::Open(std::string_view name, std::string_view ns) {
  EndStartTag();
  text_.append("<").append(name);
  startTagOpen_ = true;
  if (!ns.empty()) Attribute("xmlns", ns);
  return *this;
}

XmlWriter& XmlWriter::Attribute(std::string_view name, std::string_view value) {
  text_.append(" ").append(name).append("=\"");
  AppendXmlValue(text_, value, EscapeFor::Attribute);
  text_.append("\"");
  return *this;
}

XmlWriter& XmlWriter::Close(std::string_view name) {
  EndStartTag();
  text_.append("</").append(name).append(">");
  return *this;
}

XmlWriter& XmlWriter::Element(std::string_view name, std::string_view text) {
  EndStartTag();
  text_.append("<").append(name).append(">");
  AppendXmlValue(text_, text, EscapeFor::Text);
  text_.append("</").append(name).append(">");
  return *this;
}

XmlWriter& XmlWriter::Raw(std::string_view xml) {
  EndStartTag();
  text_.append(xml);
  return *this;
}

}  // namespace QuarloSandbox
