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

}  // namespace
}  // namespace QuarloSandbox::testing
