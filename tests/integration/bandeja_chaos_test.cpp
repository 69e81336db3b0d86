// The outbox on a bad day: two thousand boletas issued offline from four threads, then drained by
// a point of sale that is killed five times, against a sandbox that faults three requests in ten
// in every way it knows. Every folio must end stored once and accepted, and the sandbox's count
// of submissions must show that no answer, lost or not, was followed by a blind resend.

#include <httplib.h>
#include <poll.h>
#include <sys/syscall.h>

#include <algorithm>
#include <map>
#include <quarlo/bandeja.hpp>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "integration_fixture.hpp"
#include "sandbox/submission_report.hpp"

namespace QuarloCliente::integration {
namespace {

using QuarloSandbox::testing::ReadSubmissionReport;
using QuarloSandbox::testing::ReportedSubmission;
using QuarloSandbox::testing::SubmissionReport;
using Clock = std::chrono::steady_clock;

constexpr int kBoletas = 2000;
constexpr std::size_t kThreads = 4;
constexpr int kKills = 5;
constexpr std::uint32_t kSeed = 20240517;
// The drainer's whole-exchange limit, and a stall well past it.
const std::string kTotalLimitMs = "200";
const std::string kStallMs = "1000";

class BandejaCaos : public IntegrationTest {
 protected:
  // The sandbox comes up only once everything has been issued.
  void SetUp() override {}

  // The outbox file, and where the drainers write what they have to say.
  std::string Path() const { return (dir_.path() / "caja.bandeja").string(); }
  std::filesystem::path DrainerLog() const { return dir_.path() / "drainer.log"; }

  // Keeps in the outbox a CAF of every folio to issue, signed by the authority the sandbox uses.
  void RegisterCaf(BandejaSalida& bandeja) const {
    const auto authority =
        QuarloSandbox::AuthorityKey::LoadOrCreate((dir_.path() / "authority.pem").string());
    const auto caf =
        QuarloSandbox::IssueTestCaf(kEmisorBoletas, "Emisor", 39, 1, kBoletas, authority);
    bandeja.RegistrarCaf(Bytes(caf.xml.begin(), caf.xml.end()));
  }

  // Issues every folio of the CAF from several threads sharing the outbox; the folios issued.
  std::vector<std::int64_t> IssueAll(BandejaSalida& bandeja) const {
    std::vector<std::vector<std::int64_t>> folios(kThreads);
    std::vector<std::string> failures(kThreads);
    {
      std::vector<std::jthread> tills;
      for (std::size_t t = 0; t < kThreads; ++t) {
        tills.emplace_back([&, t] {
          try {
            for (std::size_t i = 0; i < kBoletas / kThreads; ++i) {
              folios[t].push_back(bandeja.EmitirBoleta(Boleta()).folio);
            }
          } catch (const std::exception& error) {
            failures[t] = error.what();
          }
        });
      }
    }
    std::vector<std::int64_t> all;
    for (std::size_t t = 0; t < kThreads; ++t) {
      EXPECT_EQ(failures[t], "") << "till " << t;
      all.insert(all.end(), folios[t].begin(), folios[t].end());
    }
    return all;
  }

  // A drainer on the outbox, pointed at the sandbox; its process id.
  pid_t StartDrainer() const {
    return StartProgram(QUARLO_BANDEJA_DRAINER, {Path(), sandbox_->Uri(), kApiKey, kTotalLimitMs},
                        DrainerLog());
  }

  // Runs a drainer until the outbox holds `accepted` accepted items and kills it there; false
  // when it ended on its own before, or the deadline came first.
  bool KillOnceAccepted(const BandejaSalida& watcher, int accepted,
                        Clock::time_point deadline) const {
    const pid_t pid = StartDrainer();
    const UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    pollfd ended{pidfd.Get(), POLLIN, 0};
    // Each round waits a little for the drainer's end, which also paces the reads of the file.
    bool reached = false;
    while (!(reached = watcher.Conteo().aceptados >= accepted) && Clock::now() < deadline &&
           ::poll(&ended, 1, 10) == 0) {
    }
    ::kill(pid, SIGKILL);
    return WaitForExit(pid) == 128 + SIGKILL && reached;
  }

