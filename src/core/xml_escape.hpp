#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace QuarloCliente::detail {

// Where an escaped text goes: element content, or an attribute value in double quotes.
enum class EscapeFor { Text, Attribute };

// Appends the text with the characters that would change the markup written as references
// (&, <, >, and CR so that it survives parsing); in an attribute also the double quote, tab
// and line feed, which attribute-value normalisation would otherwise turn into blanks.
void AppendEscapedXml(std::string& out, std::string_view text, EscapeFor target);

// True when the character is written as a reference in that target.
constexpr bool NeedsReference(char c, EscapeFor target) {
  // All of them lie below 64, so one bit mask per target decides.
  constexpr std::uint64_t kText = std::uint64_t{1} << '&' | std::uint64_t{1} << '<' |
                                  std::uint64_t{1} << '>' | std::uint64_t{1} << '\r';
  constexpr std::uint64_t kAttribute =
      kText | std::uint64_t{1} << '"' | std::uint64_t{1} << '\t' | std::uint64_t{1} << '\n';
  const auto byte = static_cast<unsigned char>(c);
  return byte < 64 && ((target == EscapeFor::Text ? kText : kAttribute) >> byte & 1) != 0;
}

// The most bytes the escaped form of a text of that size can take ("&quot;" for '"').
constexpr std::size_t MaxEscapedSize(std::size_t size) {
  return 6 * size;
}

// Writes the text escaped as AppendEscapedXml does at `out`, which has room for
// MaxEscapedSize(text.size()) bytes; returns the end of what it wrote.
char* WriteEscapedXml(char* out, std::string_view text, EscapeFor target);

}  // namespace QuarloCliente::detail
