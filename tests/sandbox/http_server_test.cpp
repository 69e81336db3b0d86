// The sandbox's HTTP surface: who may call it, which paths exist, and how it refuses requests it
// cannot read. Every refusal must still be an XML answer the library can read.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "server_harness.hpp"
#include "support/hostile_server.hpp"

namespace QuarloSandbox::testing {
namespace {

void ExpectRefused(const Reply& reply, int status, std::string_view descriptionPart) {
  EXPECT_EQ(reply.status, status) << reply;
  EXPECT_EQ(reply.Field("Result"), "1") << reply;
  EXPECT_NE(reply.Field("Description").find(descriptionPart), std::string::npos) << reply;
}

TEST(SandboxHttpServer, RefusesAMissingOrWrongKeyWith401AndSaysWhy) {
  const Sandbox sandbox;
  ExpectRefused(sandbox.Get("/GetFactorings", nullptr), 401, "falta la cabecera AuthKey");
  ExpectRefused(sandbox.Get("/GetFactorings", "otra"), 401, "no es válida");
  ExpectRefused(sandbox.Post("/UploadCaf", "<x/>", ""), 401, "AuthKey");
  EXPECT_TRUE(sandbox.Get("/GetFactorings").Ok());
}

TEST(SandboxHttpServer, AcceptsAnyKeyWhenNoneIsConfigured) {
  Store store("");
  SandboxServer server(ServiceContext{store, TestAuthority()}, ApiKeys({}));
  const int port = server.Bind("127.0.0.1", 0);
  server.Start();
  httplib::Client client("127.0.0.1", port);
  const auto without = client.Get("/GetFactorings");
  const auto with = client.Get("/GetFactorings", httplib::Headers{{"AuthKey", "cualquiera"}});
  ASSERT_TRUE(without && with);
  EXPECT_EQ(without->status, 200);
  EXPECT_EQ(with->status, 200);
}

TEST(SandboxHttpServer, NamesUnknownPathsWrongMethodsAndWrongSegmentCounts) {
  const Sandbox sandbox;
  ExpectRefused(sandbox.Get("/NoExiste/T"), 404, "ruta desconocida: /NoExiste");
  ExpectRefused(sandbox.Get("/SendDTEDocument"), 405, "se usa con POST");
  ExpectRefused(sandbox.Post("/FiscalStatus/T/E/1-9/33/1", "<x/>"), 405, "se usa con GET");
  ExpectRefused(sandbox.Get("/FiscalStatus/T/E/1-9/33"), 400, "espera 5 segmentos");
  // A folio holding an encoded "/" stays one segment, and is then refused as a folio.
  ExpectRefused(sandbox.Get("/FiscalStatus/T/E/1-9/33/1%2F2"), 400, "'1/2'");
  ExpectRefused(sandbox.Get("/FiscalStatus/T/E/1-9/33/%ZZ"), 400, "escape");
  ExpectRefused(sandbox.Get("/FiscalStatus/X/E/1-9/33/1"), 400, "ambiente");
  ExpectRefused(sandbox.Get("/FiscalStatus/T/Q/1-9/33/1"), 400, "grupo");
  ExpectRefused(sandbox.Get("/FiscalStatus/T/E/abc/33/1"), 400, "no es un RUT");
  ExpectRefused(sandbox.Get("/FiscalStatus/T/E/1-9/33/7"), 404, "no existe el documento");
}

TEST(SandboxHttpServer, AnswersMalformedBodiesWith400AndAReadableReason) {
  const Sandbox sandbox;
  ExpectRefused(sandbox.Post("/SendDTEDocument", "esto no es XML"), 400, "no es XML");
  ExpectRefused(sandbox.Post("/SendDTEDocument", Body("OtraCosa", {})), 400,
                "se esperaba un elemento SendDocumentRequest");
  ExpectRefused(sandbox.Post("/SendDTEDocument", "<SendDocumentRequest/>"), 400,
                "espacio de nombres");
  ExpectRefused(
      sandbox.Post("/SendDTEDocument", Body("SendDocumentRequest", {{"Environment", "T"}})), 400,
      "falta el elemento Content");
  std::string body = SendBody("@@no-es-base64@@");
  ExpectRefused(sandbox.Post("/SendDTEDocument", body), 400, "Content no es Base64");
  ExpectRefused(sandbox.Post("/SendDTEDocument", SendBody(Base64Of("<DTE"))), 400,
                "no contiene XML");
  ExpectRefused(sandbox.Post("/SendDTEDocument", SendBody(Base64Of("<EnvioDTE/>"))), 400,
                "su elemento raíz es EnvioDTE");
  ExpectRefused(sandbox.Post("/SendDTEDocument", SendBody(Base64Of("<DTE><Documento/></DTE>"))),
                400, "RUTEmisor");
  ExpectRefused(sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(1), 2, "", 0)), 400,
                "PDF417Columns");
  ExpectRefused(sandbox.Post("/SendBoletaDocument", SendBody(FacturaContent(1))), 400,
                "no se emite por SendBoletaDocument");
  ExpectRefused(
      sandbox.Post("/PaginatedSearch", Body("SearchRequest", {{"Environment", "T"},
                                                              {"Group", "E"},
                                                              {"Query", IsoBase64Of("color:rojo")},
                                                              {"Page", "1"},
                                                              {"PageSize", "10"}})),
      400, "campo desconocido 'color'");
}

