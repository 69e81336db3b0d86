#pragma once

#include <quarlo/export.hpp>

// Value types of the SII document bindings: integers and decimals of any size with one canonical
// text, dates and date-times as the XML Schema writes them, and the document-type codes each DTE
// form accepts.

#include <compare>
#include <cstdint>
#include <optional>
#include <quarlo/types.hpp>
#include <string>
#include <string_view>

namespace QuarloCliente {

/// An xs:integer of any size (the SII's amounts reach 30 digits), held as its canonical text: an
/// optional "-" and the digits without leading zeros. "0012" and "+12" read as 12 and write "12";
/// "-0" writes "0".
class QUARLO_API BindingInteger {
 public:
  /// Zero.
  BindingInteger() = default;
  /// The given number.
  BindingInteger(std::int64_t value);
  /// The integer written as XML Schema text (surrounding XML whitespace allowed); throws Error
  /// when the text is anything else ("12.0", "1e3", "").
  explicit BindingInteger(std::string_view text);

  /// The integer the text holds, or std::nullopt when the text is not an xs:integer.
  static std::optional<BindingInteger> TryParse(std::string_view text);

  /// The canonical text: "12", "-5", "0".
  const std::string& ToString() const { return text_; }
  /// The value as a 64-bit number; throws Error when it does not fit.
  std::int64_t ToInt64() const;
  /// The value as a 32-bit number; throws Error when it does not fit.
  std::int32_t ToInt32() const;
  /// True for a value below zero.
  bool IsNegative() const { return text_.front() == '-'; }
  /// The number of digits, without sign (1 for zero).
  std::size_t Digits() const { return text_.size() - (IsNegative() ? 1 : 0); }

  friend bool operator==(const BindingInteger&, const BindingInteger&) = default;
  /// Numeric order.
  friend QUARLO_API std::strong_ordering operator<=>(const BindingInteger& a,
                                                     const BindingInteger& b);

 private:
  std::string text_ = "0";
};

/// An xs:decimal of any size and precision, held in the canonical form of XML Schema 1.0: an
/// optional "-", the integer digits without leading zeros, a point, and the fraction digits
/// without trailing zeros, at least one digit on each side of the point. "1.0" and "1" write
/// "1.0", "0012.50" writes "12.5", ".5" writes "0.5", "-0" writes "0.0". Every value an xs:decimal
/// can hold round-trips exactly through this text.
class QUARLO_API BindingDecimal {
 public:
  /// Zero ("0.0").
  BindingDecimal() = default;
  /// The given whole number.
  BindingDecimal(std::int64_t value);
  /// The given integer.
  BindingDecimal(const BindingInteger& value);
  /// The decimal written as XML Schema text ("12", "12.", ".5", "-3.250", surrounding XML
  /// whitespace allowed); throws Error for anything else ("1e3", "1,5", "").
  explicit BindingDecimal(std::string_view text);

  /// The decimal the text holds, or std::nullopt when the text is not an xs:decimal.
  static std::optional<BindingDecimal> TryParse(std::string_view text);

  /// The canonical text described above.
  const std::string& ToString() const { return text_; }
  /// The nearest double (amounts are exact only up to 15 or 16 significant digits).
  double ToDouble() const;
  /// True when the fraction is zero.
  bool IsInteger() const;
  /// The value as an integer; throws Error when it has a fraction.
  BindingInteger ToInteger() const;
  /// True for a value below zero.
  bool IsNegative() const { return text_.front() == '-'; }
  /// Significant digits, as the totalDigits facet counts them (leading and trailing zeros aside,
  /// at least 1).
  std::size_t TotalDigits() const;
  /// Digits after the point, trailing zeros aside (0 for a whole number).
  std::size_t FractionDigits() const;

  friend bool operator==(const BindingDecimal&, const BindingDecimal&) = default;
  /// Numeric order.
  friend QUARLO_API std::strong_ordering operator<=>(const BindingDecimal& a,
                                                     const BindingDecimal& b);

 private:
  std::string text_ = "0.0";
};

/// What a BindingDateTime holds: the four date and time types of the SII schemas.
enum class BindingDateTimeKind {
  XsDate,        // AAAA-MM-DD
  XsDateTime,    // AAAA-MM-DDTHH:MM:SS
  XsGYearMonth,  // AAAA-MM (the books' PeriodoTributario)
  XsGYear,       // AAAA
};

/// A date, date-time, year-month or year as the SII schemas write them, years 1 to 9999. A
/// time-zone suffix ("Z", "-03:00") and fractional seconds read from a document are kept and
/// written back; values built in code have neither.
class QUARLO_API BindingDateTime {
 public:
  /// The date 0001-01-01.
  BindingDateTime() = default;

