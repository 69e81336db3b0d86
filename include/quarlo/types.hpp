#pragma once

#include <chrono>
#include <concepts>
#include <cstdint>
#include <quarlo/export.hpp>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace QuarloCliente {

/// A 16-bit signed whole number, as the service's Integer fields are.
using Integer = std::int16_t;
/// A 32-bit signed whole number, as the service's Long fields are.
using Long = std::int32_t;
/// A zero-based array of bytes; empty means "no array".
using Bytes = std::vector<std::uint8_t>;
/// A calendar date and time of day to the second, without a time zone; Date{} is the zero date.
using Date = std::chrono::local_seconds;

/// The date y-m-d at h:mi:s; throws Error when the fields do not name a valid date and time.
QUARLO_API Date MakeDate(int year, int month, int day, int hour = 0, int minute = 0,
                         int second = 0);

/// The broken-down fields of a Date.
struct QUARLO_API DateParts {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

/// The year, month, day and time of day that a Date holds.
QUARLO_API DateParts SplitDate(Date date);

/// The date written with a pattern of yyyy, MM, dd, HH, mm and ss (e.g. "yyyy-MM-dd" or
/// "yyyyMMdd"); every other character of the pattern is copied as it stands.
QUARLO_API std::string FormatDate(Date date, std::string_view pattern);

/// The current local date and time, to the second.
QUARLO_API Date Now();

/// The "null" value a Variant can hold, distinct from an empty (never assigned) Variant.
struct QUARLO_API Null {
  friend bool operator==(Null, Null) = default;
};

/// A value of any of the interface's types: empty (never assigned), null, text, numbers, Boolean,
/// a date or a byte array.
class QUARLO_API Variant {
 public:
  using Value = std::variant<std::monostate, Null, std::string, Integer, Long, std::int64_t,
                             std::uint64_t, double, bool, Date, Bytes>;

  /// An empty Variant: no value was ever assigned.
  Variant() = default;
  Variant(Null) : value_(Null{}) {}
  Variant(std::string text) : value_(std::move(text)) {}
  Variant(const char* text) : value_(std::string(text)) {}
  Variant(std::string_view text) : value_(std::string(text)) {}
  Variant(Integer number) : value_(number) {}
  Variant(Long number) : value_(number) {}
  Variant(std::int64_t number) : value_(number) {}
  /// A whole number of another type at least as wide as int (long long, unsigned, unsigned long,
  /// size_t): a signed one is held as std::int64_t, an unsigned one as std::uint64_t, whole.
  template <std::integral T>
  requires(sizeof(T) >= sizeof(int) && !std::same_as<T, bool> && !std::same_as<T, Long> &&
           !std::same_as<T, std::int64_t>) Variant(T number) {
    if constexpr (std::is_signed_v<T>) {
      value_ = static_cast<std::int64_t>(number);
    } else {
      value_ = static_cast<std::uint64_t>(number);
    }
  }
  Variant(double number) : value_(number) {}
  Variant(bool flag) : value_(flag) {}
  Variant(Date date) : value_(date) {}
  Variant(Bytes bytes) : value_(std::move(bytes)) {}

  /// True when no value was ever assigned.
  bool IsEmpty() const { return std::holds_alternative<std::monostate>(value_); }
  /// True when the Variant holds the null value.
  bool IsNull() const { return std::holds_alternative<Null>(value_); }
  /// True when the Variant holds text.
  bool IsText() const { return std::holds_alternative<std::string>(value_); }
  /// The text held, or nullptr when the Variant holds anything else.
  const std::string* Text() const { return std::get_if<std::string>(&value_); }
  /// The byte array held, or nullptr when the Variant holds anything else.
  const Bytes* Array() const { return std::get_if<Bytes>(&value_); }
  /// The underlying value, for std::visit.
  const Value& value() const { return value_; }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  Value value_;
};

}  // namespace QuarloCliente
