// The outbox of a point of sale, measured: issuing one boleta offline (next folio, stamp, PDF417
// image and a synchronous commit to the outbox file), its latency's p50 and p99 beside the disk's
// own rate of synchronous writes in the same folder and run; then the rate at which a drain
// delivers those boletas to quarlo-sandbox (the binary of this build, store in memory).
//
//   build/default/bench/quarlo_bandeja_bench [boletas] [folder]   (2000; the system's temp folder)

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <quarlo/quarlo.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "bench_measures.hpp"
#include "crypto/caf.hpp"
#include "integration/sandbox_process.hpp"

namespace {

using namespace QuarloCliente;
using Clock = std::chrono::steady_clock;

const std::string kKey = "llave-de-bandeja";
const std::string kEmisor = "76981442-6";  // of boleta_39.xml

std::shared_ptr<BoletaDocumentBinding> Boleta() {
  std::ifstream in(std::filesystem::path(QUARLO_BENCH_DATA_DIR) / "boleta_39.xml",
                   std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  boleta->Load(text.str(), DefaultBindingContext());
  boleta->Documento()->Encabezado()->IdDoc()->SetFchEmis(BindingDateTime::FromDate(Now()));
  return boleta;
}

// Issues `count` boletas one after another; each issue's milliseconds, sorted.
std::vector<double> IssueAll(BandejaSalida& bandeja, int count) {
  std::vector<double> took;
  for (int i = 0; i < count; ++i) {
    auto boleta = Boleta();
    const auto start = Clock::now();
    bandeja.EmitirBoleta(boleta);
    took.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(took.begin(), took.end());
  return took;
}

// Drains until nothing is pending; documents delivered per second.
double DrainRate(BandejaSalida& bandeja, const std::string& uri, int documents) {
  Servicio servicio;
  servicio.Configurar(uri, kKey);
  const auto start = Clock::now();
  while (bandeja.Conteo().pendientes > 0) bandeja.Enviar(servicio);
  const std::chrono::duration<double> took = Clock::now() - start;
  return documents / took.count();
}

void Run(int count, const std::filesystem::path& folder, int connections) {
  integration::SandboxProcess sandbox({folder, kKey, {}, {}});
  const auto authority =
      QuarloSandbox::AuthorityKey::LoadOrCreate(sandbox.AuthorityKeyFile().string());
  const auto caf = QuarloSandbox::IssueTestCaf(kEmisor, "Emisor", 39, 1, count, authority);
  BandejaSalida bandeja((folder / "caja.bandeja").string());
  bandeja.Configurar("T", "2014-08-22", 80);
  bandeja.ConfigurarEnviosSimultaneos(connections);
  bandeja.RegistrarCaf(Bytes(caf.xml.begin(), caf.xml.end()));

  std::printf("%-40s %10.0f escrituras síncronas/s\n", "disco",
              bench::DiskSyncWritesPerSecond(folder));
  const std::vector<double> issue = IssueAll(bandeja, count);
  double total = 0;
  for (const double ms : issue) total += ms;
  std::printf("%-40s %8.0f /s   p50 %6.2f ms   p99 %6.2f ms\n", "emitir boleta sin conexión",
              1000 * count / total, bench::Percentile(issue, 0.50), bench::Percentile(issue, 0.99));
  std::fflush(stdout);
  const double rate = DrainRate(bandeja, sandbox.Uri(), count);
  const ConteoItems conteo = bandeja.Conteo();
  std::printf("%-40s %8.0f documentos/s   (%d aceptados, %d rechazados)\n",
              ("vaciar la bandeja, " + std::to_string(connections) + " envíos a la vez").c_str(),
              rate, conteo.aceptados - 1, conteo.rechazados);
  if (sandbox.Stop() != 0) std::printf("quarlo-sandbox no terminó limpiamente\n");
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::stoi(argv[1]) : 2000;
  const std::filesystem::path base = argc > 2 && *argv[2] ? std::filesystem::path(argv[2])
                                                          : std::filesystem::temp_directory_path();
  const int connections = argc > 3 ? std::stoi(argv[3]) : 4;
  const auto folder = base / ("quarlo-bandeja-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  int status = 0;
  try {
    Run(count, folder, connections);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quarlo_bandeja_bench: %s\n", error.what());
    status = 1;
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return status;
}
