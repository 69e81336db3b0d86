#include "core/xml_escape.hpp"

namespace QuarloCliente::detail {

namespace {

std::string_view ReferenceFor(char c, EscapeFor target) {
  const bool attribute = target == EscapeFor::Attribute;
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '\r':
      return "&#13;";
    case '"':
      return attribute ? "&quot;" : std::string_view{};
    case '\t':
      return attribute ? "&#9;" : std::string_view{};
    case '\n':
      return attribute ? "&#10;" : std::string_view{};
    default:
      return {};
  }
}

}  // namespace

void AppendEscapedXml(std::string& out, std::string_view text, EscapeFor target) {
  for (const char c : text) {
    const std::string_view reference = ReferenceFor(c, target);
    if (reference.empty()) {
      out += c;
    } else {
      out += reference;
    }
  }
}

}  // namespace QuarloCliente::detail
