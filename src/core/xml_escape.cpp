#include "core/xml_escape.hpp"

#include <array>

namespace QuarloCliente::detail {

namespace {

constexpr std::string_view ReferenceFor(char c, EscapeFor target) {
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

// Whether a byte needs a reference, by target, so that the scan costs one lookup per byte.
constexpr auto kNeedsReference = [] {
  std::array<std::array<bool, 256>, 2> table{};
  for (std::size_t c = 0; c < 256; ++c) {
    const char byte = static_cast<char>(c);
    table[0][c] = !ReferenceFor(byte, EscapeFor::Text).empty();
    table[1][c] = !ReferenceFor(byte, EscapeFor::Attribute).empty();
  }
  return table;
}();

}  // namespace

void AppendEscapedXml(std::string& out, std::string_view text, EscapeFor target) {
  // Runs without a character to escape are appended whole: documents and Base64 payloads are
  // long and mostly plain.
  const auto& needs = kNeedsReference[target == EscapeFor::Text ? 0 : 1];
  const char* const data = text.data();
  const std::size_t size = text.size();
  std::size_t run = 0;
  for (std::size_t i = 0;; ++i) {
    while (i < size && !needs[static_cast<unsigned char>(data[i])]) ++i;
    if (i == size) break;
    out.append(data + run, i - run).append(ReferenceFor(data[i], target));
    run = i + 1;
  }
  out.append(data + run, size - run);
}

}  // namespace QuarloCliente::detail
