#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <quarlo/binding_values.hpp>
#include <quarlo/error.hpp>
#include <regex>
#include <vector>

#include "binding/value_check.hpp"
#include "core/base64.hpp"

namespace QuarloCliente {

namespace {

using detail::TrimXmlSpace;

constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text) {
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

std::string_view StripLeadingZeros(std::string_view digits) {
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  return digits;
}

std::string_view StripTrailingZeros(std::string_view digits) {
  while (digits.size() > 1 && digits.back() == '0') digits.remove_suffix(1);
  return digits;
}

// Magnitudes of canonical digit strings without leading zeros.
std::strong_ordering CompareMagnitude(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return a.size() <=> b.size();
  const int order = a.compare(b);
  return order < 0 ? std::strong_ordering::less
                   : (order > 0 ? std::strong_ordering::greater : std::strong_ordering::equal);
}

std::strong_ordering Reverse(std::strong_ordering order) {
  return 0 <=> order;
}

// Integer part and fraction of a canonical decimal text without its sign.
struct DecimalParts {
  bool negative;
  std::string_view integer;
  std::string_view fraction;
};

DecimalParts SplitDecimal(std::string_view canonical) {
  DecimalParts parts{false, {}, {}};
  if (!canonical.empty() && canonical.front() == '-') {
    parts.negative = true;
    canonical.remove_prefix(1);
  }
  const auto point = canonical.find('.');
  parts.integer = canonical.substr(0, point);
  parts.fraction = canonical.substr(point + 1);
  return parts;
}

// The text of a date being formatted, built in place: every date a document sets is formatted,
// and checked, on its way in, and a date-time is longer than a string holds without allocating.
class DateText {
 public:
  // Appends the number zero-padded to `width` digits, as "%0*d" writes it; the fields of a valid
  // date always fit.
  void AppendPadded(int value, int width) {
    int limit = 1;
    for (int i = 0; i < width; ++i) limit *= 10;
    if (value < 0 || value >= limit) {
      size_ += static_cast<std::size_t>(
          std::snprintf(buffer_ + size_, sizeof buffer_ - size_, "%0*d", width, value));
      return;
    }
    for (int i = width; i-- > 0; value /= 10) {
      buffer_[size_ + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    }
    size_ += static_cast<std::size_t>(width);
  }
  void Append(char c) { buffer_[size_++] = c; }
  std::string_view View() const { return std::string_view(buffer_, size_); }
  std::string ToString() const { return std::string(View()); }

 private:
  // Six fields of at most eleven characters (an int) and their five separators.
  char buffer_[6 * 11 + 5 + 1];
  std::size_t size_ = 0;
};

// The sortable form of a value, Format("s"); the bounds of a date type are compared with it.
DateText SortableText(const BindingDateTime& value) {
  DateText text;
  text.AppendPadded(value.Year(), 4);
  if (value.Kind() == BindingDateTimeKind::XsGYear) return text;
  text.Append('-');
  text.AppendPadded(value.Month(), 2);
  if (value.Kind() == BindingDateTimeKind::XsGYearMonth) return text;
  text.Append('-');
  text.AppendPadded(value.Day(), 2);
  if (value.Kind() == BindingDateTimeKind::XsDate) return text;
  text.Append('T');
  text.AppendPadded(value.Hour(), 2);
  text.Append(':');
  text.AppendPadded(value.Minute(), 2);
  text.Append(':');
  text.AppendPadded(value.Second(), 2);
  return text;
}

// A fixed-width run of digits at the start of a text, consumed from it.
bool TakeNumber(std::string_view& text, std::size_t width, int& value) {
  if (text.size() < width) return false;
  int number = 0;
  for (std::size_t i = 0; i < width; ++i) {
    if (!IsDigit(text[i])) return false;
    number = number * 10 + (text[i] - '0');
  }
  value = number;
  text.remove_prefix(width);
  return true;
}

bool TakeChar(std::string_view& text, char expected) {
  if (text.empty() || text.front() != expected) return false;
  text.remove_prefix(1);
  return true;
}

// The rest of a text is empty or a time zone ("Z", "+hh:mm", "-hh:mm").
bool TakeZone(std::string_view text, std::string& zone) {
  if (text.empty()) return true;
  if (text == "Z") {
    zone = "Z";
    return true;
  }
  const std::string_view whole = text;
  int hours = 0;
  int minutes = 0;
  if (!(TakeChar(text, '+') || TakeChar(text, '-')) || !TakeNumber(text, 2, hours) ||
      !TakeChar(text, ':') || !TakeNumber(text, 2, minutes) || !text.empty()) {
    return false;
  }
  if (hours > 14 || minutes > 59 || (hours == 14 && minutes != 0)) return false;
  zone = std::string(whole);
  return true;
}

bool ValidDate(int year, int month, int day) {
  using namespace std::chrono;
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         year_month_day{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                        std::chrono::day{static_cast<unsigned>(day)}}
             .ok();
}

bool ValidTime(int hour, int minute, int second) {
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

const char* KindDescription(BindingDateTimeKind kind) {
  switch (kind) {
    case BindingDateTimeKind::XsDate:
      return "una fecha AAAA-MM-DD válida";
    case BindingDateTimeKind::XsDateTime:
      return "una fecha y hora AAAA-MM-DDTHH:MM:SS válida";
    case BindingDateTimeKind::XsGYearMonth:
      return "un mes AAAA-MM válido";
    case BindingDateTimeKind::XsGYear:
      return "un año AAAA válido";
  }
  return "una fecha válida";
}

// Where the DTE forms and the boleta keep their TipoDTE, for the codes each accepts.
template <class Tipo>
struct TipoDTEPlace;
template <>
struct TipoDTEPlace<TipoDTEDocumento> {
  static constexpr detail::schema::RootKind kRoot = detail::schema::RootKind::kDte;
  static constexpr std::string_view kForm = "Documento";
};
template <>
struct TipoDTEPlace<TipoDTELiquidacion> {
  static constexpr detail::schema::RootKind kRoot = detail::schema::RootKind::kDte;
  static constexpr std::string_view kForm = "Liquidacion";
};
template <>
struct TipoDTEPlace<TipoDTEExportaciones> {
  static constexpr detail::schema::RootKind kRoot = detail::schema::RootKind::kDte;
  static constexpr std::string_view kForm = "Exportaciones";
};
template <>
struct TipoDTEPlace<TipoDTEBoleta> {
  static constexpr detail::schema::RootKind kRoot = detail::schema::RootKind::kBoleta;
  static constexpr std::string_view kForm = "Documento";
};

template <class Tipo>
Tipo ParseTipo(std::string_view text, std::string_view owner) {
  const auto code = BindingInteger::TryParse(text);
  if (!code) throw Error("'" + std::string(text) + "' no es un código de TipoDTE");
  using Place = TipoDTEPlace<Tipo>;
  static const int simple =
      detail::SimpleTypeAt(Place::kRoot, {Place::kForm, "Encabezado", "IdDoc", "TipoDTE"});
  if (simple < 0 || !detail::CheckValue(simple, code->ToString()).empty()) {
    throw Error("el código " + code->ToString() + " no es un TipoDTE válido para " +
                std::string(owner));
  }
  return static_cast<Tipo>(code->ToInt32());
}

}  // namespace

namespace detail {

namespace {

// What each byte may be in a name; every path step and attribute set is checked against it.
enum class NameByte : std::uint8_t { kNone, kStart, kInside };

constexpr std::array<NameByte, 256> kNameBytes = [] {
  std::array<NameByte, 256> table{};
  for (std::size_t byte = 0; byte < table.size(); ++byte) {
    const auto c = static_cast<char>(byte);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || byte >= 0x80) {
      table[byte] = NameByte::kStart;
    } else if (IsDigit(c) || c == '-' || c == '.') {
      table[byte] = NameByte::kInside;
    }
  }
  return table;
}();

NameByte NameByteOf(char c) {
  return kNameBytes[static_cast<unsigned char>(c)];
}

}  // namespace

std::size_t NameLength(std::string_view text) {
  if (text.empty() || NameByteOf(text.front()) != NameByte::kStart) return 0;
  std::size_t length = 1;
  while (length < text.size() && NameByteOf(text[length]) != NameByte::kNone) ++length;
  return length;
}

bool IsNcName(std::string_view text) {
  return !text.empty() && NameLength(text) == text.size();
}

std::string_view TrimXmlSpace(std::string_view text) {
  while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace detail

BindingInteger::BindingInteger(std::int64_t value) : text_(std::to_string(value)) {}

BindingInteger::BindingInteger(std::string_view text) {
  auto parsed = TryParse(text);
  if (!parsed) throw Error("'" + std::string(text) + "' no es un número entero");
  *this = std::move(*parsed);
}

std::optional<BindingInteger> BindingInteger::TryParse(std::string_view text) {
  text = TrimXmlSpace(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || !AllDigits(text)) return std::nullopt;
  const std::string_view digits = StripLeadingZeros(text);
  BindingInteger result;
  result.text_.clear();
  if (negative && digits != "0") result.text_ += '-';
  result.text_ += digits;
  return result;
}

std::int64_t BindingInteger::ToInt64() const {
  static const BindingInteger kMin(std::numeric_limits<std::int64_t>::min());
  static const BindingInteger kMax(std::numeric_limits<std::int64_t>::max());
  if (*this < kMin || *this > kMax) {
    throw Error("el número " + text_ + " no cabe en un entero de 64 bits");
  }
  return std::strtoll(text_.c_str(), nullptr, 10);
}

std::int32_t BindingInteger::ToInt32() const {
  if (*this < BindingInteger(std::numeric_limits<std::int32_t>::min()) ||
      *this > BindingInteger(std::numeric_limits<std::int32_t>::max())) {
    throw Error("el número " + text_ + " no cabe en un entero de 32 bits");
  }
  return static_cast<std::int32_t>(ToInt64());
}

std::strong_ordering operator<=>(const BindingInteger& a, const BindingInteger& b) {
  if (a.IsNegative() != b.IsNegative()) {
    return a.IsNegative() ? std::strong_ordering::less : std::strong_ordering::greater;
  }
  const std::string_view x = std::string_view(a.text_).substr(a.IsNegative() ? 1 : 0);
  const std::string_view y = std::string_view(b.text_).substr(b.IsNegative() ? 1 : 0);
  const auto order = CompareMagnitude(x, y);
  return a.IsNegative() ? Reverse(order) : order;
}

BindingDecimal::BindingDecimal(std::int64_t value) : text_(std::to_string(value) + ".0") {}

BindingDecimal::BindingDecimal(const BindingInteger& value) : text_(value.ToString() + ".0") {}

BindingDecimal::BindingDecimal(std::string_view text) {
  auto parsed = TryParse(text);
  if (!parsed) throw Error("'" + std::string(text) + "' no es un número decimal");
  *this = std::move(*parsed);
}

std::optional<BindingDecimal> BindingDecimal::TryParse(std::string_view text) {
  text = TrimXmlSpace(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const auto point = text.find('.');
  std::string_view integer = text.substr(0, point);
  std::string_view fraction =
      point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  if ((integer.empty() && fraction.empty()) || !AllDigits(integer) || !AllDigits(fraction)) {
    return std::nullopt;
  }
  integer = integer.empty() ? "0" : StripLeadingZeros(integer);
  fraction = fraction.empty() ? "0" : StripTrailingZeros(fraction);
  const bool zero = integer == "0" && fraction == "0";
  BindingDecimal result;
  result.text_.clear();
  if (negative && !zero) result.text_ += '-';
  result.text_.append(integer).append(1, '.').append(fraction);
  return result;
}

double BindingDecimal::ToDouble() const {
  return std::strtod(text_.c_str(), nullptr);
}

bool BindingDecimal::IsInteger() const {
  return SplitDecimal(text_).fraction == "0";
}

BindingInteger BindingDecimal::ToInteger() const {
  const DecimalParts parts = SplitDecimal(text_);
  if (parts.fraction != "0") throw Error("el número " + text_ + " no es entero");
  return BindingInteger((parts.negative ? "-" : "") + std::string(parts.integer));
}

std::size_t BindingDecimal::TotalDigits() const {
  const DecimalParts parts = SplitDecimal(text_);
  std::string digits = parts.integer == "0" ? "" : std::string(parts.integer);
  if (parts.fraction != "0") digits += parts.fraction;
  const auto first = digits.find_first_not_of('0');
  return first == std::string::npos ? 1 : digits.size() - first;
}

std::size_t BindingDecimal::FractionDigits() const {
  const DecimalParts parts = SplitDecimal(text_);
  return parts.fraction == "0" ? 0 : parts.fraction.size();
}

std::strong_ordering operator<=>(const BindingDecimal& a, const BindingDecimal& b) {
  const DecimalParts x = SplitDecimal(a.text_);
  const DecimalParts y = SplitDecimal(b.text_);
  if (x.negative != y.negative) {
    return x.negative ? std::strong_ordering::less : std::strong_ordering::greater;
  }
  auto order = CompareMagnitude(x.integer, y.integer);
  if (order == 0) {
    const std::size_t width = std::max(x.fraction.size(), y.fraction.size());
    std::string fx(x.fraction);
    std::string fy(y.fraction);
    fx.resize(width, '0');
    fy.resize(width, '0');
    order = CompareMagnitude(fx, fy);
  }
  return x.negative ? Reverse(order) : order;
}

BindingDateTime BindingDateTime::FromDate(int year, int month, int day) {
  BindingDateTime value;
  value.SetDate(year, month, day);
  return value;
}

BindingDateTime BindingDateTime::FromDateTime(int year, int month, int day, int hour, int minute,
                                              int second) {
  BindingDateTime value;
  value.SetDateTime(year, month, day, hour, minute, second);
  return value;
}

BindingDateTime BindingDateTime::FromYearMonth(int year, int month) {
  if (!ValidDate(year, month, 1)) {
    throw Error("el mes " + std::to_string(year) + "-" + std::to_string(month) + " no es válido");
  }
  BindingDateTime value;
  value.kind_ = BindingDateTimeKind::XsGYearMonth;
  value.year_ = year;
  value.month_ = month;
  return value;
}

BindingDateTime BindingDateTime::FromYear(int year) {
  if (!ValidDate(year, 1, 1)) throw Error("el año " + std::to_string(year) + " no es válido");
  BindingDateTime value;
  value.kind_ = BindingDateTimeKind::XsGYear;
  value.year_ = year;
  return value;
}

BindingDateTime BindingDateTime::FromDate(Date date) {
  BindingDateTime value;
  value.SetDate(date);
  return value;
}

BindingDateTime BindingDateTime::FromDateTime(Date date) {
  BindingDateTime value;
  value.SetDateTime(date);
  return value;
}

std::optional<BindingDateTime> BindingDateTime::TryParse(std::string_view text,
                                                         BindingDateTimeKind kind) {
  text = TrimXmlSpace(text);
  BindingDateTime value;
  value.kind_ = kind;
  if (!TakeNumber(text, 4, value.year_)) return std::nullopt;
  if (kind != BindingDateTimeKind::XsGYear &&
      (!TakeChar(text, '-') || !TakeNumber(text, 2, value.month_))) {
    return std::nullopt;
  }
  if ((kind == BindingDateTimeKind::XsDate || kind == BindingDateTimeKind::XsDateTime) &&
      (!TakeChar(text, '-') || !TakeNumber(text, 2, value.day_))) {
    return std::nullopt;
  }
  if (kind == BindingDateTimeKind::XsDateTime) {
    if (!TakeChar(text, 'T') || !TakeNumber(text, 2, value.hour_) || !TakeChar(text, ':') ||
        !TakeNumber(text, 2, value.minute_) || !TakeChar(text, ':') ||
        !TakeNumber(text, 2, value.second_)) {
      return std::nullopt;
    }
    if (!text.empty() && text.front() == '.') {
      std::size_t length = 1;
      while (length < text.size() && IsDigit(text[length])) ++length;
      if (length == 1) return std::nullopt;
      value.fraction_ = std::string(text.substr(0, length));
      text.remove_prefix(length);
    }
    if (!ValidTime(value.hour_, value.minute_, value.second_)) return std::nullopt;
  }
  if (!TakeZone(text, value.zone_) || !ValidDate(value.year_, value.month_, value.day_)) {
    return std::nullopt;
  }
  return value;
}

BindingDateTime BindingDateTime::Parse(std::string_view text, BindingDateTimeKind kind) {
  auto value = TryParse(text, kind);
  if (!value) throw Error("'" + std::string(text) + "' no es " + KindDescription(kind));
  return *value;
}

BindingDateTime BindingDateTime::Parse(std::string_view text) {
  for (auto kind : {BindingDateTimeKind::XsDateTime, BindingDateTimeKind::XsDate,
                    BindingDateTimeKind::XsGYearMonth, BindingDateTimeKind::XsGYear}) {
    if (auto value = TryParse(text, kind)) return *value;
  }
  throw Error("'" + std::string(text) + "' no es una fecha, fecha y hora, mes o año válido");
}

void BindingDateTime::SetDate(int year, int month, int day) {
  if (!ValidDate(year, month, day)) {
    throw Error("la fecha " + std::to_string(year) + "-" + std::to_string(month) + "-" +
                std::to_string(day) + " no es válida");
  }
  *this = BindingDateTime();
  year_ = year;
  month_ = month;
  day_ = day;
}

void BindingDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second) {
  if (!ValidDate(year, month, day) || !ValidTime(hour, minute, second)) {
    throw Error("la fecha y hora " + std::to_string(year) + "-" + std::to_string(month) + "-" +
                std::to_string(day) + " " + std::to_string(hour) + ":" + std::to_string(minute) +
                ":" + std::to_string(second) + " no es válida");
  }
  SetDate(year, month, day);
  kind_ = BindingDateTimeKind::XsDateTime;
  hour_ = hour;
  minute_ = minute;
  second_ = second;
}

void BindingDateTime::SetDate(Date date) {
  const DateParts parts = SplitDate(date);
  SetDate(parts.year, parts.month, parts.day);
}

void BindingDateTime::SetDateTime(Date date) {
  const DateParts parts = SplitDate(date);
  SetDateTime(parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second);
}

QuarloCliente::Date BindingDateTime::ToDate() const {
  return MakeDate(year_, month_, day_, hour_, minute_, second_);
}

std::string BindingDateTime::ToString() const {
  std::string text = Format("s");
  if (kind_ == BindingDateTimeKind::XsDateTime) text += fraction_;
  text += zone_;
  return text;
}

std::string BindingDateTime::Format(std::string_view code) const {
  if (code.size() > 1) return FormatDate(ToDate(), code);
  if (code != "s") throw Error("el formato de fecha '" + std::string(code) + "' no existe");
  return SortableText(*this).ToString();
}

template <>
TipoDTEDocumento ParseTipoDTE<TipoDTEDocumento>(std::string_view text) {
  return ParseTipo<TipoDTEDocumento>(text, "Documento");
}
template <>
TipoDTELiquidacion ParseTipoDTE<TipoDTELiquidacion>(std::string_view text) {
  return ParseTipo<TipoDTELiquidacion>(text, "Liquidacion");
}
template <>
TipoDTEExportaciones ParseTipoDTE<TipoDTEExportaciones>(std::string_view text) {
  return ParseTipo<TipoDTEExportaciones>(text, "Exportaciones");
}
template <>
TipoDTEBoleta ParseTipoDTE<TipoDTEBoleta>(std::string_view text) {
  return ParseTipo<TipoDTEBoleta>(text, "boleta");
}

std::string TipoDTEText(TipoDTEDocumento tipo) {
  return std::to_string(static_cast<int>(tipo));
}
std::string TipoDTEText(TipoDTELiquidacion tipo) {
  return std::to_string(static_cast<int>(tipo));
}
std::string TipoDTEText(TipoDTEExportaciones tipo) {
  return std::to_string(static_cast<int>(tipo));
}
std::string TipoDTEText(TipoDTEBoleta tipo) {
  return std::to_string(static_cast<int>(tipo));
}

std::string NormalizeBase64(std::string_view text) {
  const std::string_view trimmed = TrimXmlSpace(text);
  if (trimmed.empty() || trimmed == "==") return {};
  return detail::EncodeBase64(detail::DecodeBase64(trimmed));
}

namespace detail {

namespace {

// Code points of a UTF-8 text, or -1 when it is not well-formed.
long CountCodePoints(std::string_view text) {
  long count = 0;
  for (std::size_t i = 0; i < text.size(); ++count) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80         ? 1
                               : (lead >> 5) == 6  ? 2
                               : (lead >> 4) == 14 ? 3
                               : (lead >> 3) == 30 ? 4
                                                   : 0;
    if (length == 0 || i + length > text.size()) return -1;
    i += length;
  }
  return count;
}

std::string Quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

std::string JoinEnumerations(const schema::SimpleType& type) {
  std::string list;
  for (std::string_view value : schema::Enumerations(type)) {
    if (!list.empty()) list += ", ";
    list += value;
  }
  return list;
}

// The RUT pattern, the only one of the SII schemas: digits, a hyphen, a check digit or K.
constexpr std::string_view kRutPattern = "[0-9]+-([0-9]|K)";

bool IsRut(std::string_view text) {
  if (text.size() < 3 || !(IsDigit(text.back()) || text.back() == 'K')) return false;
  const std::string_view number = text.substr(0, text.size() - 2);
  return text[text.size() - 2] == '-' && AllDigits(number);
}

// One compiled regex per pattern of the table; the SII schemas use very few. The RUT pattern is
// matched by hand: every RUT a submission sets passes here, and the regex engine costs more than
// the rest of setting the value.
bool MatchesPattern(std::string_view pattern, std::string_view text) {
  if (pattern == kRutPattern) return IsRut(text);
  static std::mutex mutex;
  static std::map<std::string, std::regex, std::less<>> compiled;
  std::lock_guard lock(mutex);
  auto found = compiled.find(pattern);
  if (found == compiled.end()) {
    found = compiled.emplace(std::string(pattern), std::regex(std::string(pattern))).first;
  }
  return std::regex_match(text.begin(), text.end(), found->second);
}

// The bounds and allowed values of a numeric simple type as numbers.
template <class Number>
struct NumericFacets {
  std::optional<Number> min;
  std::optional<Number> max;
  std::vector<Number> allowed;
};

// nullopt when a facet of the type is not a number of its kind.
template <class Number>
std::optional<NumericFacets<Number>> ParseFacets(const schema::SimpleType& type) {
  NumericFacets<Number> facets;
  if (!type.min_inclusive.empty() && !(facets.min = Number::TryParse(type.min_inclusive))) {
    return std::nullopt;
  }
  if (!type.max_inclusive.empty() && !(facets.max = Number::TryParse(type.max_inclusive))) {
    return std::nullopt;
  }
  for (std::string_view allowed : schema::Enumerations(type)) {
    auto value = Number::TryParse(allowed);
    if (!value) return std::nullopt;
    facets.allowed.push_back(*std::move(value));
  }
  return facets;
}

// The facets of the table's simple type, parsed once per process, as every number a document
// sets is compared with them; nullptr for a type whose facets do not parse, which is checked
// the long way and reports what it finds there.
template <class Number>
const NumericFacets<Number>* FacetsOf(int simple_type) {
  static const auto table = [] {
    std::vector<std::optional<NumericFacets<Number>>> all;
    for (const schema::SimpleType& type : schema::kSimpleTypes) {
      all.push_back(ParseFacets<Number>(type));
    }
    return all;
  }();
  const auto& facets = table[static_cast<std::size_t>(simple_type)];
  return facets ? &*facets : nullptr;
}

template <class Number>
std::string CheckBounds(const schema::SimpleType& type, const NumericFacets<Number>* facets,
                        const Number& value) {
  if (!type.min_inclusive.empty() &&
      value < (facets != nullptr ? *facets->min : Number(type.min_inclusive))) {
    return "el valor " + value.ToString() + " es menor que el mínimo " +
           std::string(type.min_inclusive);
  }
  if (!type.max_inclusive.empty() &&
      value > (facets != nullptr ? *facets->max : Number(type.max_inclusive))) {
    return "el valor " + value.ToString() + " es mayor que el máximo " +
           std::string(type.max_inclusive);
  }
  return {};
}

template <class Number>
std::string CheckEnumeration(const schema::SimpleType& type, const NumericFacets<Number>* facets,
                             const Number& value) {
  if (type.enumeration_count == 0) return {};
  if (facets != nullptr) {
    if (std::find(facets->allowed.begin(), facets->allowed.end(), value) != facets->allowed.end()) {
      return {};
    }
  } else {
    for (std::string_view allowed : schema::Enumerations(type)) {
      if (Number(allowed) == value) return {};
    }
  }
  return "el valor " + value.ToString() + " no es uno de los permitidos (" +
         JoinEnumerations(type) + ")";
}

std::string CheckDigits(const schema::SimpleType& type, std::size_t total, std::size_t fraction) {
  if (type.total_digits >= 0 && total > static_cast<std::size_t>(type.total_digits)) {
    return "el valor tiene " + std::to_string(total) + " dígitos y el máximo es " +
           std::to_string(type.total_digits);
  }
  if (type.fraction_digits >= 0 && fraction > static_cast<std::size_t>(type.fraction_digits)) {
    return "el valor tiene " + std::to_string(fraction) + " decimales y el máximo es " +
           std::to_string(type.fraction_digits);
  }
  return {};
}

std::string CheckInteger(int simple_type, std::string_view text) {
  const schema::SimpleType& type = schema::Simple(simple_type);
  const auto value = BindingInteger::TryParse(text);
  if (!value) return Quoted(text) + " no es un número entero";
  const auto* facets = FacetsOf<BindingInteger>(simple_type);
  std::string problem = CheckEnumeration(type, facets, *value);
  if (problem.empty()) problem = CheckBounds(type, facets, *value);
  if (problem.empty()) problem = CheckDigits(type, value->Digits(), 0);
  return problem;
}

std::string CheckDecimal(int simple_type, std::string_view text) {
  const schema::SimpleType& type = schema::Simple(simple_type);
  const auto value = BindingDecimal::TryParse(text);
  if (!value) return Quoted(text) + " no es un número decimal";
  const auto* facets = FacetsOf<BindingDecimal>(simple_type);
  std::string problem = CheckEnumeration(type, facets, *value);
  if (problem.empty()) problem = CheckBounds(type, facets, *value);
  if (problem.empty()) problem = CheckDigits(type, value->TotalDigits(), value->FractionDigits());
  return problem;
}

std::string CheckDate(const schema::SimpleType& type, std::string_view text,
                      BindingDateTimeKind kind) {
  const auto value = BindingDateTime::TryParse(text, kind);
  if (!value) return Quoted(text) + " no es " + KindDescription(kind);
  if (type.min_inclusive.empty() && type.max_inclusive.empty()) return {};
  // Bounds compare the sortable text, which orders like the values when zones are left aside.
  const DateText sortable = SortableText(*value);
  if (!type.min_inclusive.empty() && sortable.View() < type.min_inclusive) {
    return "la fecha " + sortable.ToString() + " es anterior al mínimo " +
           std::string(type.min_inclusive);
  }
  if (!type.max_inclusive.empty() && sortable.View() > type.max_inclusive) {
    return "la fecha " + sortable.ToString() + " es posterior al máximo " +
           std::string(type.max_inclusive);
  }
  return {};
}

std::string CheckString(const schema::SimpleType& type, std::string_view text) {
  const long length = CountCodePoints(text);
  if (type.length >= 0 && length != type.length) {
    return "el texto tiene " + std::to_string(length) + " caracteres y debe tener " +
           std::to_string(type.length);
  }
  if (type.min_length >= 0 && length < type.min_length) {
    return "el texto tiene " + std::to_string(length) + " caracteres y el mínimo es " +
           std::to_string(type.min_length);
  }
  if (type.max_length >= 0 && length > type.max_length) {
    return "el texto tiene " + std::to_string(length) + " caracteres y el máximo es " +
           std::to_string(type.max_length);
  }
  if (type.enumeration_count > 0) {
    bool allowed = false;
    for (std::string_view value : schema::Enumerations(type)) allowed = allowed || value == text;
    if (!allowed) {
      return Quoted(text) + " no es uno de los valores permitidos (" + JoinEnumerations(type) + ")";
    }
  }
  if (!type.pattern.empty() && !MatchesPattern(type.pattern, text)) {
    return Quoted(text) + " no tiene la forma " + std::string(type.pattern);
  }
  return {};
}

}  // namespace

std::string CheckValue(int simple_type, std::string_view text) {
  const schema::SimpleType& type = schema::Simple(simple_type);
  switch (type.kind) {
    case schema::Kind::kInteger:
      return CheckInteger(simple_type, text);
    case schema::Kind::kDecimal:
      return CheckDecimal(simple_type, text);
    case schema::Kind::kDate:
      return CheckDate(type, text, BindingDateTimeKind::XsDate);
    case schema::Kind::kDateTime:
      return CheckDate(type, text, BindingDateTimeKind::XsDateTime);
    case schema::Kind::kYearMonth:
      return CheckDate(type, text, BindingDateTimeKind::XsGYearMonth);
    case schema::Kind::kYear:
      return CheckDate(type, text, BindingDateTimeKind::XsGYear);
    case schema::Kind::kBase64:
      try {
        DecodeBase64(text);
        return {};
      } catch (const Error&) {
        return Quoted(text) + " no es Base64 válido";
      }
    case schema::Kind::kId:
      return IsNcName(TrimXmlSpace(text)) ? std::string()
                                          : Quoted(text) + " no es un identificador XML";
    case schema::Kind::kBoolean: {
      const std::string_view value = TrimXmlSpace(text);
      return value == "true" || value == "false" || value == "1" || value == "0"
                 ? std::string()
                 : Quoted(text) + " no es un valor lógico (true, false, 1 o 0)";
    }
    case schema::Kind::kUri:
    case schema::Kind::kString:
      return CheckString(type, text);
  }
  return {};
}

std::string CheckXmlCharacters(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    // Nearly every value is printable ASCII, which needs no decoding.
    if (lead >= 0x20 && lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned long code = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if ((lead >> 5) == 6) {
      length = 2;
      code = lead & 0x1Fu;
    } else if ((lead >> 4) == 14) {
      length = 3;
      code = lead & 0x0Fu;
    } else if ((lead >> 3) == 30) {
      length = 4;
      code = lead & 0x07u;
    } else {
      return "el texto no es UTF-8 válido";
    }
    if (i + length > text.size()) return "el texto no es UTF-8 válido";
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next >> 6) != 2) return "el texto no es UTF-8 válido";
      code = (code << 6) | (next & 0x3Fu);
    }
    static constexpr unsigned long kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return "el texto no es UTF-8 válido";
    }
    const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                         (code >= 0x20 && code != 0xFFFE && code != 0xFFFF);
    if (!allowed) {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "U+%04lX", code);
      return "el texto contiene el carácter " + std::string(buffer) + ", que XML no admite";
    }
    i += length;
  }
  return {};
}

bool SameValue(int simple_type, std::string_view a, std::string_view b) {
  // A fixed attribute is nearly always set to its own spelling, which is its value whatever the
  // type, valid or not.
  if (a == b) return true;
  switch (schema::Simple(simple_type).kind) {
    case schema::Kind::kInteger:
    case schema::Kind::kDecimal: {
      const auto x = BindingDecimal::TryParse(a);
      const auto y = BindingDecimal::TryParse(b);
      return x && y ? *x == *y : a == b;
    }
    default:
      return TrimXmlSpace(a) == TrimXmlSpace(b);
  }
}

int SimpleTypeAt(schema::RootKind root, std::initializer_list<std::string_view> path) {
  int complex = schema::Root(root).complex_type;
  int simple = -1;
  for (std::string_view name : path) {
    if (complex < 0) return -1;
    const schema::Particle* particle = schema::FindParticle(complex, name);
    if (particle == nullptr) return -1;
    complex = particle->complex_type;
    simple = particle->simple_type;
  }
  return simple;
}

}  // namespace detail

}  // namespace QuarloCliente
