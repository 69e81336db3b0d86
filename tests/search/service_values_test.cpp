#include "search/service_values.hpp"

#include <gtest/gtest.h>

#include <quarlo/error.hpp>
#include <string>

#include "search/result_page.hpp"

namespace QuarloCliente::detail {
namespace {

TEST(ServiceTimestamp, DirectFormsAreReadWholeAndOthersOnlyByPosition) {
  EXPECT_EQ(ReadDirectTimestamp("2024-03-07"), MakeDate(2024, 3, 7));
  EXPECT_EQ(ReadDirectTimestamp(" 2024-03-07 10:20:30\n"), MakeDate(2024, 3, 7, 10, 20, 30));
  EXPECT_EQ(ReadDirectTimestamp("2024-03-07 10:20"), MakeDate(2024, 3, 7, 10, 20));
  EXPECT_EQ(ReadDirectTimestamp("2024-03-07T10:20:30.999+05:30"), MakeDate(2024, 3, 7, 10, 20, 30));
  EXPECT_EQ(ReadDirectTimestamp("2024-03-07T10:20Z"), MakeDate(2024, 3, 7, 10, 20));
  for (const char* text : {"2024/03/07 10:20:30", "2024-03-07 10:20:30 x", "2024-03-07T10:20:30.",
                           "2024-3-7", "2024-03-07T", "2024-03-07 10:20:30+3", "2024-02-30"}) {
    EXPECT_EQ(ReadDirectTimestamp(text), std::nullopt) << text;
  }
  EXPECT_EQ(ReadTimestamp("2024/03/07 10:20:30"), MakeDate(2024, 3, 7, 10, 20, 30));
  EXPECT_EQ(ReadTimestamp("2024.03.07_23:59:59,5 hora local"), MakeDate(2024, 3, 7, 23, 59, 59));
}

TEST(ServiceTimestamp, EmptyShortOrImpossibleTextsFail) {
  for (const char* text :
       {"", "  ", "2024", "2024-03-07T10:20:3", "2024-13-07T10:20:30", "2024-02-29T24:00:00",
        "2023-02-29T10:00:00", "2024-03-07T10.20.30", "abcd-ef-ghTij:kl:mn"}) {
    EXPECT_THROW(ReadTimestamp(text), Error) << text;
  }
  EXPECT_EQ(ReadTimestamp("2024-02-29T23:59:59"), MakeDate(2024, 2, 29, 23, 59, 59));
  EXPECT_THROW(ReadReconciledTimestamp("2024/03/07 10:20:30"), Error);
  EXPECT_EQ(ReadReconciledTimestamp("2024-03-07T10:20:30-03:00"), MakeDate(2024, 3, 7, 10, 20, 30));
}

TEST(ServicePages, OddTotalsAndSizes) {
  EXPECT_EQ(PageCount(1, 1), 1);
  EXPECT_EQ(PageCount(2147483647, 32767), 65539);
  EXPECT_EQ(PageCount(-5, 10), 0);
  EXPECT_THROW(PageCount(7, 0), Error);
  EXPECT_THROW(PageCount(-2147483647 - 1, -1), Error);
}

}  // namespace
}  // namespace QuarloCliente::detail
