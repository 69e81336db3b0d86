#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <quarlo/binding_values.hpp>
#include <quarlo/error.hpp>
#include <regex>
#include <string>
#include <vector>

#include "binding/schema.hpp"
#include "binding/value_check.hpp"

namespace QuarloCliente {
namespace {

TEST(BindingIntegerTest, ReadsXmlSchemaIntegersIntoCanonicalText) {
  EXPECT_EQ(BindingInteger("0012").ToString(), "12");
  EXPECT_EQ(BindingInteger("+7").ToString(), "7");
  EXPECT_EQ(BindingInteger("-0").ToString(), "0");
  EXPECT_EQ(BindingInteger("-000450").ToString(), "-450");
  EXPECT_EQ(BindingInteger(" \t12\n").ToString(), "12");
  EXPECT_EQ(BindingInteger("123456789012345678901234567890").ToString(),
            "123456789012345678901234567890");
  EXPECT_EQ(BindingInteger(-42).ToString(), "-42");
  EXPECT_EQ(BindingInteger("0012"), BindingInteger(12));

  for (const char* bad : {"", " ", "12.0", "1e3", "12a", "--1", "+", "1 2", "0x10"}) {
    EXPECT_FALSE(BindingInteger::TryParse(bad)) << bad;
  }
  try {
    BindingInteger("12a");
    FAIL() << "no se rechazó 12a";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "'12a' no es un número entero");
  }
}

TEST(BindingIntegerTest, ConvertsToMachineIntegersOnlyWhenTheValueFits) {
  EXPECT_EQ(BindingInteger("9223372036854775807").ToInt64(), INT64_MAX);
  EXPECT_EQ(BindingInteger("-9223372036854775808").ToInt64(), INT64_MIN);
  EXPECT_THROW(BindingInteger("9223372036854775808").ToInt64(), Error);
  EXPECT_EQ(BindingInteger("-2147483648").ToInt32(), INT32_MIN);
  EXPECT_THROW(BindingInteger("2147483648").ToInt32(), Error);

  EXPECT_LT(BindingInteger(-5), BindingInteger(3));
  EXPECT_LT(BindingInteger(-50), BindingInteger(-5));
  EXPECT_LT(BindingInteger(99), BindingInteger(100));
  EXPECT_GT(BindingInteger("100000000000000000000"), BindingInteger(INT64_MAX));
}

TEST(BindingDecimalTest, WritesTheCanonicalFormOfXmlSchemaDecimals) {
  EXPECT_EQ(BindingDecimal("1.0").ToString(), "1.0");
  EXPECT_EQ(BindingDecimal("1").ToString(), "1.0");
  EXPECT_EQ(BindingDecimal("0012.50").ToString(), "12.5");
  EXPECT_EQ(BindingDecimal(".5").ToString(), "0.5");
  EXPECT_EQ(BindingDecimal("12.").ToString(), "12.0");
  EXPECT_EQ(BindingDecimal("-0").ToString(), "0.0");
  EXPECT_EQ(BindingDecimal("-0.000").ToString(), "0.0");
  EXPECT_EQ(BindingDecimal("+3.250").ToString(), "3.25");
  EXPECT_EQ(BindingDecimal(1500).ToString(), "1500.0");
  EXPECT_EQ(BindingDecimal(BindingInteger(-7)).ToString(), "-7.0");
  EXPECT_EQ(BindingDecimal("999999999999999999999999999999.9999").ToString(),
            "999999999999999999999999999999.9999");
  // The canonical text reads back as the same value.
  for (const char* text : {"1.0", "0.0001", "-12.5", "123456789012345678.25"}) {
    EXPECT_EQ(BindingDecimal(BindingDecimal(text).ToString()), BindingDecimal(text)) << text;
  }
  for (const char* bad : {"", ".", "-.", "1e3", "1,5", "1.2.3", "abc", "+-1"}) {
    EXPECT_FALSE(BindingDecimal::TryParse(bad)) << bad;
  }
  EXPECT_THROW(BindingDecimal("1,5"), Error);
}

TEST(BindingDecimalTest, CountsDigitsAndComparesByValue) {
  EXPECT_EQ(BindingDecimal("0.05").TotalDigits(), 1u);
  EXPECT_EQ(BindingDecimal("0.05").FractionDigits(), 2u);
  EXPECT_EQ(BindingDecimal("100").TotalDigits(), 3u);
  EXPECT_EQ(BindingDecimal("12.50").TotalDigits(), 3u);
  EXPECT_EQ(BindingDecimal("12.50").FractionDigits(), 1u);
  EXPECT_EQ(BindingDecimal("0").TotalDigits(), 1u);
  EXPECT_TRUE(BindingDecimal("12.000").IsInteger());
  EXPECT_EQ(BindingDecimal("-12.000").ToInteger(), BindingInteger(-12));
  EXPECT_THROW(BindingDecimal("12.5").ToInteger(), Error);
  EXPECT_DOUBLE_EQ(BindingDecimal("1234.5").ToDouble(), 1234.5);

  EXPECT_LT(BindingDecimal("1.05"), BindingDecimal("1.5"));
  EXPECT_LT(BindingDecimal("-1.5"), BindingDecimal("-1.05"));
  EXPECT_LT(BindingDecimal("9.99"), BindingDecimal("10"));
  EXPECT_EQ(BindingDecimal("1"), BindingDecimal("1.000"));
}

// The test programs run under the environment's locale, and ctest runs this suite again under
// es_CL and de_DE, where a locale-bound reader stops at the point: 12.5 would read as 12.
TEST(BindingDecimalTest, ConvertsToDoubleWhateverTheLocale) {
  EXPECT_EQ(BindingDecimal("12.5").ToDouble(), 12.5);
  EXPECT_EQ(BindingDecimal("-0.001").ToDouble(), -0.001);
  EXPECT_EQ(BindingDecimal("123456789012.25").ToDouble(), 123456789012.25);
  const std::string huge = "1" + std::string(400, '0');
  EXPECT_EQ(BindingDecimal(huge).ToDouble(), HUGE_VAL);
  EXPECT_EQ(BindingDecimal("-" + huge).ToDouble(), -HUGE_VAL);
  EXPECT_EQ(BindingDecimal("0." + std::string(400, '0') + "1").ToDouble(), 0.0);
  EXPECT_EQ(BindingInteger("-9223372036854775808").ToInt64(), INT64_MIN);
  EXPECT_EQ(BindingInteger("+0009223372036854775807").ToInt64(), INT64_MAX);
}

TEST(BindingDateTimeTest, FormatsDatesAndDateTimesWithCodeS) {
  const auto date = BindingDateTime::FromDate(2024, 3, 7);
  EXPECT_EQ(date.Kind(), BindingDateTimeKind::XsDate);
  EXPECT_EQ(date.Format("s"), "2024-03-07");
  EXPECT_EQ(date.ToString(), "2024-03-07");
  EXPECT_EQ(date.Year(), 2024);
  EXPECT_EQ(date.Month(), 3);
  EXPECT_EQ(date.Day(), 7);

  const auto moment = BindingDateTime::FromDateTime(2010, 1, 1, 9, 5, 3);
  EXPECT_EQ(moment.Format("s"), "2010-01-01T09:05:03");
  EXPECT_EQ(moment.Format("dd/MM/yyyy HH:mm"), "01/01/2010 09:05");

  EXPECT_EQ(BindingDateTime::FromYearMonth(2014, 10).Format("s"), "2014-10");
  EXPECT_EQ(BindingDateTime::FromYearMonth(2014, 10).Month(), 10);
  EXPECT_EQ(BindingDateTime::FromYear(2024).Format("s"), "2024");
  EXPECT_THROW(date.Format("d"), Error);
}

TEST(BindingDateTimeTest, ParsesEachKindAndKeepsTimeZonesAndFractions) {
  EXPECT_EQ(BindingDateTime::Parse("2024-03-07").Kind(), BindingDateTimeKind::XsDate);
  EXPECT_EQ(BindingDateTime::Parse("2024-03-07T10:15:00").Kind(), BindingDateTimeKind::XsDateTime);
  EXPECT_EQ(BindingDateTime::Parse("2024-03").Kind(), BindingDateTimeKind::XsGYearMonth);
  EXPECT_EQ(BindingDateTime::Parse("2024").Kind(), BindingDateTimeKind::XsGYear);

  const auto zoned = BindingDateTime::Parse("2024-03-07T10:15:00.25-03:00");
  EXPECT_EQ(zoned.ToString(), "2024-03-07T10:15:00.25-03:00");
  EXPECT_EQ(zoned.Format("s"), "2024-03-07T10:15:00");
  EXPECT_EQ(BindingDateTime::Parse(" 2024-03-07Z ").ToString(), "2024-03-07Z");

  EXPECT_TRUE(BindingDateTime::TryParse("2024-02-29", BindingDateTimeKind::XsDate));
  for (const char* bad : {"2023-02-29", "2024-13-01", "2024-04-31", "0000-01-01", "24-03-07",
                          "2024-03-07T24:00:00", "2024-03-07+15:00", "2024-3-7"}) {
    EXPECT_FALSE(BindingDateTime::TryParse(bad, BindingDateTimeKind::XsDate) ||
                 BindingDateTime::TryParse(bad, BindingDateTimeKind::XsDateTime))
        << bad;
  }
  EXPECT_THROW(BindingDateTime::Parse("2024-03-07T10:15:00", BindingDateTimeKind::XsDate), Error);
  EXPECT_THROW(BindingDateTime::FromDate(2023, 2, 29), Error);
}

TEST(BindingDateTimeTest, AssignsDatesAndConvertsToAndFromDate) {
  BindingDateTime value = BindingDateTime::FromDateTime(2024, 1, 2, 3, 4, 5);
  value.SetDate(2014, 12, 21);
  EXPECT_EQ(value.Kind(), BindingDateTimeKind::XsDate);
  EXPECT_EQ(value.Format("s"), "2014-12-21");
  EXPECT_EQ(value.Hour(), 0);
  value.SetDateTime(2014, 10, 1, 0, 0, 0);
  EXPECT_EQ(value.Format("s"), "2014-10-01T00:00:00");
  EXPECT_THROW(value.SetDateTime(2014, 10, 1, 25, 0, 0), Error);
  EXPECT_EQ(value.Format("s"), "2014-10-01T00:00:00");

  const Date when = MakeDate(2024, 3, 7, 17, 30, 12);
  EXPECT_EQ(BindingDateTime::FromDateTime(when).ToDate(), when);
  EXPECT_EQ(BindingDateTime::FromDate(when).Format("s"), "2024-03-07");
  EXPECT_EQ(BindingDateTime::FromDate(when).ToDate(), MakeDate(2024, 3, 7));
  EXPECT_EQ(BindingDateTime::FromYearMonth(2014, 10).ToDate(), MakeDate(2014, 10, 1));
  value.SetDate(when);
  EXPECT_EQ(value, BindingDateTime::FromDate(2024, 3, 7));
}

TEST(TipoDTETest, EachFormAcceptsOnlyItsOwnCodes) {
  EXPECT_EQ(ParseTipoDTE<TipoDTEDocumento>("33"), TipoDTEDocumento::FacturaElectronica);
  EXPECT_EQ(ParseTipoDTE<TipoDTEDocumento>(" 061 "), TipoDTEDocumento::NotaCredito);
  EXPECT_EQ(ParseTipoDTE<TipoDTELiquidacion>("43"), TipoDTELiquidacion::LiquidacionFactura);
  EXPECT_EQ(ParseTipoDTE<TipoDTEExportaciones>("112"),
            TipoDTEExportaciones::NotaCreditoExportacion);
  EXPECT_EQ(ParseTipoDTE<TipoDTEBoleta>("41"), TipoDTEBoleta::BoletaExenta);

  const auto message = [](auto parse) {
    try {
      parse();
    } catch (const Error& error) {
      return std::string(error.what());
    }
    return std::string("sin error");
  };
  EXPECT_EQ(message([] { ParseTipoDTE<TipoDTEDocumento>("39"); }),
            "el código 39 no es un TipoDTE válido para Documento");
  EXPECT_EQ(message([] { ParseTipoDTE<TipoDTEDocumento>("43"); }),
            "el código 43 no es un TipoDTE válido para Documento");
  EXPECT_EQ(message([] { ParseTipoDTE<TipoDTELiquidacion>("33"); }),
            "el código 33 no es un TipoDTE válido para Liquidacion");
  EXPECT_EQ(message([] { ParseTipoDTE<TipoDTEExportaciones>("110.0"); }),
            "'110.0' no es un código de TipoDTE");
  EXPECT_EQ(message([] { ParseTipoDTE<TipoDTEBoleta>("33"); }),
            "el código 33 no es un TipoDTE válido para boleta");
  EXPECT_EQ(message([] { ParseTipoDTE<TipoDTEDocumento>(""); }), "'' no es un código de TipoDTE");
  EXPECT_EQ(TipoDTEText(TipoDTEExportaciones::FacturaExportacion), "110");
}

// The enumerations of the code must match, code for code, what the schema table allows.
template <class Tipo>
std::vector<std::string> CodesOfTable(detail::schema::RootKind root, std::string_view form) {
  const int simple = detail::SimpleTypeAt(root, {form, "Encabezado", "IdDoc", "TipoDTE"});
  std::vector<std::string> codes;
  for (std::string_view code : detail::schema::Enumerations(detail::schema::Simple(simple))) {
    codes.emplace_back(code);
    EXPECT_EQ(TipoDTEText(ParseTipoDTE<Tipo>(code)), code);
  }
  return codes;
}

TEST(TipoDTETest, EnumerationsAreThoseOfTheSchemas) {
  using detail::schema::RootKind;
  EXPECT_EQ(CodesOfTable<TipoDTEDocumento>(RootKind::kDte, "Documento"),
            (std::vector<std::string>{"33", "34", "46", "52", "56", "61"}));
  EXPECT_EQ(CodesOfTable<TipoDTELiquidacion>(RootKind::kDte, "Liquidacion"),
            (std::vector<std::string>{"43"}));
  EXPECT_EQ(CodesOfTable<TipoDTEExportaciones>(RootKind::kDte, "Exportaciones"),
            (std::vector<std::string>{"110", "111", "112"}));
  EXPECT_EQ(CodesOfTable<TipoDTEBoleta>(RootKind::kBoleta, "Documento"),
            (std::vector<std::string>{"39", "41"}));
}

// Numeric bounds and allowed values are parsed once per type of the table, the RUT pattern is
// matched without the regex engine: each type must still be checked against its own facets.
TEST(ValueCheckTest, EveryNumericTypeIsCheckedAgainstItsOwnFacets) {
  using detail::schema::Kind;
  int checked = 0;
  for (std::size_t index = 0; index < std::size(detail::schema::kSimpleTypes); ++index) {
    const int simple = static_cast<int>(index);
    const auto& type = detail::schema::Simple(simple);
    if (type.kind != Kind::kInteger && type.kind != Kind::kDecimal) continue;
    SCOPED_TRACE(index);
    const auto canonical = [&](const std::string& text) {
      return type.kind == Kind::kInteger ? BindingInteger(text).ToString()
                                         : BindingDecimal(text).ToString();
    };
    for (std::string_view allowed : detail::schema::Enumerations(type)) {
      EXPECT_EQ(detail::CheckValue(simple, allowed), "") << allowed;
    }
    if (type.enumeration_count > 0) {
      EXPECT_NE(detail::CheckValue(simple, "987654321").find("no es uno de los permitidos"),
                std::string::npos);
      continue;
    }
    const std::string min(type.min_inclusive);
    const std::string max(type.max_inclusive);
    if (!min.empty() && min.front() != '-') {
      EXPECT_EQ(detail::CheckValue(simple, "-1"),
                "el valor " + canonical("-1") + " es menor que el mínimo " + min);
    }
    if (!max.empty() && max.front() != '-') {
      EXPECT_EQ(detail::CheckValue(simple, "1" + max),
                "el valor " + canonical("1" + max) + " es mayor que el máximo " + max);
    }
    ++checked;
  }
  EXPECT_GT(checked, 40);
}

TEST(ValueCheckTest, RutsFollowTheirPatternExactly) {
  const int rut = detail::SimpleTypeAt(detail::schema::RootKind::kDte,
                                       {"Documento", "Encabezado", "Emisor", "RUTEmisor"});
  ASSERT_GE(rut, 0);
  const std::regex pattern("[0-9]+-([0-9]|K)");
  for (const char* text : {"76543210-3", "1-9",  "1-K",  "1-k",        "123",        "1-10", "1-KK",
                           " 1-9",       "1-9 ", "1--5", "A-1",        "1.2-5",      "12-",  "-12",
                           "9-K-",       "0-0",  "12-K", "1-\xC3\xB1", "\xD9\xA3-1", "1_9"}) {
    EXPECT_EQ(detail::CheckValue(rut, text).empty(), std::regex_match(text, pattern)) << text;
  }
}

TEST(Base64ValueTest, TakesDoubleEqualsAsTheEmptyValue) {
  EXPECT_EQ(NormalizeBase64("=="), "");
  EXPECT_EQ(NormalizeBase64(" == "), "");
  EXPECT_EQ(NormalizeBase64(""), "");
  EXPECT_EQ(NormalizeBase64("QUJD\r\nREVG"), "QUJDREVG");
  EXPECT_EQ(NormalizeBase64("QQ"), "QQ==");
  EXPECT_THROW(NormalizeBase64("Q*=="), Error);
  EXPECT_THROW(NormalizeBase64("==QQ"), Error);
}

}  // namespace
}  // namespace QuarloCliente
