#pragma once

#include <quarlo/types.hpp>
#include <string_view>

namespace QuarloCliente::detail {

// The service's numbers are read with the binding's xs:integer rules, so "0012" is 12 and "1e3"
// is refused, whatever the element.

// The 32-bit whole number that the text of element `name` holds (surrounding blanks and a sign
// allowed); throws Error naming the element when the text is empty, not a whole number, or out of
// the 32-bit range.
Long ReadLong(std::string_view text, std::string_view name);

// The same for a 16-bit whole number.
Integer ReadInteger(std::string_view text, std::string_view name);

}  // namespace QuarloCliente::detail
