#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <quarlo/binding.hpp>
#include <quarlo/caf.hpp>
#include <quarlo/pdf417.hpp>
#include <quarlo/timbre.hpp>
#include <string>

#include "bench_documents.hpp"

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

// A factura of the most detail lines a DTE may hold, within the test CAF's range.
std::shared_ptr<DteDocumentBinding> FacturaWithSixtyLines() {
  return bench::Factura(60);
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

// A TED shaped and sized like the ones a CAF stamps (about 900 bytes), with accents.
std::string TypicalTed() {
  return "<TED version=\"1.0\"><DD><RE>76192083-9</RE><TD>33</TD><F>1234</F>"
         "<FE>2024-05-17</FE><RR>77654321-K</RR><RSR>Comercial Ñuñoa Ltda.</RSR>"
         "<MNT>119000</MNT><IT1>Café de grano «Peñalolén»</IT1><CAF version=\"1.0\"><DA>"
         "<RE>76192083-9</RE><RS>EMISOR DE PRUEBA</RS><TD>33</TD><RNG><D>1</D><H>5000</H></RNG>"
         "<FA>2024-01-02</FA><RSAPK><M>" +
         std::string(172, 'Q') + "</M><E>Aw==</E></RSAPK><IDK>100</IDK></DA>" +
         "<FRMA algoritmo=\"SHA1withRSA\">" + std::string(88, 'f') +
         "</FRMA></CAF><TSTED>2024-05-17T10:20:30</TSTED></DD><FRMT algoritmo=\"SHA1withRSA\">" +
         std::string(88, 't') + "</FRMT></TED>";
}

// The whole path a caller takes: ISO bytes, libzint's symbol, the raster, libpng's file; at the
// submissions' layout (5 columns, level 2) and the printed one (10 columns, level 5).
void BM_CodigoPdf417Png(benchmark::State& state) {
  const std::string ted = TypicalTed();
  const auto columns = static_cast<int>(state.range(0));
  const auto level = static_cast<int>(state.range(1));
  std::size_t size = 0;
  for (auto _ : state) {
    QuarloCliente::Bytes png = QuarloCliente::CodigoPdf417Png(ted, columns, level);
    size = png.size();
    benchmark::DoNotOptimize(png.data());
  }
  state.counters["png_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_CodigoPdf417Png)->Args({5, 2})->Args({10, 5});

}  // namespace
