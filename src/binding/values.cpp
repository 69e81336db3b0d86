#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <quarlo/binding_values.hpp>
#include <quarlo/error.hpp>

#include "binding/date_text.hpp"
#include "binding/value_check.hpp"
#include "core/base64.hpp"

namespace QuarloCliente {

namespace {

using detail::IsDigit;
using detail::TrimXmlSpace;

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

const char* DateKindDescription(BindingDateTimeKind kind) {
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
  std::int64_t value = 0;
  std::from_chars(text_.data(), text_.data() + text_.size(), value);
  return value;
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
  // from_chars reads the point whatever the process locale; strtod would stop at it under es_CL.
  double value = 0;
  const auto [end, error] = std::from_chars(text_.data(), text_.data() + text_.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Beyond a double's range: too large is an infinity, too small is zero, as strtod gives.
    const double magnitude = SplitDecimal(text_).integer == "0" ? 0.0 : HUGE_VAL;
    return IsNegative() ? -magnitude : magnitude;
  }
  return value;
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
  if (!value) throw Error("'" + std::string(text) + "' no es " + detail::DateKindDescription(kind));
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
  return detail::SortableText(*this).ToString();
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

}  // namespace QuarloCliente
