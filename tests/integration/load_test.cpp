// Several clients at once against one sandbox: automatic numbering under contention must hand out
// every folio exactly once and lose no document.

#include <algorithm>
#include <numeric>
#include <thread>

#include "integration_fixture.hpp"

namespace QuarloCliente::integration {
namespace {

constexpr int kClientes = 8;
constexpr int kDocumentosPorCliente = 200;
constexpr Long kTotal = kClientes * kDocumentosPorCliente;

// On a file store every request has its own connection, so folio assignment really races.
class Carga : public IntegrationTest {
 protected:
  void SetUp() override { Start(dir_.path() / "carga.db"); }
};

TEST_F(Carga, EightClientsAtOnceGetEveryFolioExactlyOnceAndLoseNoDocument) {
  // Two CAFs, so that numbering must move on to the second one while clients compete.
  SubirCaf(kEmisor, 33, 1, kTotal / 2);
  SubirCaf(kEmisor, 33, kTotal / 2 + 1, kTotal);

  std::vector<std::vector<Long>> folios(kClientes);
  std::vector<std::string> fallos(kClientes);
  {
    std::vector<std::jthread> clientes;
    for (std::size_t c = 0; c < kClientes; ++c) {
      clientes.emplace_back([&, c] {
        Servicio servicio;
        servicio.Configurar(sandbox_->Uri(), kApiKey);
        for (int i = 0; i < kDocumentosPorCliente; ++i) {
          const auto enviado = servicio.EnviarDocumentoDTE_AutoFoliado(
              Factura(), kAmbiente, kFechaResolucion, kNroResolucion, servicio.TipoPDF417_Fuente,
              true);
          if (enviado->ResultadoServicio->Estado != "0") {
            fallos[c] =
                "documento " + std::to_string(i) + ": " + enviado->ResultadoServicio->Descripcion;
            return;
          }
          folios[c].push_back(std::stoi(FolioOf(enviado->TED)));
        }
      });
    }
  }

  std::vector<Long> todos;
  for (std::size_t c = 0; c < kClientes; ++c) {
    EXPECT_EQ(fallos[c], "") << "cliente " << c;
    // Folios are never freed, so each client's documents are numbered in the order it sent them.
    EXPECT_TRUE(std::is_sorted(folios[c].begin(), folios[c].end())) << "cliente " << c;
    todos.insert(todos.end(), folios[c].begin(), folios[c].end());
  }
  std::sort(todos.begin(), todos.end());
  std::vector<Long> esperados(kTotal);
  std::iota(esperados.begin(), esperados.end(), 1);
  EXPECT_EQ(todos, esperados) << "every folio of both CAFs, each once";
  EXPECT_EQ(servicio_
                .EnviarDocumentoDTE_AutoFoliado(Factura(), kAmbiente, kFechaResolucion,
                                                kNroResolucion, servicio_.TipoPDF417_Fuente, true)
                ->ResultadoServicio->Estado,
            "1")
      << "both CAFs are spent";

  std::vector<Long> guardados;
  for (Integer pagina = 1; pagina <= 2; ++pagina) {
    const auto page = servicio_.BuscarDocumentos(kAmbiente, "E", "tipo:33", pagina, 1000);
    Require(page->ResultadoServicio, "BuscarDocumentos");
    EXPECT_EQ(page->TotalDocumentos, kTotal);
    for (const auto& registro : *page->getDocumentos()) {
      guardados.push_back(std::get<std::shared_ptr<ResumenDTE>>(registro)->folio);
    }
  }
  std::sort(guardados.begin(), guardados.end());
  EXPECT_EQ(guardados, esperados) << "every document stored once";
  // The search index is no proof that the document itself was kept whole.
  for (const Long folio : {Long{1}, kTotal / 2, kTotal / 2 + 1, kTotal}) {
    const auto xml =
        servicio_.RecuperarXML(kAmbiente, "E", kEmisor, "33", std::to_string(folio), false);
    Require(xml->ResultadoServicio, "RecuperarXML " + std::to_string(folio));
    EXPECT_EQ(servicio_.NodeValue(XmlDocument::Parse(xml->Datos), "//IdDoc/Folio"),
              std::to_string(folio));
  }
}

}  // namespace
}  // namespace QuarloCliente::integration
