#pragma once

#include <quarlo/types.hpp>
#include <string>
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

// A finite number in the shortest plain decimal text that reads back as the same value ("19.5",
// "0.1", "19", "-0.001"), with a point and no exponent whatever the locale; zero is "0".
std::string ShortestDecimalText(double value);
std::string ShortestDecimalText(float value);

// A plain decimal text ("-19.456") rounded half away from zero to at most `fraction_digits`
// digits after the point, trailing zeros and a bare point dropped ("-19.46"; "9.996" to 2 gives
// "10"); a text with no more digits than that comes back as it was.
std::string RoundDecimalText(std::string_view text, std::size_t fraction_digits);

}  // namespace QuarloCliente::detail
