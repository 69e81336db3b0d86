#pragma once

#include <string>
#include <string_view>

namespace QuarloCliente::detail {

// Where an escaped text goes: element content, or an attribute value in double quotes.
enum class EscapeFor { Text, Attribute };

// Appends the text with the characters that would change the markup written as references
// (&, <, >, and CR so that it survives parsing); in an attribute also the double quote, tab
// and line feed, which attribute-value normalisation would otherwise turn into blanks.
void AppendEscapedXml(std::string& out, std::string_view text, EscapeFor target);

}  // namespace QuarloCliente::detail
