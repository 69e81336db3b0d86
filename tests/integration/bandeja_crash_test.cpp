// A point of sale killed with SIGKILL while it issues and delivers: whatever instant the kill
// falls on, the next run finds every folio it handed out, never hands one out again, and
// delivers everything exactly once.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <quarlo/bandeja.hpp>
#include <random>
#include <set>

#include "integration_fixture.hpp"

namespace QuarloCliente::integration {
namespace {

class BandejaCaida : public IntegrationTest {
 protected:
  std::string Path() const { return (dir_.path() / "caja.bandeja").string(); }

  // Issues and drains for ever, writing each folio to `report` once its issue returned.
  [[noreturn]] void RunPointOfSale(int report) {
    try {
      BandejaSalida bandeja(Path());
      Servicio servicio;
      servicio.Configurar(sandbox_->Uri(), kApiKey);
      for (;;) {
        const std::int64_t folio = bandeja.EmitirBoleta(Boleta()).folio;
        if (::write(report, &folio, sizeof folio) != sizeof folio) ::_exit(2);
        bandeja.Enviar(servicio);
      }
    } catch (...) {
      ::_exit(1);
    }
  }

  // Starts a point of sale, lets it report `issues` folios and kills it; the folios it reported.
  std::vector<std::int64_t> RunAndKill(int issues) {
    int pipeFds[2];
    EXPECT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(pipeFds[0]);
      RunPointOfSale(pipeFds[1]);
    }
    ::close(pipeFds[1]);
    std::vector<std::int64_t> folios;
    std::int64_t folio = 0;
    while (static_cast<int>(folios.size()) < issues &&
           ::read(pipeFds[0], &folio, sizeof folio) == sizeof folio) {
      folios.push_back(folio);
    }
    ::kill(pid, SIGKILL);
    // A folio written before the kill landed is still in the pipe.
    while (::read(pipeFds[0], &folio, sizeof folio) == sizeof folio) folios.push_back(folio);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the point of sale ended on its own: " << status;
    return folios;
  }
};

TEST_F(BandejaCaida, KillsAtRandomInstantsLoseNothingAndReuseNoFolio) {
  const auto authority =
      QuarloSandbox::AuthorityKey::LoadOrCreate(sandbox_->AuthorityKeyFile().string());
  const auto caf = QuarloSandbox::IssueTestCaf(kEmisorBoletas, "Emisor", 39, 1, 1000, authority);
  {
    BandejaSalida bandeja(Path());
    bandeja.Configurar(kAmbiente, kFechaResolucion, kNroResolucion);
    bandeja.ConfigurarReintentos(std::chrono::milliseconds(1), std::chrono::milliseconds(5));
    bandeja.RegistrarCaf(Bytes(caf.xml.begin(), caf.xml.end()));
  }
  std::mt19937 random(20240502);
  std::set<std::int64_t> reported;
  for (int run = 0; run < 20; ++run) {
    for (const std::int64_t folio : RunAndKill(std::uniform_int_distribution<int>(1, 4)(random))) {
      EXPECT_TRUE(reported.insert(folio).second) << "folio " << folio << " issued twice";
    }
    BandejaSalida bandeja(Path());
    std::set<std::int64_t> held;
    for (const auto state : {EstadoItem::Pendiente, EstadoItem::Aceptado, EstadoItem::Rechazado}) {
      for (const ItemBandeja& item : bandeja.Items(state)) {
        if (item.clase == ClaseItem::Boleta) held.insert(item.folio);
      }
    }
    for (const std::int64_t folio : reported) {
      EXPECT_TRUE(held.count(folio)) << "folio " << folio << " lost after run " << run;
    }
    // Committed folios run without gaps from the first, and the CAF goes on after the last.
    ASSERT_FALSE(held.empty());
    EXPECT_EQ(*held.rbegin(), static_cast<std::int64_t>(held.size()));
    EXPECT_EQ(bandeja.Cafs().front().siguiente, *held.rbegin() + 1);
  }

  BandejaSalida bandeja(Path());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (bandeja.Conteo().pendientes > 0 && std::chrono::steady_clock::now() < deadline) {
    bandeja.Enviar(servicio_);
  }
  const ConteoItems conteo = bandeja.Conteo();
  EXPECT_EQ(conteo.pendientes, 0);
  EXPECT_EQ(conteo.rechazados, 0);
  for (const ItemBandeja& item : bandeja.Items(EstadoItem::Aceptado)) {
    if (item.clase != ClaseItem::Boleta) continue;
    const auto held = servicio_.RecuperarXML(kAmbiente, "E", kEmisorBoletas, "39",
                                             std::to_string(item.folio), false);
    ASSERT_EQ(held->ResultadoServicio->Estado, "0") << "folio " << item.folio;
    EXPECT_NE(
        held->Datos.find(servicio_.NodeValue(
            XmlDocument::Parse(bandeja.Documento(kEmisorBoletas, 39, item.folio).ted), "//FRMT")),
        std::string::npos)
        << "the service holds the stamp the point of sale printed for folio " << item.folio;
  }
}

}  // namespace
}  // namespace QuarloCliente::integration
