// quarlo's conventions, shown on its simplest subcommand: results on stdout as lines or JSON,
// Spanish errors on stderr, and exit statuses told by the failure kind.

#include "cli_fixture.hpp"

namespace QuarloCliente::cli_tests {
namespace {

using integration::kApiKey;
using integration::kEmisor;

TEST_F(CliTest, EstadoGivesTheFiscalStatusAsLinesOrJsonWithExitStatusByOutcome) {
  SubirCaf(kEmisor, 33, 1, 10);
  const std::string folio = EmitirFactura();

  const CliRun lines = Quarlo({"estado", kEmisor, "33", folio});
  EXPECT_EQ(lines.status, 0) << lines.err;
  EXPECT_NE(lines.out.find("operacion:"), std::string::npos) << lines.out;
  EXPECT_NE(lines.out.find("folio:"), std::string::npos) << lines.out;

  const CliRun json = Quarlo({"--json", "estado", kEmisor, "33", folio});
  EXPECT_EQ(json.status, 0) << json.err;
  const auto records = JsonLines(json.out);
  ASSERT_EQ(records.size(), 1u);
  ExpectCommonFields(records[0]);
  EXPECT_EQ(records[0]["operacion"], "estado");
  EXPECT_EQ(records[0]["ok"], true);
  EXPECT_EQ(records[0]["folio"], folio);
  EXPECT_FALSE(records[0]["idSeguimiento"].get<std::string>().empty());

  const CliRun refused = Quarlo({"--json", "estado", kEmisor, "33", "9999"});
  EXPECT_EQ(refused.status, 1) << refused.out << refused.err;
  const auto refusal = JsonLines(refused.out);
  ASSERT_EQ(refusal.size(), 1u);
  EXPECT_EQ(refusal[0]["ok"], false);
  EXPECT_EQ(refusal[0]["fallo"], NombreFallo(TipoFallo::RechazoServicio));
  for (const CliRun* run : {&lines, &json, &refused}) {
    EXPECT_EQ((run->out + run->err).find(kApiKey), std::string::npos) << "the key is never shown";
  }
}

TEST_F(CliTest, MissingOrWrongArgumentsAreUsageErrorsInSpanish) {
  const CliRun noUri = Quarlo({"estado", kEmisor, "33", "1"}, {{"QUARLO_URI", ""}});
  EXPECT_EQ(noUri.status, 2);
  EXPECT_NE(noUri.err.find("QUARLO_URI"), std::string::npos) << noUri.err;
  EXPECT_TRUE(noUri.out.empty());

  const CliRun noKey = Quarlo({"estado", kEmisor, "33", "1"}, {{"QUARLO_API_KEY", ""}});
  EXPECT_EQ(noKey.status, 2);
  EXPECT_NE(noKey.err.find("QUARLO_API_KEY"), std::string::npos) << noKey.err;

  const CliRun missing = Quarlo({"estado", kEmisor});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("falta"), std::string::npos) << missing.err;
  const CliRun extra = Quarlo({"estado", kEmisor, "33", "1", "sobra"});
  EXPECT_EQ(extra.status, 2);
  EXPECT_NE(extra.err.find("no esperados"), std::string::npos) << extra.err;
  const CliRun environment = Quarlo({"--ambiente", "X", "estado", kEmisor, "33", "1"});
  EXPECT_EQ(environment.status, 2);
  EXPECT_NE(environment.err.find("no válido"), std::string::npos) << environment.err;
  for (const CliRun* run : {&missing, &extra, &environment}) {
    EXPECT_EQ(run->err.find("required"), std::string::npos) << "never CLI11's English";
    EXPECT_EQ(run->err.find("expected"), std::string::npos);
  }

  const CliRun help = Quarlo({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Estado de salida"), std::string::npos) << help.out;
  const CliRun commandHelp = Quarlo({"estado", "--help"});
  EXPECT_EQ(commandHelp.status, 0);
  EXPECT_NE(commandHelp.out.find("Ejemplo:"), std::string::npos) << commandHelp.out;
}

TEST_F(CliTest, TheKeyComesFromAFileAndAServiceThatIsDownIsStatusThree) {
  const auto keyFile = dir_.path() / "llave";
  const std::string line = kApiKey + "\n";
  checks::WriteFile(keyFile, Bytes(line.begin(), line.end()));
  const CliRun fromFile =
      Quarlo({"--llave-archivo", keyFile.string(), "estado", kEmisor, "33", "1"},
             {{"QUARLO_API_KEY", ""}});
  EXPECT_EQ(fromFile.status, 1) << "reached and answered: the folio is unknown\n" << fromFile.err;

  const CliRun wrongKey = Quarlo({"estado", kEmisor, "33", "1"}, {{"QUARLO_API_KEY", "otra"}});
  EXPECT_EQ(wrongKey.status, 1) << wrongKey.out << wrongKey.err;

  const CliRun down = Quarlo({"--uri", "http://127.0.0.1:1", "estado", kEmisor, "33", "1"});
  EXPECT_EQ(down.status, 3) << down.out << down.err;
}

}  // namespace
}  // namespace QuarloCliente::cli_tests
