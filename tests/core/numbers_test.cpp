#include "core/numbers.hpp"

#include <gtest/gtest.h>

#include <quarlo/error.hpp>

namespace QuarloCliente::detail {
namespace {

TEST(ServiceNumbers, WholeNumbersWithinTheirWidth) {
  EXPECT_EQ(ReadLong("0012", "Folio"), 12);
  EXPECT_EQ(ReadLong(" 40000 ", "TotalDocuments"), 40000);
  EXPECT_EQ(ReadLong("-2147483648", "x"), INT32_MIN);
  EXPECT_EQ(ReadInteger("32767", "Codigo"), 32767);
  EXPECT_EQ(ReadInteger("-32768", "Codigo"), -32768);
}

TEST(ServiceNumbers, RefusalsNameTheElement) {
  for (const char* bad : {"", "12a", "1e3", "1.5"}) {
    try {
      ReadLong(bad, "Folio");
      ADD_FAILURE() << bad;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("Folio"), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(ReadLong("2147483648", "x"), Error);
  EXPECT_THROW(ReadLong("99999999999999999999", "x"), Error);
  EXPECT_THROW(ReadInteger("32768", "Codigo"), Error);
  EXPECT_THROW(ReadInteger("-32769", "Codigo"), Error);
}

}  // namespace
}  // namespace QuarloCliente::detail
