// The library against a sandbox that injects faults: what a Servicio sees of a lost answer, a 503,
// a stalled answer and a reset connection, and what the sandbox's count of submissions says
// happened meanwhile.

#include <httplib.h>

#include <chrono>
#include <sstream>

#include "integration_fixture.hpp"
#include "sandbox/submission_report.hpp"

namespace QuarloCliente::integration {
namespace {

using QuarloSandbox::testing::ReadSubmissionReport;
using QuarloSandbox::testing::SubmissionReport;

std::vector<std::string> Always(const std::string& kind) {
  return {"--fallas", "1", "--tipos-falla", kind, "--operaciones-falla", "SendDTEDocument"};
}

// The lines of a log that tell an injected fault.
std::vector<std::string> FaultLines(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (line.find("falla inyectada") != std::string::npos) lines.push_back(line);
  }
  return lines;
}

class Fallas : public IntegrationTest {
 protected:
  // Each test starts the sandbox with the faults it needs.
  void SetUp() override {}

  void Restart(std::vector<std::string> faults) {
    // An idle keep-alive connection would hold the old server's shutdown for seconds.
    servicio_ = Servicio();
    Start({}, std::move(faults));
  }

  SubmissionReport Envios(const std::string& folio) const {
    httplib::Client client(sandbox_->Uri());
    const auto reply =
        client.Get("/_sandbox/envios/T/" + kEmisor + "/33/" + folio, {{"AuthKey", kApiKey}});
    EXPECT_TRUE(reply && reply->status == 200);
    return reply ? ReadSubmissionReport(reply->body) : SubmissionReport{};
  }

  bool Guardada(const std::string& folio) {
    return servicio_.EstadoFiscal(kAmbiente, "E", kEmisor, "33", folio)
               ->ResultadoServicio->Estado == "0";
  }

  // A Servicio of its own, and so a connection of its own: when a kept-alive connection dies
  // without an answer, libcurl sends the same request again by itself on a new one, and the
  // sandbox would see (and fault) it twice.
  Servicio Nuevo() const {
    Servicio servicio;
    servicio.Configurar(sandbox_->Uri(), kApiKey);
    servicio.ConfigurarLimites(limites_);
    return servicio;
  }

  std::shared_ptr<ResultadoServicio> Enviar(long folio) const {
    Servicio servicio = Nuevo();
    return servicio
        .EnviarDocumentoDTE(Factura(folio), kAmbiente, kFechaResolucion, kNroResolucion,
                            servicio.TipoPDF417_Grafico)
        ->ResultadoServicio;
  }

  LimitesTransporte limites_;
};

TEST_F(Fallas, ALostAnswerFailsTheCallButTheDocumentIsStoredAndCountedAsUnanswered) {
  Start({}, Always("respuesta-perdida"));
  SubirCaf(kEmisor, 33, 1, 10);
  const auto result = Enviar(3);
  EXPECT_EQ(result->Estado, "1");
  EXPECT_NE(result->Descripcion.find("sin responder"), std::string::npos) << result->Descripcion;
  EXPECT_EQ(result->Descripcion.find(kApiKey), std::string::npos);
  EXPECT_TRUE(Guardada("3")) << "the client cannot know it arrived, but it did";

  const SubmissionReport report = Envios("3");
  ASSERT_EQ(report.envios.size(), 1U);
  EXPECT_EQ(report.envios[0].estado, "200");
  EXPECT_EQ(report.envios[0].respuesta, "no-enviada");
  EXPECT_EQ(report.envios[0].falla, "respuesta-perdida");
  EXPECT_EQ(FaultLines(sandbox_->Log()).size(), 1U);
}

TEST_F(Fallas, UnavailableAndResetConnectionsFailTheCallAndStoreOnlyWhenProcessed) {
  struct Case {
    const char* kind;
    bool stored;
    const char* estado;
  };
  for (const Case& c : {Case{"503", false, "503"}, Case{"reinicio", false, ""},
                        Case{"reinicio-tras-proceso", true, "200"}}) {
    SCOPED_TRACE(c.kind);
    Restart(Always(c.kind));
    SubirCaf(kEmisor, 33, 1, 10);
    const auto result = Enviar(4);
    EXPECT_EQ(result->Estado, "1");
    EXPECT_FALSE(result->Descripcion.empty());
    EXPECT_EQ(Guardada("4"), c.stored);
    const SubmissionReport report = Envios("4");
    ASSERT_EQ(report.envios.size(), 1U);
    EXPECT_EQ(report.envios[0].estado, c.estado);
    EXPECT_EQ(report.envios[0].falla, c.kind);
  }
}

TEST_F(Fallas, AStalledAnswerEndsTheCallAtTheClientsLimitWhileTheSandboxGoesOn) {
  std::vector<std::string> faults = Always("estancamiento");
  faults.insert(faults.end(), {"--estancamiento-ms", "60000"});
  Start({}, faults);
  SubirCaf(kEmisor, 33, 1, 10);
  limites_ = LimitesTransporte{std::chrono::milliseconds(5000), std::chrono::seconds(1),
                               std::chrono::seconds(2)};
  const auto started = std::chrono::steady_clock::now();
  const auto result = Enviar(5);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  EXPECT_EQ(result->Estado, "1");
  EXPECT_TRUE(result->Descripcion.find("dejó de responder") != std::string::npos ||
              result->Descripcion.find("plazo total") != std::string::npos)
      << result->Descripcion;
  EXPECT_TRUE(Guardada("5")) << "served on another connection while the answer is held";
  const SubmissionReport report = Envios("5");
  ASSERT_EQ(report.envios.size(), 1U);
  EXPECT_EQ(report.envios[0].respuesta, "pendiente");
  // TearDown's Stop sends the held answer and exits cleanly, long before the stall would end.
}

}  // namespace
}  // namespace QuarloCliente::integration
