#include "core/url.hpp"

#include <gtest/gtest.h>

namespace QuarloCliente::detail {
namespace {

TEST(PathBuilder, UnreservedCharactersStayEverythingElseIsEncoded) {
  EXPECT_EQ(EncodePathSegment("11111111-1"), "11111111-1");
  EXPECT_EQ(EncodePathSegment("a.b_c~d"), "a.b_c~d");
  EXPECT_EQ(EncodePathSegment("a/b"), "a%2Fb");
  EXPECT_EQ(EncodePathSegment("¿por qué? #1"), "%C2%BFpor%20qu%C3%A9%3F%20%231");
  EXPECT_EQ(EncodePathSegment("ñ"), "%C3%B1");
  EXPECT_EQ(EncodePathSegment("100%"), "100%25");
  EXPECT_EQ(EncodePathSegment(""), "");
}

TEST(PathBuilder, DotOnlySegmentsCannotClimb) {
  EXPECT_EQ(EncodePathSegment("."), "%2E");
  EXPECT_EQ(EncodePathSegment(".."), "%2E%2E");
  EXPECT_EQ(EncodePathSegment("..."), "%2E%2E%2E");
  EXPECT_EQ(EncodePathSegment("..a"), "..a");
}

TEST(PathBuilder, SeparatorsStayAndEmptySegmentsShow) {
  EXPECT_EQ(ServiceUrl("http://h", "/FiscalStatus/", {"T", "E", "1-9", "33", "10"}),
            "http://h/FiscalStatus/T/E/1-9/33/10");
  EXPECT_EQ(ServiceUrl("http://h", "/FiscalStatus/", {"T", "", "1-9"}),
            "http://h/FiscalStatus/T//1-9");
  EXPECT_EQ(ServiceUrl("http://h", "/VoidDocument/", {"T", "1-9", "33", "10", ""}),
            "http://h/VoidDocument/T/1-9/33/10/");
  EXPECT_EQ(ServiceUrl("http://h/", "/GetFactorings"), "http://h//GetFactorings");
  EXPECT_EQ(ServiceUrl("", "/GetFactorings"), "/GetFactorings");
  EXPECT_EQ(ServiceUrl("http://h", "/VoidDocument/", {"T", "..", "33", "a/b?c"}),
            "http://h/VoidDocument/T/%2E%2E/33/a%2Fb%3Fc");
}

}  // namespace
}  // namespace QuarloCliente::detail
