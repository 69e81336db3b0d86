// The sandbox under load, driven by the library as a team's integration suite would drive it.
// Starts quarlo-sandbox (the binary of this build) in memory and on a --db file, and for each
// scenario sends stamped submissions with automatic numbering from 1 or 8 client threads, each
// thread with its own Servicio (and so its own kept-alive connection). Prints, per scenario,
// stamped submissions per second, the per-request latency's p50 and p99, and the CPU time the
// sandbox and the client spent per request; beside the --db
// scenarios, the disk's own synchronous-write rate measured in the same folder and run.
//
//   build/default/bench/quarlo_sandbox_load [name-part]   (only the scenarios whose name holds it)

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <quarlo/quarlo.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_documents.hpp"
#include "bench_measures.hpp"
#include "crypto/caf.hpp"
#include "integration/sandbox_process.hpp"

namespace {

using namespace QuarloCliente;
using Clock = std::chrono::steady_clock;
using Sandbox = integration::SandboxProcess;
using bench::DiskSyncWritesPerSecond;
using bench::Percentile;

const std::string kKey = "llave-de-carga";
const std::string kAmbiente = "T";
const std::string kEmisorFacturas = "76543210-3";
const std::string kEmisorBoletas = "76981442-6";
constexpr long kFolios = 200'000;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::shared_ptr<BoletaDocumentBinding> Boleta() {
  auto boleta = std::make_shared<BoletaDocumentBinding>();
  boleta->Load(ReadFile(std::filesystem::path(QUARLO_BENCH_DATA_DIR) / "boleta_39.xml"),
               DefaultBindingContext());
  boleta->Documento()->Encabezado()->IdDoc()->SetFchEmis(BindingDateTime::FromDate(Now()));
  return boleta;
}

std::shared_ptr<DteDocumentBinding> Factura60() {
  auto factura = bench::Factura(60);
  factura->Documento()->Encabezado()->IdDoc()->SetFchEmis(BindingDateTime::FromDate(Now()));
  return factura;
}

void UploadCaf(Servicio& servicio, const Sandbox& sandbox, const std::string& rut, int tipo) {
  const auto authority =
      QuarloSandbox::AuthorityKey::LoadOrCreate(sandbox.AuthorityKeyFile().string());
  const auto caf = QuarloSandbox::IssueTestCaf(rut, "Emisor de carga", tipo, 1, kFolios, authority);
  const auto file = sandbox.Options().folder / ("caf_" + std::to_string(tipo) + ".xml");
  std::ofstream(file, std::ios::binary) << caf.xml;
  const auto result = servicio.EnviarCAF(kAmbiente, file.string());
  if (result->Estado != "0") throw std::runtime_error("EnviarCAF: " + result->Descripcion);
}

// One request of a scenario; the service's description when it refused, empty when stamped.
using Request = std::function<std::string(Servicio&)>;

struct Scenario {
  std::string name;
  int threads = 1;
  int perThread = 0;
  // Each client thread's own request: a submission writes its folio into the document it sends.
  std::function<Request()> prepare;
};

struct Measured {
  double perSecond = 0;
  double serverCpu = 0;  // CPU milliseconds the sandbox spent per request
  double clientCpu = 0;  // and the client threads
  double p50 = 0;        // milliseconds
  double p99 = 0;
  std::string failure;
};

