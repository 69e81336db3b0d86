// The console's documents page over a store of 100 000 documents: how long one page of 50 takes
// to render, unfiltered, filtered the way a developer filters (type, a month, a name), and deep
// into the pages. Run: build/default/bench/quarlo_console_bench

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "console/console.hpp"
#include "crypto/caf.hpp"
#include "service/search_text.hpp"
#include "store/store.hpp"

namespace {

using namespace QuarloSandbox;

constexpr int kDocuments = 100'000;
constexpr std::array<const char*, 5> kTypes{"33", "34", "39", "41", "61"};
constexpr std::array<const char*, 6> kReceivers{
    "Constructora Los Peñascos SpA", "Ferretería Ñuñoa Ltda.",  "Comercial El Roble S.A.",
    "Panadería La Espiga",           "Transportes Andinos SpA", "Clínica Dental Sonrisa"};

std::string FixtureXml() {
  std::ifstream file(std::string(QUARLO_BENCH_DATA_DIR) + "/factura_33.xml");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// A document as a submission stores it, its fields varying with the number.
DocumentRow Document(int n, const std::string& xml) {
  char date[11];
  std::snprintf(date, sizeof date, "2024-%02d-%02d", n % 12 + 1, n % 28 + 1);
  char received[20];
  std::snprintf(received, sizeof received, "2024-%02d-%02dT%02d:%02d:%02d", n / 8640 % 12 + 1,
                n / 288 % 28 + 1, n / 12 % 24, n % 60, n % 59);
  DocumentRow row;
  const char* tipo = kTypes[static_cast<std::size_t>(n) % kTypes.size()];
  row.key = DocumentKey{"T", "76543210-3", tipo, n + 1};
  row.kind = tipo[0] == '3' && tipo[1] == '9' ? DocumentKind::Boleta : DocumentKind::Dte;
  row.xml = xml;
  row.ted = "<TED/>";
  row.issuerName = "Comercializadora Ñuñoa Ltda.";
  row.receiverRut = "77214903-4";
  row.receiverName = std::string(kReceivers[static_cast<std::size_t>(n) % kReceivers.size()]) +
                     " " + std::to_string(n % 1000);
  row.itemName = "Cemento 25 kg";
  row.issueDate = date;
  row.total = std::to_string(1000 + n * 7 % 500000);
  row.searchText = FoldForSearch(row.issuerName + " " + row.receiverName + " " + row.itemName);
  row.receivedAt = received;
  return row;
}

// One in-memory store for every case: filling it is the slow part.
struct Filled {
  Store store{""};
  AuthorityKey authority = AuthorityKey::Generate();
  ApiKeys keys{{}};
  RequestRing requests;
  SessionStore sessions;
  Console console{ServiceContext{store, authority}, keys, requests, sessions};

  Filled() {
    const std::string xml = FixtureXml();
    store.Write([&](StoreTx& tx) {
      for (int n = 0; n < kDocuments; ++n) {
        DocumentRow row = Document(n, xml);
        row.trackId = tx.NewTrackId("T", row.kind, row.receivedAt);
        tx.InsertDocument(row);
      }
    });
  }
};

Filled& Store100k() {
  static Filled filled;
  return filled;
}

void RenderPage(benchmark::State& state, const std::string& target) {
  Filled& filled = Store100k();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const ConsoleAnswer answer = filled.console.Answer(ConsoleRequest{"GET", target, "", ""});
    if (answer.status != 200) state.SkipWithError("la página no respondió 200");
    bytes = answer.body.size();
    benchmark::DoNotOptimize(answer.body.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_DocumentsFirstPage(benchmark::State& state) {
  RenderPage(state, "/consola/documentos");
}
BENCHMARK(BM_DocumentsFirstPage)->Unit(benchmark::kMillisecond);

void BM_DocumentsFilteredByTypeMonthAndName(benchmark::State& state) {
  RenderPage(state, "/consola/documentos?tipo=33&desde=2024-03-01&hasta=2024-03-31&texto=roble");
}
BENCHMARK(BM_DocumentsFilteredByTypeMonthAndName)->Unit(benchmark::kMillisecond);

void BM_DocumentsFilteredSecondPage(benchmark::State& state) {
  RenderPage(state, "/consola/documentos?tipo=33&texto=nunoa&pagina=2");
}
BENCHMARK(BM_DocumentsFilteredSecondPage)->Unit(benchmark::kMillisecond);

void BM_DocumentsPage1000(benchmark::State& state) {
  RenderPage(state, "/consola/documentos?pagina=1000");
}
BENCHMARK(BM_DocumentsPage1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
