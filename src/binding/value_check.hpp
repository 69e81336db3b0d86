#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "binding/schema.hpp"

namespace QuarloCliente::detail {

// True for the four characters XML counts as whitespace.
constexpr bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// True for an XML name without colon (element, attribute, prefix or ID); non-ASCII letters are
// taken as name characters without further check.
bool IsNcName(std::string_view text);

// The length of the name without colon the text starts with, 0 when it starts with none; a
// path's steps are read with it, without looking for their end first.
std::size_t NameLength(std::string_view text);

// The text without leading and trailing XML whitespace.
std::string_view TrimXmlSpace(std::string_view text);

// "" when the text is a valid value of the table's simple type, otherwise a short Spanish
// description of the fault ("'12a' no es un número entero").
std::string CheckValue(int simple_type, std::string_view text);

// "" when the text is well-formed UTF-8 made only of characters XML 1.0 allows, otherwise the
// fault.
std::string CheckXmlCharacters(std::string_view text);

// True when two valid texts of the simple type stand for the same value ("1" and "1.0" as
// decimals), so that a fixed attribute accepts every spelling of its value.
bool SameValue(int simple_type, std::string_view a, std::string_view b);

// The simple type of the element a path of local names reaches from a root, or -1.
int SimpleTypeAt(schema::RootKind root, std::initializer_list<std::string_view> path);

}  // namespace QuarloCliente::detail
