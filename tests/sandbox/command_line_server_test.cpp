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
