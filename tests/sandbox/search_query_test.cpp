// The search's query language against queries built to hurt it: too many terms, a query or a term
// too long for the database, and SQL wildcards and quotes that must stay plain text.

#include <gtest/gtest.h>

#include "server_harness.hpp"

namespace QuarloSandbox::testing {
namespace {

class SandboxSearchInput : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadCaf(sandbox_, kIssuer, 33, 1, 10);
    ASSERT_TRUE(sandbox_.Post("/SendDTEDocument", SendBody(FacturaContent(1))).Ok());
  }
  Reply Search(const std::string& query) const {
    return sandbox_.Post("/PaginatedSearch", Body("SearchRequest", {{"Environment", "T"},
                                                                    {"Group", "E"},
                                                                    {"Query", IsoBase64Of(query)},
                                                                    {"Page", "1"},
                                                                    {"PageSize", "10"}}));
  }
  std::string Total(const std::string& query) const {
    const Reply reply = Search(query);
    EXPECT_TRUE(reply.Ok()) << query << ": " << reply;
    return reply.Field("TotalDocuments");
  }
  static std::string Repeated(const std::string& term, int count) {
    std::string query;
    for (int i = 0; i < count; ++i) query += term + " ";
    return query;
  }

  Sandbox sandbox_;
};

TEST_F(SandboxSearchInput, RefusesQueriesBeyondItsLimitsWith400) {
  const auto expectRefused = [&](const std::string& query, const std::string& reason) {
    const Reply reply = Search(query);
    EXPECT_EQ(reply.status, 400) << reply;
    EXPECT_EQ(reply.Field("Result"), "1");
    EXPECT_NE(reply.Field("Description").find(reason), std::string::npos) << reply;
  };
  expectRefused(Repeated("tipo:33", 999), "caracteres");
  expectRefused(Repeated("a", 400), "términos");
  expectRefused(Repeated("peñascos", 33), "términos");
  expectRefused(std::string(5000, 'a'), "caracteres");
  expectRefused("nombre:" + std::string(300, 'x'), "término");
  // One term listing thousands of types would bind more parameters than the database takes.
  std::string types = "tipo:33";
  for (int i = 0; i < 40000; ++i) types += ",33";
  expectRefused(types, "caracteres");
  // Terms within the limits, as many as allowed, still answer.
  EXPECT_EQ(Total(Repeated("peñascos", 32)), "1");
  EXPECT_EQ(Total(Repeated("fecha:2024-05-01..2024-05-31", 32)), "1");
  EXPECT_EQ(Total("nombre:\"" + std::string(190, 'x') + "\""), "0");
}

TEST_F(SandboxSearchInput, TakesWildcardsAndQuotesAsPlainText) {
  EXPECT_EQ(Total("PEÑASCOS"), "1");
  for (const char* query :
       {"%", "_", "peñ%", "pe_ascos", "'", "\"los' OR '1'='1\"", "*", "nombre:%25", "\\%"}) {
    EXPECT_EQ(Total(query), "0") << query;
  }
}

}  // namespace
}  // namespace QuarloSandbox::testing
