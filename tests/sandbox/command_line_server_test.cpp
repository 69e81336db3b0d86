// The sandbox's command line: what a script may rely on when it starts the server or asks for a
// test CAF.

#include <gtest/gtest.h>

#include "server/options.hpp"

namespace QuarloSandbox {
namespace {

CommandLine Parse(std::vector<std::string> args) {
  return ParseCommandLine(args, "/k.pem");
}

TEST(SandboxCommandLine, ServesOnLoopbackInMemoryByDefault) {
  const CommandLine line = Parse({});
  EXPECT_EQ(line.command, CommandLine::Command::Serve);
  EXPECT_EQ(line.serve.host, "127.0.0.1");
  EXPECT_EQ(line.serve.port, 8080);
  EXPECT_EQ(line.serve.db, "");
  EXPECT_TRUE(line.serve.apiKeys.empty());
  EXPECT_EQ(line.serve.authorityKey, "/k.pem");
}

TEST(SandboxCommandLine, ReadsEveryServeOptionAndRepeatedKeys) {
  const CommandLine line = Parse({"--port", "0", "--host", "0.0.0.0", "--api-key", "a", "--api-key",
                                  "b", "--db", "s.db", "--authority-key", "x.pem"});
  EXPECT_EQ(line.serve.port, 0);
  EXPECT_EQ(line.serve.host, "0.0.0.0");
  EXPECT_EQ(line.serve.apiKeys, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(line.serve.db, "s.db");
  EXPECT_EQ(line.serve.authorityKey, "x.pem");
  EXPECT_EQ(Parse({"--help"}).command, CommandLine::Command::Help);
}

TEST(SandboxCommandLine, RefusesWhatItCannotFollow) {
  EXPECT_THROW(Parse({"--port", "65536"}), UsageError);
  EXPECT_THROW(Parse({"--port", "80x"}), UsageError);
  EXPECT_THROW(Parse({"--port"}), UsageError);
  EXPECT_THROW(Parse({"--api-key", ""}), UsageError);
  EXPECT_THROW(Parse({"--verbose", "1"}), UsageError);
  EXPECT_THROW(Parse({"8080"}), UsageError);
}

TEST(SandboxCommandLine, ReadsTheFaultOptionsAndRefusesUnknownKindsAndShares) {
  EXPECT_EQ(Parse({}).serve.faults.share, 0) << "no faults unless asked for";
  const CommandLine line =
      Parse({"--fallas", "0.25", "--semilla", "42", "--tipos-falla", "503,reinicio,503",
             "--operaciones-falla", "SendDTEDocument,FiscalStatus", "--estancamiento-ms", "1500"});
  EXPECT_EQ(line.serve.faults.share, 0.25);
  EXPECT_EQ(line.serve.faults.seed, 42U);
  EXPECT_TRUE(line.serve.seedGiven);
  EXPECT_EQ(line.serve.faults.kinds, (std::vector<Fault>{Fault::Unavailable, Fault::ResetBefore}));
  EXPECT_EQ(line.serve.faults.operations,
            (std::vector<std::string>{"SendDTEDocument", "FiscalStatus"}));
  EXPECT_EQ(line.serve.faults.stall, std::chrono::milliseconds(1500));
  EXPECT_EQ(Parse({"--fallas", "1"}).serve.faults.kinds, AllFaults());
  EXPECT_FALSE(Parse({"--fallas", "1"}).serve.seedGiven);
  EXPECT_THROW(Parse({"--fallas", "1.5"}), UsageError);
  EXPECT_THROW(Parse({"--fallas", "0,3"}), UsageError) << "a point, whatever the locale";
  EXPECT_THROW(Parse({"--fallas", "nan"}), UsageError);
  EXPECT_THROW(Parse({"--semilla", "-1"}), UsageError);
  EXPECT_THROW(Parse({"--tipos-falla", "503,lenta"}), UsageError);
  EXPECT_THROW(Parse({"--tipos-falla", ""}), UsageError);
  EXPECT_THROW(Parse({"--operaciones-falla", "_sandbox"}), UsageError);
  EXPECT_THROW(Parse({"--estancamiento-ms", "0"}), UsageError);
}

TEST(SandboxCommandLine, IssuesCafsOnlyWithIssuerTypeAndRange) {
  const CommandLine line = Parse({"caf", "--rut", "76543210-3", "--tipo", "33", "--desde", "1",
                                  "--hasta", "50", "--authority-key", "a.pem"});
  EXPECT_EQ(line.command, CommandLine::Command::Caf);
  EXPECT_EQ(line.caf.rut, "76543210-3");
  EXPECT_EQ(line.caf.tipo, 33);
  EXPECT_EQ(line.caf.desde, 1);
  EXPECT_EQ(line.caf.hasta, 50);
  EXPECT_EQ(line.caf.authorityKey, "a.pem");
  EXPECT_FALSE(line.caf.razonSocial.empty()) << "a name is made up when none is given";
  EXPECT_THROW(Parse({"caf", "--rut", "76543210-3", "--tipo", "33", "--desde", "1"}), UsageError);
  EXPECT_THROW(Parse({"caf", "--rut", "1-9", "--tipo", "33", "--desde", "9", "--hasta", "1"}),
               UsageError);
  EXPECT_THROW(Parse({"caf", "--port", "1"}), UsageError);
}

}  // namespace
}  // namespace QuarloSandbox
