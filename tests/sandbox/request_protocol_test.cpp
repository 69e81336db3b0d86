// Reading requests and writing answers: the parts of the protocol that every operation relies on.

#include <gtest/gtest.h>

#include <quarlo/namespaces.hpp>

#include "core/selector.hpp"
#include "core/xml.hpp"
#include "protocol/answer.hpp"
#include "protocol/request.hpp"
#include "sandbox_error.hpp"
#include "service/book_period.hpp"
#include "service/query.hpp"
#include "service/search_text.hpp"
#include "service/stamping.hpp"

namespace QuarloSandbox {
namespace {

namespace qd = QuarloCliente::detail;

int StatusOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const SandboxError& error) {
    return error.status();
  }
  return 0;
}

TEST(SandboxProtocol, SplitsTargetsIntoDecodedSegmentsKeepingEmptyOnes) {
  const PathCall call = SplitTarget("/VoidDocument/T/76543210-3/33/15/precio%2Fmonto%20%C3%B1?x=1");
  EXPECT_EQ(call.operation, "VoidDocument");
  EXPECT_EQ(call.segments,
            (std::vector<std::string>{"T", "76543210-3", "33", "15", "precio/monto ñ"}));
  EXPECT_EQ(SplitTarget("/FiscalStatus/T//r/33/1").segments,
            (std::vector<std::string>{"T", "", "r", "33", "1"}));
  EXPECT_EQ(SplitTarget("/VoidDocument/T/r/33/1/").segments.back(), "");
  EXPECT_TRUE(SplitTarget("/GetFactorings").segments.empty());
  EXPECT_EQ(StatusOf([] { SplitTarget("/x/%4"); }), 400);
  EXPECT_EQ(StatusOf([] { SplitTarget("x"); }), 400);
}

TEST(SandboxProtocol, ReadsBodiesOnlyInTheServiceNamespaceWithTheirFields) {
  const std::string ns(QuarloCliente::ApiNamespace);
  const RequestBody body("<R xmlns=\"" + ns + "\"><A>x &amp; y</A><N>-5</N><B>true</B><E></E></R>",
                         "R");
  EXPECT_EQ(body.Field("A"), "x & y");
  EXPECT_EQ(body.Field("E"), "");
  EXPECT_EQ(body.Number("N", -10, 10), -5);
  EXPECT_TRUE(body.Flag("B"));
  EXPECT_EQ(StatusOf([&] { body.Field("Z"); }), 400);
  EXPECT_EQ(StatusOf([&] { body.Number("N", 0, 10); }), 400);
  EXPECT_EQ(StatusOf([&] { body.Flag("A"); }), 400);
  EXPECT_EQ(StatusOf([&] { RequestBody("<R><A/></R>", "R"); }), 400);
  EXPECT_EQ(StatusOf([&] { RequestBody("<S xmlns=\"" + ns + "\"/>", "R"); }), 400);
  EXPECT_EQ(StatusOf([&] { RequestBody("<R xmlns=\"" + ns + "\">", "R"); }), 400);
}

TEST(SandboxProtocol, ChecksRutsDatesAndNumbers) {
  EXPECT_EQ(RequireRut("11111111-k", "RUT"), "11111111-K");
  EXPECT_EQ(StatusOf([] { RequireRut("11.111.111-1", "RUT"); }), 400);
  EXPECT_EQ(StatusOf([] { RequireRut("-1", "RUT"); }), 400);
  EXPECT_EQ(RequireDate("20240229", "fecha"), "2024-02-29");
  EXPECT_EQ(StatusOf([] { RequireDate("2023-02-29", "fecha"); }), 400);
  EXPECT_EQ(StatusOf([] { RequireNumber("99999999999999999999", "folio", 0, 10); }), 400);
  EXPECT_EQ(RequireNumber("007", "folio", 0, 10), 7);
}

TEST(SandboxProtocol, WritesAnswersWhoseTextsSurviveParsing) {
  Answer answer = Answer::Failure(404, "no existe <x> & \"y\"\r\n");
  answer.Add("Data", "a<b");
  const std::string xml = RenderAnswer(answer);
  const auto doc = qd::ParseNetworkXml(xml);
  ASSERT_TRUE(doc) << xml;
  const xmlNode* root = xmlDocGetRootElement(doc.get());
  EXPECT_EQ(qd::View(root->ns->href), QuarloCliente::ApiNamespace);
  EXPECT_EQ(qd::NodeText(qd::SelectFirstElement(doc.get(), "//Result")), "1");
  EXPECT_EQ(qd::NodeText(qd::SelectFirstElement(doc.get(), "//Description")),
            "no existe <x> & \"y\"\r\n");
  EXPECT_EQ(qd::NodeText(qd::SelectFirstElement(doc.get(), "//Data")), "a<b");
  // Description is present even when empty, as some readers require it.
  EXPECT_NE(RenderAnswer(Answer{}).find("<Description></Description>"), std::string::npos);
}

TEST(SandboxProtocol, CodesBookPeriodsAsTheLibraryAsksForThem) {
  EXPECT_EQ(ReadBookPeriod("2024-03", "MENSUAL").code, 202403130);
  EXPECT_EQ(ReadBookPeriod("202412", "ESPECIAL").code, 202412230);
  EXPECT_EQ(ReadBookPeriod("2025-01", "RECTIFICA").code, 202501330);
  EXPECT_EQ(ReadBookPeriod("2024-03", "MENSUAL").yearMonth, "2024-03");
  EXPECT_EQ(StatusOf([] { ReadBookPeriod("2024-13", "MENSUAL"); }), 400);
  EXPECT_EQ(StatusOf([] { ReadBookPeriod("03-2024", "MENSUAL"); }), 400);
  EXPECT_EQ(DayCode("2024-03-05"), 20240305);
}

TEST(SandboxProtocol, CompilesQueriesIntoBoundConditionsOnly) {
  const SqlFilter filter = CompileQuery("tipo:33,034 folio:5.. nombre:\"Ñuñoa'; DROP\"");
  EXPECT_EQ(filter.condition, "tipo IN (?, ?) AND folio >= ? AND instr(search_text, ?) > 0");
  ASSERT_EQ(filter.params.size(), 4u);
  EXPECT_EQ(filter.params[1].text, "34");
  EXPECT_EQ(filter.params[2].number, 5);
  EXPECT_EQ(filter.params[3].text, "nunoa'; drop");
  EXPECT_EQ(CompileQuery("  ").condition, "1");
  EXPECT_EQ(StatusOf([] { CompileQuery("\"sin cerrar"); }), 400);
  EXPECT_EQ(StatusOf([] { CompileQuery("folio:..x"); }), 400);
  EXPECT_EQ(StatusOf([] { CompileQuery("estado:borrado"); }), 400);
}

TEST(SandboxProtocol, CutsTedTextsByCharactersNotBytes) {
  EXPECT_EQ(FirstCharacters("Peñalolén", 3), "Peñ");
  EXPECT_EQ(FirstCharacters("ab", 40), "ab");
  EXPECT_EQ(FoldForSearch("PEÑALOLÉN Ünico"), "penalolen unico");
}

}  // namespace
}  // namespace QuarloSandbox
