#include "search/service_values.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>
#include <string>

namespace QuarloCliente {

namespace detail {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads a time stamp from left to right; every read either consumes what it asked for or
// leaves the position where it was.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  std::optional<int> Digits(std::size_t count) {
    if (text_.size() - at_ < count) return std::nullopt;
    int value = 0;
    for (const char c : text_.substr(at_, count)) {
      if (!IsDigit(c)) return std::nullopt;
      value = value * 10 + (c - '0');
    }
    at_ += count;
    return value;
  }

  bool Skip(char c) {
    if (AtEnd() || text_[at_] != c) return false;
    ++at_;
    return true;
  }

  bool SkipDigits() {
    const std::size_t start = at_;
    while (!AtEnd() && IsDigit(text_[at_])) ++at_;
    return at_ > start;
  }

  bool AtEnd() const { return at_ == text_.size(); }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

struct DateFields {
  std::optional<int> year, month, day, hour{0}, minute{0}, second{0};
};

std::optional<Date> DateOf(const DateFields& f) {
  if (!f.year || !f.month || !f.day || !f.hour || !f.minute || !f.second) return std::nullopt;
  try {
    return MakeDate(*f.year, *f.month, *f.day, *f.hour, *f.minute, *f.second);
  } catch (const Error&) {
    return std::nullopt;
  }
}

// "Z", "+hh:mm" or "-hh:mm"; the zone is read only so that the whole text is accounted for.
bool SkipZone(Cursor& cursor) {
  if (cursor.Skip('Z')) return true;
  if (!cursor.Skip('+') && !cursor.Skip('-')) return false;
  return cursor.Digits(2) && cursor.Skip(':') && cursor.Digits(2);
}

bool ReadTimeOfDay(Cursor& cursor, DateFields& f) {
  f.hour = cursor.Digits(2);
  if (!f.hour || !cursor.Skip(':')) return false;
  f.minute = cursor.Digits(2);
  if (!f.minute) return false;
  if (cursor.Skip(':')) {
    f.second = cursor.Digits(2);
    if (!f.second) return false;
    if (cursor.Skip('.') && !cursor.SkipDigits()) return false;
  }
  return cursor.AtEnd() || SkipZone(cursor);
}

std::optional<Date> ReadByPosition(std::string_view text) {
  if (text.size() < 19 || text[13] != ':' || text[16] != ':') return std::nullopt;
  const auto at = [text](std::size_t position, std::size_t count) {
    return Cursor(text.substr(position, count)).Digits(count);
  };
  return DateOf({at(0, 4), at(5, 2), at(8, 2), at(11, 2), at(14, 2), at(17, 2)});
}

[[noreturn]] void RejectTimestamp(std::string_view text) {
  throw Error("la marca de tiempo \"" + std::string(text) + "\" no es una fecha y hora válida");
}

}  // namespace

std::optional<Date> ReadDirectTimestamp(std::string_view text) {
  Cursor cursor(Trimmed(text));
  DateFields f;
  f.year = cursor.Digits(4);
  if (!f.year || !cursor.Skip('-')) return std::nullopt;
  f.month = cursor.Digits(2);
  if (!f.month || !cursor.Skip('-')) return std::nullopt;
  f.day = cursor.Digits(2);
  if (!cursor.AtEnd()) {
    const bool separated = cursor.Skip(' ') || cursor.Skip('T');
    if (!separated || !ReadTimeOfDay(cursor, f) || !cursor.AtEnd()) return std::nullopt;
  }
  return DateOf(f);
}

Date ReadTimestamp(std::string_view text) {
  const std::string_view trimmed = Trimmed(text);
  if (trimmed.empty()) throw Error("la marca de tiempo está vacía");
  if (const std::optional<Date> date = ReadDirectTimestamp(trimmed)) return *date;
  if (const std::optional<Date> date = ReadByPosition(trimmed)) return *date;
  RejectTimestamp(trimmed);
}

Date ReadReconciledTimestamp(std::string_view text) {
  const std::string_view trimmed = Trimmed(text);
  if (trimmed.empty()) return Now();
  if (const std::optional<Date> date = ReadDirectTimestamp(trimmed)) return *date;
  RejectTimestamp(trimmed);
}

}  // namespace detail

}  // namespace QuarloCliente
