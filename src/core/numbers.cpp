#include "core/numbers.hpp"

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

}  // namespace

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
