#include <benchmark/benchmark.h>

#include <quarlo/pdf417.hpp>
#include <string>

namespace {

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
