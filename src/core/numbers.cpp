#include "core/numbers.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <quarlo/binding_values.hpp>
#include <quarlo/error.hpp>
#include <string>

namespace QuarloCliente::detail {

namespace {

BindingInteger ReadWhole(std::string_view text, std::string_view name) {
  const std::optional<BindingInteger> number = BindingInteger::TryParse(text);
  if (!number) {
    throw Error("el elemento " + std::string(name) + " no es un número entero: \"" +
                std::string(text) + "\"");
  }
  return *number;
}

[[noreturn]] void OutOfRange(std::string_view name, const BindingInteger& number, int bits) {
  throw Error("el elemento " + std::string(name) + " excede el rango de " + std::to_string(bits) +
              " bits: " + number.ToString());
}

template <class Floating>
std::string Shortest(Floating value) {
  // A negative zero would write "-0", which an unsigned element refuses although it is zero.
  if (value == 0) return "0";
  // The longest fixed text of a double is its 309 integer digits, or "0." and 1074 fraction
  // digits for the smallest subnormal, plus the sign.
  std::array<char, 1100> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
  if (result.ec != std::errc{}) throw Error("el número no se pudo escribir");
  return std::string(buffer.data(), result.ptr);
}

// Adds one to the last digit of a run of digits (points skipped), carrying leftwards; a carry
// out of the first digit prepends a "1".
void IncrementDigits(std::string& digits, std::size_t first) {
  for (std::size_t i = digits.size(); i-- > first;) {
    if (digits[i] == '.') continue;
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(first, 1, '1');
}

}  // namespace

std::string ShortestDecimalText(double value) {
  return Shortest(value);
}

std::string ShortestDecimalText(float value) {
  return Shortest(value);
}

std::string RoundDecimalText(std::string_view text, std::size_t fraction_digits) {
  const std::size_t point = text.find('.');
  if (point == std::string_view::npos || text.size() - point - 1 <= fraction_digits) {
    return std::string(text);
  }
  const std::size_t first = text.front() == '-' ? 1 : 0;
  const bool round_up = text[point + 1 + fraction_digits] >= '5';
  std::string rounded(text.substr(0, point + 1 + fraction_digits));
  if (round_up) IncrementDigits(rounded, first);
  while (rounded.back() == '0' && rounded.find('.') != std::string::npos) rounded.pop_back();
  if (rounded.back() == '.') rounded.pop_back();
  if (rounded == "-0") rounded = "0";
  return rounded;
}

Long ReadLong(std::string_view text, std::string_view name) {
  const BindingInteger number = ReadWhole(text, name);
  if (number.Digits() > 10) OutOfRange(name, number, 32);
  const std::int64_t value = number.ToInt64();
  if (value < INT32_MIN || value > INT32_MAX) OutOfRange(name, number, 32);
  return static_cast<Long>(value);
}

Integer ReadInteger(std::string_view text, std::string_view name) {
  const BindingInteger number = ReadWhole(text, name);
  if (number.Digits() > 5) OutOfRange(name, number, 16);
  const std::int64_t value = number.ToInt64();
  if (value < INT16_MIN || value > INT16_MAX) OutOfRange(name, number, 16);
  return static_cast<Integer>(value);
}

}  // namespace QuarloCliente::detail
