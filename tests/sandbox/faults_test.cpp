// Faults injected on purpose and the count of submissions per folio: what a client's tests rely on
// to try it against lost answers, 503s, stalls and resets, and to prove it never submitted a
// document again after the sandbox had answered for it.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "server/submissions.hpp"
#include "server_harness.hpp"
#include "submission_report.hpp"

namespace QuarloSandbox::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kStoredFactura = "/FiscalStatus/T/E/76543210-3/33/";

FaultSettings Always(Fault fault, std::chrono::milliseconds stall = 90'000ms) {
  FaultSettings settings;
  settings.share = 1;
  settings.kinds = {fault};
  settings.operations = {"SendDTEDocument"};
  settings.stall = stall;
  return settings;
}

// The server's log lines, gathered from the loop and the workers.
class LogLines {
 public:
  std::function<void(const std::string&)> Sink() {
    return [this](const std::string& line) {
      const std::lock_guard lock(mutex_);
      lines_.push_back(line);
    };
  }
  std::size_t Containing(std::string_view part) const {
    const std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(lines_.begin(), lines_.end(), [&](auto& line) {
      return line.find(part) != std::string::npos;
    }));
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

SubmissionReport Report(const Sandbox& sandbox, const std::string& path = "/_sandbox/envios") {
  const Reply reply = sandbox.Get(path);
  EXPECT_EQ(reply.status, 200) << reply;
  return ReadSubmissionReport(reply.body);
}

std::vector<int> Statuses(const Sandbox& sandbox, int requests, bool interleaveOthers) {
  std::vector<int> statuses;
  for (int i = 0; i < requests; ++i) {
    if (interleaveOthers) {
      sandbox.Get("/_sandbox/envios");
      sandbox.Get("/NoExiste");
    }
    statuses.push_back(sandbox.Get("/GetFactorings").status);
  }
  return statuses;
}

TEST(SandboxFaults, ASeedReplaysTheSameDrawsAndTheShareHolds) {
  FaultSettings settings;
  settings.share = 0.3;
  settings.seed = 11;
  FaultInjector first(settings);
  FaultInjector again(settings);
  settings.seed = 12;
  FaultInjector other(settings);
  std::vector<Fault> a, b, c;
  for (int i = 0; i < 10'000; ++i) {
    a.push_back(first.Next());
    b.push_back(again.Next());
    c.push_back(other.Next());
  }
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  const auto faulted = std::count_if(a.begin(), a.end(), [](Fault f) { return f != Fault::None; });
  EXPECT_GT(faulted, 2'700);
  EXPECT_LT(faulted, 3'300);
  for (const Fault kind : AllFaults()) {
    EXPECT_GT(std::count(a.begin(), a.end(), kind), 400) << FaultName(kind) << " is drawn too";
  }

  FaultInjector never(FaultSettings{});
  FaultInjector always(Always(Fault::Stall));
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(never.Next(), Fault::None);
    EXPECT_EQ(always.Next(), Fault::Stall);
  }
}

TEST(SandboxFaults, TheServerReplaysItsSeedOnTheProtocolsRequestsOnly) {
  FaultSettings settings;
  settings.share = 0.5;
  settings.seed = 7;
  settings.kinds = {Fault::Unavailable};
  LogLines log;
  const Sandbox first("", {}, log.Sink(), settings);
  const Sandbox second("", {}, {}, settings);
  const std::vector<int> statuses = Statuses(first, 16, false);
  // Unknown paths and the sandbox's own report between them take no draw.
  EXPECT_EQ(Statuses(second, 16, true), statuses);
  const auto unavailable = std::count(statuses.begin(), statuses.end(), 503);
  EXPECT_GT(unavailable, 0);
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 200), 16 - unavailable);
  EXPECT_EQ(log.Containing("falla inyectada 503: GET /GetFactorings"),
            static_cast<std::size_t>(unavailable))
      << "one log line per injected fault";
  settings.seed = 8;
  const Sandbox otherSeed("", {}, {}, settings);
  EXPECT_NE(Statuses(otherSeed, 16, false), statuses);
}