// Nested entities of a few hundred bytes would stand for gigabytes once expanded; the sandbox
// reads requests with the library's parser, which refuses them before they grow.
TEST(SandboxHttpServer, RefusesEntityDeclarationsWith400AtOnce) {
  using QuarloCliente::testing::EntityBombDoctype;
  using QuarloCliente::testing::EntityBombReference;
  using QuarloCliente::testing::EntityKind;
  const Sandbox sandbox;
  const auto start = std::chrono::steady_clock::now();
  for (const EntityKind kind : {EntityKind::General, EntityKind::Parameter}) {
    std::string search = Body("SearchRequest", {{"Environment", "T"},
                                                {"Group", "E"},
                                                {"Query", "QUERY"},
                                                {"Page", "1"},
                                                {"PageSize", "10"}});
    search.replace(search.find("QUERY"), 5, EntityBombReference(8));
    ExpectRefused(
        sandbox.Post("/PaginatedSearch", EntityBombDoctype("SearchRequest", 8, kind) + search), 400,
        "declara entidades XML, que no se admiten");
    // The same inside a submitted document, which the sandbox reads on its own.
    const std::string dte = "<?xml version=\"1.0\"?>" + EntityBombDoctype("DTE", 8, kind) +
                            "<DTE><Documento>" + EntityBombReference(8) + "</Documento></DTE>";
    ExpectRefused(sandbox.Post("/SendDTEDocument", SendBody(Base64Of(dte))), 400,
                  "declara entidades XML");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(sandbox.Get("/GetFactorings").Ok());
}

TEST(SandboxHttpServer, RefusesABodyOverTheLimitWith413) {
  const Sandbox sandbox;
  const std::string huge(kMaxBodyBytes + 1, 'a');
  ExpectRefused(sandbox.Post("/SendDTEDocument", huge), 413, "MiB");
  // The server keeps serving after it.
  EXPECT_TRUE(sandbox.Get("/GetFactorings").Ok());
}

TEST(SandboxHttpServer, EscapesWhatItEchoesSoThatTheAnswerStaysXml) {
  const Sandbox sandbox;
  const Reply reply = sandbox.Get("/No%3CExiste%26");
  ExpectRefused(reply, 404, "ruta desconocida: /No<Existe&");
}

#ifdef QUARLO_SANDBOX_BINARY
// The binary as a script runs it: it prints the port it took, serves, and ends with status 0 on
// SIGTERM or SIGINT.
class SandboxProcess {
 public:
  explicit SandboxProcess(const std::string& authorityKey) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      execl(QUARLO_SANDBOX_BINARY, QUARLO_SANDBOX_BINARY, "--port", "0", "--api-key", kApiKey,
            "--authority-key", authorityKey.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    output_ = fdopen(out[0], "r");
  }
  ~SandboxProcess() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (output_) fclose(output_);
  }
  // The first line the process wrote on stdout (blocks until it is written).
  std::string FirstLine() {
    char line[256] = {};
    return fgets(line, sizeof line, output_) ? std::string(line) : std::string{};
  }
  int StopWith(int signal) {
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
  FILE* output_ = nullptr;
  bool reaped_ = false;
};

TEST(SandboxBinary, PrintsItsPortServesAndStopsCleanlyOnSigtermAndSigint) {
  const auto key = std::filesystem::temp_directory_path() /
                   ("sandbox-authority-" + std::to_string(::getpid()) + ".pem");
  for (const int signal : {SIGTERM, SIGINT}) {
    SandboxProcess process(key.string());
    const std::string line = process.FirstLine();
    const std::string prefix = "quarlo-sandbox escuchando en http://127.0.0.1:";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    const int port = std::stoi(line.substr(prefix.size()));
    httplib::Client client("127.0.0.1", port);
    const auto refused = client.Get("/GetFactorings");
    const auto served = client.Get("/GetFactorings", httplib::Headers{{"AuthKey", kApiKey}});
    ASSERT_TRUE(refused && served);
    EXPECT_EQ(refused->status, 401);
    EXPECT_EQ(served->status, 200);
    EXPECT_EQ(process.StopWith(signal), 0) << "signal " << signal;
  }
  EXPECT_TRUE(std::filesystem::exists(key)) << "the authority key is kept for the next run";
  std::filesystem::remove(key);
}
#endif

}  // namespace
}  // namespace QuarloSandbox::testing