  /// The date y-m-d; throws Error when it is not a calendar date.
  static BindingDateTime FromDate(int year, int month, int day);
  /// The date-time y-m-dTh:mi:s; throws Error when it is not a valid date and time.
  static BindingDateTime FromDateTime(int year, int month, int day, int hour, int minute,
                                      int second);
  /// The month y-m (an xs:gYearMonth); throws Error for a month outside 1..12.
  static BindingDateTime FromYearMonth(int year, int month);
  /// The year y (an xs:gYear); throws Error outside 1..9999.
  static BindingDateTime FromYear(int year);
  /// The calendar date of a Date, its time of day dropped.
  static BindingDateTime FromDate(Date date);
  /// The date and time of a Date.
  static BindingDateTime FromDateTime(Date date);
  /// The value written as XML Schema text, its kind told by its form ("2024-03-07",
  /// "2024-03-07T10:15:00", "2024-03", "2024", each with an optional time zone); throws Error
  /// for any other text.
  static BindingDateTime Parse(std::string_view text);
  /// The value written as XML Schema text of the given kind; throws Error when the text is not
  /// of that kind.
  static BindingDateTime Parse(std::string_view text, BindingDateTimeKind kind);
  /// The value of the text, or std::nullopt when it is not of the given kind.
  static std::optional<BindingDateTime> TryParse(std::string_view text, BindingDateTimeKind kind);

  /// Makes this value the date y-m-d; throws Error (leaving it unchanged) for an invalid date.
  void SetDate(int year, int month, int day);
  /// Makes this value the date-time y-m-dTh:mi:s; throws Error (leaving it unchanged) when
  /// invalid.
  void SetDateTime(int year, int month, int day, int hour, int minute, int second);
  /// Makes this value the calendar date of a Date.
  void SetDate(Date date);
  /// Makes this value the date and time of a Date.
  void SetDateTime(Date date);

  /// Which of the four types the value is.
  BindingDateTimeKind Kind() const { return kind_; }
  /// The calendar year.
  int Year() const { return year_; }
  /// The month, 1..12 (1 for a year).
  int Month() const { return month_; }
  /// The day of the month (1 for a year-month or a year).
  int Day() const { return day_; }
  /// The hour, 0..23 (0 unless a date-time).
  int Hour() const { return hour_; }
  /// The minute (0 unless a date-time).
  int Minute() const { return minute_; }
  /// The second (0 unless a date-time).
  int Second() const { return second_; }

  /// The value as a Date: missing parts are the first day and midnight; the time zone is dropped.
  QuarloCliente::Date ToDate() const;
  /// The value as XML Schema text of its kind, with its time zone and fraction when it has them.
  std::string ToString() const;
  /// The value formatted by a code: "s" is the sortable form, AAAA-MM-DD for a date,
  /// AAAA-MM-DDTHH:MM:SS for a date-time, AAAA-MM for a year-month and AAAA for a year (no time
  /// zone); a longer code is a pattern of yyyy, MM, dd, HH, mm and ss ("dd/MM/yyyy"). Throws Error
  /// for any other one-letter code.
  std::string Format(std::string_view code) const;

  friend bool operator==(const BindingDateTime&, const BindingDateTime&) = default;

 private:
  BindingDateTimeKind kind_ = BindingDateTimeKind::XsDate;
  int year_ = 1;
  int month_ = 1;
  int day_ = 1;
  int hour_ = 0;
  int minute_ = 0;
  int second_ = 0;
  std::string fraction_;  // ".5" and the like, as read
  std::string zone_;      // "Z", "-03:00" and the like, as read
};

/// The TipoDTE codes of a DTE's Documento form.
enum class TipoDTEDocumento {
  FacturaElectronica = 33,
  FacturaNoAfectaOExenta = 34,
  FacturaCompra = 46,
  GuiaDespacho = 52,
  NotaDebito = 56,
  NotaCredito = 61,
};

/// The TipoDTE codes of a DTE's Liquidacion form.
enum class TipoDTELiquidacion {
  LiquidacionFactura = 43,
};

/// The TipoDTE codes of a DTE's Exportaciones form.
enum class TipoDTEExportaciones {
  FacturaExportacion = 110,
  NotaDebitoExportacion = 111,
  NotaCreditoExportacion = 112,
};

/// The TipoDTE codes of a boleta.
enum class TipoDTEBoleta {
  Boleta = 39,
  BoletaExenta = 41,
};

/// The code of a form's TipoDTE text (XML Schema integer text: "33", " 033 "); throws Error when
/// the text is not an integer ("'x' no es un código de TipoDTE") or names a code the form does not
/// accept ("el código 39 no es un TipoDTE válido para Documento"). Defined for the four enums.
template <class Tipo>
QUARLO_API Tipo ParseTipoDTE(std::string_view text);
template <>
QUARLO_API TipoDTEDocumento ParseTipoDTE<TipoDTEDocumento>(std::string_view text);
template <>
QUARLO_API TipoDTELiquidacion ParseTipoDTE<TipoDTELiquidacion>(std::string_view text);
template <>
QUARLO_API TipoDTEExportaciones ParseTipoDTE<TipoDTEExportaciones>(std::string_view text);
template <>
QUARLO_API TipoDTEBoleta ParseTipoDTE<TipoDTEBoleta>(std::string_view text);

/// The code of a TipoDTE value as text ("33").
QUARLO_API std::string TipoDTEText(TipoDTEDocumento tipo);
QUARLO_API std::string TipoDTEText(TipoDTELiquidacion tipo);
QUARLO_API std::string TipoDTEText(TipoDTEExportaciones tipo);
QUARLO_API std::string TipoDTEText(TipoDTEBoleta tipo);

/// The canonical Base64 of a Base64-valued text: "==" and "" are the empty value (""), line breaks
/// are dropped; throws Error when the text is not Base64.
QUARLO_API std::string NormalizeBase64(std::string_view text);

}  // namespace QuarloCliente