TEST(SandboxFaults, ALostAnswerStoresTheDocumentAndTheCountSaysNoAnswerWasSent) {
  LogLines log;
  const Sandbox sandbox("", {}, log.Sink(), Always(Fault::LostAnswer));
  LoadCaf(sandbox, kIssuer, 33, 1, 10);
  const Reply lost = sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(3)));
  EXPECT_EQ(lost.status, -1) << lost;
  EXPECT_TRUE(sandbox.Get(std::string(kStoredFactura) + "3").Ok()) << "stored all the same";
  EXPECT_EQ(log.Containing("falla inyectada respuesta-perdida: POST /SendDTEDocument"), 1U);

  const SubmissionReport report = Report(sandbox);
  ASSERT_EQ(report.envios.size(), 1U);
  const ReportedSubmission& envio = report.envios[0];
  EXPECT_EQ(envio.ambiente + "/" + envio.rut + "/" + envio.tipo + "/" + envio.folio,
            "T/76543210-3/33/3");
  EXPECT_EQ(envio.estado, "200");
  EXPECT_EQ(envio.respuesta, "no-enviada");
  EXPECT_EQ(envio.falla, "respuesta-perdida");
  EXPECT_EQ(envio.respondido, "");
  EXPECT_EQ(log.Containing("(orden " + std::to_string(envio.ordenRecibido) + ")"), 1U)
      << "the log line names the submission as the count does";
}

TEST(SandboxFaults, UnavailableAndResetsAreSeenByTheClientAndStoreOnlyWhenProcessed) {
  struct Case {
    Fault fault;
    int clientStatus;
    bool stored;
    const char* estado;
    const char* respuesta;
  };
  for (const Case& c : {Case{Fault::Unavailable, 503, false, "503", "enviada"},
                        Case{Fault::ResetBefore, -1, false, "", "no-enviada"},
                        Case{Fault::ResetAfter, -1, true, "200", "no-enviada"}}) {
    SCOPED_TRACE(std::string(FaultName(c.fault)));
    const Sandbox sandbox("", {}, {}, Always(c.fault));
    LoadCaf(sandbox, kIssuer, 33, 1, 10);
    const Reply reply = sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(4)));
    EXPECT_EQ(reply.status, c.clientStatus) << reply;
    if (c.clientStatus == 503) {
      EXPECT_EQ(reply.Field("Result"), "1") << "still an XML answer";
    }
    EXPECT_EQ(sandbox.Get(std::string(kStoredFactura) + "4").Ok(), c.stored);
    const SubmissionReport report = Report(sandbox, "/_sandbox/envios/T/76543210-3/33/4");
    ASSERT_EQ(report.envios.size(), 1U);
    EXPECT_EQ(report.envios[0].estado, c.estado);
    EXPECT_EQ(report.envios[0].respuesta, c.respuesta);
    EXPECT_EQ(report.envios[0].falla, FaultName(c.fault));
  }
}

