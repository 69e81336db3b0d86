#include "commands/declared_encoding.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace QuarloCli {

namespace {

// The encoding the XML declaration names, upper-cased; "" without a declaration or encoding.
std::string DeclaredEncoding(const std::string& xml) {
  if (xml.rfind("<?xml", 0) != 0) return {};
  const std::string declaration = xml.substr(0, xml.find("?>"));
  const auto name = declaration.find("encoding");
  if (name == std::string::npos) return {};
  const auto open = declaration.find_first_of("\"'", name);
  if (open == std::string::npos) return {};
  const auto close = declaration.find(declaration[open], open + 1);
  if (close == std::string::npos) return {};
  std::string encoding = declaration.substr(open + 1, close - open - 1);
  std::transform(encoding.begin(), encoding.end(), encoding.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return encoding;
}

bool IsLatin1(const std::string& encoding) {
  return encoding == "ISO-8859-1" || encoding == "ISO_8859-1" || encoding == "LATIN1";
}

// The code point of the UTF-8 sequence at `at`, advancing past it; U+FFFD for a broken one, which
// the library, whose texts are valid UTF-8, never hands over.
std::uint32_t NextCodePoint(const std::string& text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0 || at + static_cast<std::size_t>(extra) > text.size()) return 0xFFFD;
  std::uint32_t code = lead & (0x3Fu >> extra);
  for (int i = 0; i < extra; ++i) {
    const auto next = static_cast<unsigned char>(text[at]);
    if ((next & 0xC0) != 0x80) return 0xFFFD;
    code = (code << 6) | (next & 0x3Fu);
    ++at;
  }
  return code;
}

QuarloCliente::Bytes Latin1Bytes(const std::string& text) {
  QuarloCliente::Bytes bytes;
  bytes.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::uint32_t code = NextCodePoint(text, at);
    if (code <= 0xFF) {
      bytes.push_back(static_cast<std::uint8_t>(code));
      continue;
    }
    const std::string reference = "&#" + std::to_string(code) + ";";
    bytes.insert(bytes.end(), reference.begin(), reference.end());
  }
  return bytes;
}

}  // namespace

QuarloCliente::Bytes DeclaredEncodingBytes(const std::string& xml) {
  if (IsLatin1(DeclaredEncoding(xml))) return Latin1Bytes(xml);
  return QuarloCliente::Bytes(xml.begin(), xml.end());
}

}  // namespace QuarloCli
