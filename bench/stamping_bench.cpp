#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <quarlo/binding.hpp>
#include <quarlo/caf.hpp>
#include <quarlo/timbre.hpp>
#include <string>

namespace {

using namespace QuarloCliente;

std::string ReadData(const std::string& name) {
  std::ifstream file(std::string(QUARLO_BENCH_DATA_DIR) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The emitter's CAF for facturas 1501-1600, with its private key, as the SII writes it.
const ArchivoCaf& FacturaCaf() {
  static const ArchivoCaf caf = [] {
    const std::string raw = ReadData("ted/caf_33.xml");
    return ArchivoCaf::DesdeBytes(Bytes(raw.begin(), raw.end()));
  }();
  return caf;
}

// factura_33.xml (folio 1523) grown to the 60 detail lines a DTE may hold.
std::shared_ptr<DteDocumentBinding> FacturaWithSixtyLines() {
  auto dte = std::make_shared<DteDocumentBinding>();
  dte->Load(ReadData("factura_33.xml"), DefaultBindingContext());
  auto doc = dte->Documento();
  for (std::size_t line = doc->Detalles().size() + 1; line <= 60; ++line) {
    auto detalle = doc->AgregarDetalle();
    detalle->SetNroLinDet(static_cast<std::int64_t>(line))
        .SetNmbItem("Fierro estriado A630 12 mm × 6 m, línea " + std::to_string(line));
    detalle->Set("QtyItem", 20).Set("PrcItem", 7350).Set("MontoItem", 147000);
  }
  return dte;
}

const BindingDateTime kMomento = BindingDateTime::FromDateTime(2024, 5, 2, 10, 15, 32);

// Filling the TED from the document, writing DD's canonical form, signing it and writing the
// TED into the document.
void BM_TimbrarFactura60Lineas(benchmark::State& state) {
  const auto factura = FacturaWithSixtyLines();
  for (auto _ : state) {
    benchmark::DoNotOptimize(TimbrarDte(*factura, FacturaCaf(), kMomento));
  }
}
BENCHMARK(BM_TimbrarFactura60Lineas)->Unit(benchmark::kMicrosecond);

// Parsing a TED, reading its CAF's key, and checking FRMT over the compact DD.
void BM_VerificarTimbre(benchmark::State& state) {
  const auto factura = FacturaWithSixtyLines();
  const std::string ted = TimbrarDte(*factura, FacturaCaf(), kMomento);
  for (auto _ : state) {
    const auto result = VerificarTimbre(ted);
    if (!result.Valido) state.SkipWithError(result.Motivo.c_str());
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_VerificarTimbre)->Unit(benchmark::kMicrosecond);

}  // namespace