TEST(SandboxFaults, AStalledAnswerIsHeldWithoutHoldingTheServerAndSentWhenDue) {
  const Sandbox stalled("", {}, {}, Always(Fault::Stall, 60'000ms));
  LoadCaf(stalled, kIssuer, 33, 1, 10);
  httplib::Client impatient("127.0.0.1", stalled.Port());
  impatient.set_read_timeout(1, 0);
  const auto gaveUp = impatient.Post("/SendDTEDocument", {{"AuthKey", kApiKey}},
                                     SendBody(FacturaContent(5)), "application/xml");
  EXPECT_FALSE(gaveUp) << "the answer is held past the client's limit";
  // Other clients are served meanwhile, and the document is stored.
  EXPECT_TRUE(stalled.Get(std::string(kStoredFactura) + "5").Ok());
  const SubmissionReport held = Report(stalled);
  ASSERT_EQ(held.envios.size(), 1U);
  EXPECT_EQ(held.envios[0].respuesta, "pendiente");
  EXPECT_EQ(held.envios[0].falla, "estancamiento");

  const Sandbox brief("", {}, {}, Always(Fault::Stall, 200ms));
  LoadCaf(brief, kIssuer, 33, 1, 10);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(brief.Post("/SendDTEDocument", SendBody(FacturaContent(6))).Ok());
  EXPECT_GE(std::chrono::steady_clock::now() - started, 200ms);
  const SubmissionReport sent = Report(brief);
  ASSERT_EQ(sent.envios.size(), 1U);
  EXPECT_EQ(sent.envios[0].respuesta, "enviada");
  EXPECT_GT(sent.envios[0].ordenRespondido, sent.envios[0].ordenRecibido);
}

TEST(SandboxSubmissionCount, CountsEachFolioWithItsAnswersBehindTheKey) {
  const Sandbox sandbox;
  LoadCaf(sandbox, kIssuer, 33, 1, 10);
  LoadCaf(sandbox, kBoletaIssuer, 39, 1, 10);
  EXPECT_TRUE(sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(2))).Ok());
  EXPECT_EQ(sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(2))).status, 409);
  EXPECT_TRUE(sandbox.Post("/SendDTEDocument", SendBody(FacturaContent(0))).Ok());
  EXPECT_TRUE(sandbox.Post("/SendBoletaDocument", SendBody(BoletaContent(7))).Ok());
  EXPECT_EQ(sandbox.Post("/SendDTEDocument", "<no-es-un-envio/>").status, 400);

  const SubmissionReport all = Report(sandbox);
  EXPECT_EQ(all.registrados, 4U) << "a body without a readable document is not counted";
  std::vector<std::string> seen;
  for (const auto& e : all.envios) seen.push_back(e.tipo + "/" + e.folio + ":" + e.estado);
  // Key order; the folio 0 submission counted under the folio it took.
  EXPECT_EQ(seen, (std::vector<std::string>{"33/1:200", "33/2:200", "33/2:409", "39/7:200"}));
  EXPECT_TRUE(SubmittedAfterAnAnswer(all)) << "folio 2 came again after it was answered";

  const SubmissionReport folio = Report(sandbox, "/_sandbox/envios/T/76543210-3/33/2");
  ASSERT_EQ(folio.envios.size(), 2U);
  EXPECT_EQ(folio.envios[0].enviosDelFolio, 2U);
  EXPECT_LT(folio.envios[0].ordenRespondido, folio.envios[1].ordenRecibido);
  EXPECT_TRUE(Report(sandbox, "/_sandbox/envios/T/76543210-3/33/9").envios.empty());

  EXPECT_EQ(sandbox.Get("/_sandbox/envios", nullptr).status, 401);
  EXPECT_EQ(sandbox.Get("/_sandbox/envios", "otra").status, 401);
  EXPECT_EQ(sandbox.Post("/_sandbox/envios", "").status, 405);
  EXPECT_EQ(sandbox.Get("/_sandbox/otra").status, 404);
  EXPECT_EQ(sandbox.Get("/_sandbox/envios/T/no-rut/33/2").status, 400);
}

TEST(SandboxSubmissionCount, StopsGrowingAtItsCapAndCountsWhatItDropped) {
  SubmissionLog log(2);
  const SubmissionKey key{"T", "1-9", 33, 1};
  EXPECT_EQ(log.Received(key, "SendDTEDocument", {}, Fault::None), 1U);
  EXPECT_EQ(log.Received(key, "SendDTEDocument", {}, Fault::None), 2U);
  EXPECT_EQ(log.Received(key, "SendDTEDocument", {}, Fault::None), 0U);
  log.Processed(0, 200, 5);
  log.Delivered(0, std::nullopt);
  const SubmissionReport report = ReadSubmissionReport(log.Report());
  ASSERT_TRUE(report.parsed);
  EXPECT_EQ(report.registrados, 2U);
  EXPECT_EQ(report.descartados, 1U);
  ASSERT_EQ(report.envios.size(), 2U);
  EXPECT_EQ(report.envios[1].folio, "1");
  EXPECT_EQ(report.envios[1].respuesta, "pendiente");
}

}  // namespace
}  // namespace QuarloSandbox::testing