  // The sandbox's count of every submission it received.
  SubmissionReport Report() const {
    httplib::Client client(sandbox_->Uri());
    const auto reply = client.Get("/_sandbox/envios", {{"AuthKey", kApiKey}});
    EXPECT_TRUE(reply && reply->status == 200);
    return reply ? ReadSubmissionReport(reply->body) : SubmissionReport{};
  }
};

// A folio's story on both sides, for a failure's message.
std::string Describe(const std::vector<ReportedSubmission>& envios,
                     const std::vector<IntentoEnvio>& historial) {
  std::ostringstream text;
  text << "sandbox:";
  for (const auto& e : envios) {
    text << "\n  recibido " << e.ordenRecibido << " estado '" << e.estado << "' respuesta "
         << e.respuesta << " respondido " << e.ordenRespondido << " falla '" << e.falla << "'";
  }
  text << "\nbandeja:";
  for (const auto& a : historial) {
    text << "\n  " << a.operacion << (a.fin ? "" : " (sin terminar)") << " -> '" << a.resultado
         << "' '" << a.tipoFallo << "' " << a.descripcion;
  }
  return text.str();
}

// Whether an answer that says where the folio stands was sent before a submission of it
// arrived. A 5xx answer is left out: it says the request was not processed, and sending again
// after asking is what it calls for.
bool ResentAfterAnAnswer(const std::vector<ReportedSubmission>& envios) {
  return std::any_of(envios.begin(), envios.end(), [&](const ReportedSubmission& answered) {
    if (answered.respuesta != "enviada" || answered.estado.starts_with("5")) return false;
    return std::any_of(envios.begin(), envios.end(), [&](const ReportedSubmission& later) {
      return later.ordenRecibido > answered.ordenRespondido;
    });
  });
}

// Whether each submission after the first followed a step that says nothing arrived: the
// service answering that it does not hold the document, or a connection that was never made.
bool EveryResendWasWarranted(const std::vector<IntentoEnvio>& historial) {
  bool first = true;
  for (std::size_t i = 0; i < historial.size(); ++i) {
    if (historial[i].operacion != "envio") continue;
    if (first) {
      first = false;
      continue;
    }
    const IntentoEnvio& before = historial[i - 1];
    const bool notHeld = before.operacion == "consulta" &&
                         before.tipoFallo == NombreFallo(TipoFallo::RechazoServicio);
    const bool notSent =
        before.operacion == "envio" && before.tipoFallo == NombreFallo(TipoFallo::SinConexion);
    if (!before.fin || !(notHeld || notSent)) return false;
  }
  return true;
}

TEST_F(BandejaCaos, KilledWhileDrainingIntoFaultsEveryFolioIsStoredOnceAndAccepted) {
  BandejaSalida bandeja(Path());
  bandeja.Configurar(kAmbiente, kFechaResolucion, kNroResolucion);
  bandeja.ConfigurarReintentos(std::chrono::milliseconds(5), std::chrono::milliseconds(250));
  RegisterCaf(bandeja);
  std::vector<std::int64_t> issued = IssueAll(bandeja);
  std::sort(issued.begin(), issued.end());
  ASSERT_EQ(issued.size(), static_cast<std::size_t>(kBoletas));
  EXPECT_EQ(std::adjacent_find(issued.begin(), issued.end()), issued.end()) << "a folio twice";
  EXPECT_EQ(bandeja.FoliosRestantes(kEmisorBoletas, 39), 0);

  Start({},
        {"--fallas", "0.3", "--semilla", std::to_string(kSeed), "--estancamiento-ms", kStallMs});
  std::mt19937 random(kSeed);
  std::vector<int> killAt;
  for (int k = 0; k < kKills; ++k) {
    killAt.push_back(std::uniform_int_distribution<int>(1, kBoletas - 1)(random));
  }
  std::sort(killAt.begin(), killAt.end());
  // One deadline for the whole drain, kills included, well inside the run's three minutes.
  const auto deadline = Clock::now() + std::chrono::seconds(140);
  for (const int accepted : killAt) {
    ASSERT_TRUE(KillOnceAccepted(bandeja, accepted, deadline))
        << "the drainer was to be killed at " << accepted << " accepted; "
        << bandeja.Conteo().aceptados << " were by the deadline\n"
        << checks::ReadFile(DrainerLog());
  }
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  ASSERT_EQ(WaitForExit(StartDrainer(), std::max(left, std::chrono::milliseconds(1))), 0)
      << bandeja.Conteo().pendientes << " pending at the deadline\n"
      << checks::ReadFile(DrainerLog());

  const ConteoItems conteo = bandeja.Conteo();
  EXPECT_EQ(conteo.pendientes, 0);
  EXPECT_EQ(conteo.rechazados, 0);
  std::map<std::int64_t, std::int64_t> itemOfFolio;
  for (const ItemBandeja& item : bandeja.Items(EstadoItem::Aceptado)) {
    if (item.clase == ClaseItem::Boleta) itemOfFolio[item.folio] = item.id;
  }
  EXPECT_EQ(itemOfFolio.size(), static_cast<std::size_t>(kBoletas));

  const SubmissionReport report = Report();
  ASSERT_TRUE(report.parsed);
  EXPECT_EQ(report.descartados, 0U);
  std::map<std::int64_t, std::vector<ReportedSubmission>> byFolio;
  std::set<std::string> faults;
  for (const ReportedSubmission& envio : report.envios) {
    byFolio[std::stoll(envio.folio)].push_back(envio);
    faults.insert(envio.falla);
  }
  // The run is only worth its time if every kind of fault met a submission.
  for (const char* kind :
       {"respuesta-perdida", "503", "estancamiento", "reinicio", "reinicio-tras-proceso"}) {
    EXPECT_TRUE(faults.count(kind)) << kind;
  }
  for (const std::int64_t folio : issued) {
    const auto& envios = byFolio[folio];
    const auto historial = bandeja.Historial(itemOfFolio[folio]);
    const auto stored = std::count_if(envios.begin(), envios.end(),
                                      [](const auto& envio) { return envio.estado == "200"; });
    const auto attempts = std::count_if(historial.begin(), historial.end(),
                                        [](const auto& a) { return a.operacion == "envio"; });
    EXPECT_EQ(stored, 1) << "folio " << folio << "\n" << Describe(envios, historial);
    EXPECT_LE(envios.size(), static_cast<std::size_t>(attempts))
        << "folio " << folio << " arrived more often than it was sent\n"
        << Describe(envios, historial);
    EXPECT_FALSE(ResentAfterAnAnswer(envios)) << "folio " << folio << "\n"
                                              << Describe(envios, historial);
    EXPECT_TRUE(EveryResendWasWarranted(historial)) << "folio " << folio << "\n"
                                                    << Describe(envios, historial);
  }
}

}  // namespace
}  // namespace QuarloCliente::integration