// CPU seconds (user and system) a process has used so far.
double ProcessCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The fields after the command name, which may hold spaces, start after its closing ')'.
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int index = 3; fields >> field && index <= 15; ++index) {
    if (index == 14 || index == 15) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

Measured Run(const Scenario& scenario, const Sandbox& sandbox) {
  const std::string& uri = sandbox.Uri();
  std::vector<std::vector<double>> latencies(static_cast<std::size_t>(scenario.threads));
  std::vector<std::string> failures(latencies.size());
  const double serverBefore = ProcessCpuSeconds(sandbox.Pid());
  const double clientBefore = ProcessCpuSeconds(::getpid());
  const auto start = Clock::now();
  {
    std::vector<std::jthread> clients;
    for (std::size_t t = 0; t < latencies.size(); ++t) {
      clients.emplace_back([&, t] {
        Servicio servicio;
        servicio.Configurar(uri, kKey);
        const Request request = scenario.prepare();
        for (int i = 0; i < scenario.perThread && failures[t].empty(); ++i) {
          const auto sent = Clock::now();
          failures[t] = request(servicio);
          const std::chrono::duration<double, std::milli> took = Clock::now() - sent;
          latencies[t].push_back(took.count());
        }
      });
    }
  }
  const std::chrono::duration<double> wall = Clock::now() - start;
  const double serverCpu = ProcessCpuSeconds(sandbox.Pid()) - serverBefore;
  const double clientCpu = ProcessCpuSeconds(::getpid()) - clientBefore;
  Measured measured;
  std::vector<double> all;
  for (std::size_t t = 0; t < latencies.size(); ++t) {
    all.insert(all.end(), latencies[t].begin(), latencies[t].end());
    if (measured.failure.empty()) measured.failure = failures[t];
  }
  std::sort(all.begin(), all.end());
  measured.perSecond = static_cast<double>(all.size()) / wall.count();
  measured.p50 = Percentile(all, 0.50);
  measured.p99 = Percentile(all, 0.99);
  const auto count = static_cast<double>(std::max<std::size_t>(all.size(), 1));
  measured.serverCpu = 1000 * serverCpu / count;
  measured.clientCpu = 1000 * clientCpu / count;
  return measured;
}

std::string Outcome(const std::shared_ptr<ResultadoServicio>& result) {
  return result->Estado == "0" ? std::string() : result->Estado + " " + result->Descripcion;
}

std::function<Request()> BoletaRequest(Integer pdf417) {
  return [pdf417] {
    return [boleta = Boleta(), pdf417](Servicio& servicio) {
      return Outcome(
          servicio
              .EnviarDocumentoBoleta_AutoFoliado(boleta, kAmbiente, "2014-08-22", 80, pdf417, true)
              ->ResultadoServicio);
    };
  };
}

std::function<Request()> FacturaRequest(Integer pdf417) {
  return [pdf417] {
    return [factura = Factura60(), pdf417](Servicio& servicio) {
      return Outcome(
          servicio
              .EnviarDocumentoDTE_AutoFoliado(factura, kAmbiente, "2014-08-22", 80, pdf417, true)
              ->ResultadoServicio);
    };
  };
}

std::function<Request()> StatusRequest() {
  return [] {
    return [](Servicio& servicio) {
      return Outcome(servicio.EstadoFiscal(kAmbiente, std::string("E"), kEmisorBoletas, "39", "1")
                         ->ResultadoServicio);
    };
  };
}

std::vector<Scenario> Scenarios(const std::string& store) {
  constexpr Integer kImage = 2;
  constexpr Integer kText = 1;
  std::vector<Scenario> scenarios{
      {"boleta con imagen, 1 hilo", 1, 1000, BoletaRequest(kImage)},
      {"boleta con imagen, 8 hilos", 8, 500, BoletaRequest(kImage)},
      {"boleta sin imagen, 1 hilo", 1, 1000, BoletaRequest(kText)},
      {"boleta sin imagen, 8 hilos", 8, 500, BoletaRequest(kText)},
      {"factura de 60 líneas con imagen, 1 hilo", 1, 300, FacturaRequest(kImage)},
      {"factura de 60 líneas con imagen, 8 hilos", 8, 150, FacturaRequest(kImage)},
      {"factura de 60 líneas sin imagen, 8 hilos", 8, 150, FacturaRequest(kText)},
      {"estado fiscal, 1 hilo", 1, 2000, StatusRequest()},
      {"estado fiscal, 8 hilos", 8, 1000, StatusRequest()},
  };
  for (Scenario& scenario : scenarios) scenario.name = store + ": " + scenario.name;
  return scenarios;
}

void RunStore(const std::string& store, const std::filesystem::path& folder,
              const std::filesystem::path& db, const std::string& only) {
  std::vector<Scenario> chosen;
  for (Scenario& scenario : Scenarios(store)) {
    if (scenario.name.find(only) != std::string::npos) chosen.push_back(std::move(scenario));
  }
  if (chosen.empty()) return;
  std::filesystem::create_directories(folder);
  Sandbox sandbox({folder, kKey, db, {}});
  Servicio setup;
  setup.Configurar(sandbox.Uri(), kKey);
  UploadCaf(setup, sandbox, kEmisorBoletas, 39);
  UploadCaf(setup, sandbox, kEmisorFacturas, 33);
  // The status scenarios ask for boleta 1, which must exist.
  if (const auto first = BoletaRequest(1)()(setup); !first.empty()) {
    throw std::runtime_error("primera boleta: " + first);
  }
  if (!db.empty()) {
    std::printf("%-58s %10.0f escrituras síncronas/s\n", (store + ": disco").c_str(),
                DiskSyncWritesPerSecond(db.parent_path()));
  }
  for (const Scenario& scenario : chosen) {
    const Measured measured = Run(scenario, sandbox);
    std::printf("%-58s %8.0f /s   p50 %6.2f ms   p99 %6.2f ms   CPU %5.2f + %5.2f ms%s%s\n",
                scenario.name.c_str(), measured.perSecond, measured.p50, measured.p99,
                measured.serverCpu, measured.clientCpu,
                measured.failure.empty() ? "" : "   FALLA: ", measured.failure.c_str());
    std::fflush(stdout);
  }
  if (sandbox.Stop() != 0) std::printf("quarlo-sandbox no terminó limpiamente\n");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string only = argc > 1 ? argv[1] : "";
  const auto folder =
      std::filesystem::temp_directory_path() / ("quarlo-load-" + std::to_string(::getpid()));
  int status = 0;
  try {
    RunStore("memoria", folder / "memoria", {}, only);
    RunStore("--db", folder / "db", folder / "db" / "carga.db", only);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quarlo_sandbox_load: %s\n", error.what());
    status = 1;
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return status;
}
