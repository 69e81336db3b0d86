// Requests built to break the sandbox's answers: control characters in path segments and in the
// address the client reached, and refusals whose text holds a NUL. Whatever arrives, the answer
// parses as XML.

#include <gtest/gtest.h>

#include "protocol/request.hpp"
#include "protocol/xml_writer.hpp"
#include "sandbox_error.hpp"
#include "server/dispatcher.hpp"
#include "server_harness.hpp"

namespace QuarloSandbox::testing {
namespace {

using namespace std::string_literals;

const std::string kReplacement = "\uFFFD";

// The description of the refusal a call throws, or "" when it throws none.
std::string RefusalOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const SandboxError& error) {
    return std::to_string(error.status()) + " " + error.what();
  }
  return {};
}

TEST(SandboxHostileInput, RefusesControlCharactersInPathSegments) {
  for (const std::string& target :
       {"/VoidDocument/T/76543210-3/33/1/a%01b"s, "/Print/T/76543210-3/33/1/%00"s,
        "/FiscalStatus%0A/T"s, "/VoidDocument/T/r/33/1/tab%09"s, "/x/%7f"s, "/x/a\x01"s,
        "/x/%0D%0AHost:%20otro"s}) {
    const std::string refusal = RefusalOf([&] { SplitTarget(target); });
    EXPECT_EQ(refusal.substr(0, 4), "400 ") << target;
    EXPECT_NE(refusal.find("carácter de control"), std::string::npos) << refusal;
  }
  // Printable text outside ASCII and escaped printable characters still pass.
  EXPECT_EQ(SplitTarget("/Print/T/r/33/1/Caja%20%C3%91%7E").segments.back(), "Caja Ñ~");
}

TEST(SandboxHostileInput, AnswersControlCharactersInSegmentsWithAParsableRefusal) {
  const Sandbox sandbox;
  LoadCaf(sandbox, kIssuer, 33, 1, 10);
  ASSERT_TRUE(sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(1))).Ok());
  const std::string document = "/T/" + std::string(kIssuer) + "/33/1/";
  for (const std::string& target :
       {"/Print" + document + "Caja%01Norte", "/VoidDocument" + document + "motivo%00oculto"}) {
    const Reply reply = sandbox.Get(target);
    EXPECT_EQ(reply.status, 400) << reply;
    EXPECT_EQ(reply.Field("Result"), "1") << "the answer parses: " << reply;
    EXPECT_NE(reply.Field("Description").find("carácter de control"), std::string::npos);
  }
  EXPECT_EQ(sandbox.Get("/FiscalStatus/T/E/" + std::string(kIssuer) + "/33/1").Field("Status"),
            "VALIDADO")
      << "the refused void changed nothing";
}

TEST(SandboxHostileInput, WritesOnlyCharactersXmlAllowsWhateverTheValue) {
  // Controls, a NUL inside the text, a byte that is no UTF-8, an encoded surrogate and U+FFFE
  // each become U+FFFD; tab, line feed, carriage return, DEL and real characters stay.
  const std::string hostile =
      "a\x01"s + "b\0c"s + "\x1F\x7F\t\n\r" + "\xFF" + "\xED\xA0\x80" + "\xEF\xBF\xBE" + "ñ€<&";
  const std::string expected = "a" + kReplacement + "b" + kReplacement + "c" + kReplacement +
                               "\x7F\t\n\r" + kReplacement + kReplacement + kReplacement +
                               kReplacement + kReplacement + "ñ€<&";

  Answer answer = Answer::Failure(400, hostile);
  answer.Add("Data", hostile);
  const Reply reply{400, RenderAnswer(answer)};
  EXPECT_EQ(reply.Field("Description"), expected) << reply.body;
  EXPECT_EQ(reply.Field("Data"), expected);

  XmlWriter xml;
  xml.Open("E").Attribute("v", hostile).Close("E");
  const auto doc = qd::ParseHeldXml(xml.Text());
  ASSERT_TRUE(doc) << xml.Text();
  const qd::XmlCharPtr value(xmlGetProp(xmlDocGetRootElement(doc.get()), qd::Xc("v")));
  EXPECT_EQ(qd::View(value.get()), expected);
}

TEST(SandboxHostileInput, KeepsARefusalWholeWhenItsTextHoldsANul) {
  const Sandbox sandbox;
  const Reply reply =
      sandbox.Post("/PaginatedSearch", Body("SearchRequest", {{"Environment", "T"},
                                                              {"Group", "E"},
                                                              {"Query", Base64Of("estado:x\0y"s)},
                                                              {"Page", "1"},
                                                              {"PageSize", "10"}}));
  EXPECT_EQ(reply.status, 400) << reply;
  EXPECT_NE(reply.Field("Description").find("no 'x" + kReplacement + "y'"), std::string::npos)
      << reply;
}

TEST(SandboxHostileInput, LinksBuiltFromAnOddAddressStillParse) {
  Store store("");
  ServiceContext context{store, TestAuthority()};
  const ApiKeys keys({});
  const auto post = [&](const std::string& target, const std::string& body,
                        const std::string& baseUrl = "http://127.0.0.1") {
    const Answer answer = Dispatch(context, keys, {"POST", target, std::nullopt, body, baseUrl});
    return Reply{answer.status, RenderAnswer(answer)};
  };
  const Caf caf = IssueTestCaf(kIssuer, "Emisor", 33, 1, 5, TestAuthority());
  ASSERT_TRUE(post("/UploadCaf", UploadBody(caf.xml)).Ok());
  ASSERT_TRUE(post("/SendDTEDocument", SendBody(FacturaContent(1))).Ok());

  const Reply found = post(
      "/PaginatedSearch",
      Body(
          "SearchRequest",
          {{"Environment", "T"}, {"Group", "E"}, {"Query", ""}, {"Page", "1"}, {"PageSize", "10"}}),
      "http://h\x01\xFF\0st:1"s);
  ASSERT_TRUE(found.Ok()) << found;
  const Reply listing{200, found.IsoField("Data")};
  EXPECT_EQ(listing.Field("DownloadCustomerDocumentUrl"),
            "http://h" + kReplacement + kReplacement + kReplacement + "st:1/RecoverPDF_V2/T/E/" +
                kIssuer + "/33/1")
      << listing.body;
}

}  // namespace
}  // namespace QuarloSandbox::testing
