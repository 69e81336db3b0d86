// A sandbox stopped, or killed, and started again on the same database file carries on where it
// was.

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "integration_fixture.hpp"

namespace QuarloCliente::integration {
namespace {

class Reinicio : public IntegrationTest {
 protected:
  void SetUp() override { Start(db_); }

  const std::filesystem::path db_ = dir_.path() / "quarlo.db";
};

TEST_F(Reinicio, DocumentsFoliosStatesAndRegistryOutliveTheProcess) {
  SubirCaf(kEmisor, 33, 1, 10);
  const auto factura = EmitirFactura(servicio_);
  ASSERT_EQ(FolioOf(factura->TED), "1");
  EXPECT_EQ(servicio_.EstadoFiscal(kAmbiente, "E", kEmisor, "33", "1")->Estado, "VALIDADO");
  auto fact = std::make_shared<Fact>();
  fact->rut = "76111111-6";
  fact->RazonSocial = "Factoring Ñandú S.A.";
  Require(servicio_.UpsertFactoring(fact), "UpsertFactoring");

  servicio_ = Servicio();
  ASSERT_EQ(sandbox_->Stop(), 0) << sandbox_->Log();
  Start(db_);

  const auto xml = servicio_.RecuperarXML(kAmbiente, "E", kEmisor, "33", "1", false);
  Require(xml->ResultadoServicio, "RecuperarXML");
  EXPECT_EQ(servicio_.NodeValue(XmlDocument::Parse(xml->Datos), "//Documento/TED/FRMT"),
            servicio_.NodeValue(XmlDocument::Parse(factura->TED), "//FRMT"));
  const auto documento = servicio_.RecuperarDocumento(kAmbiente, "E", kEmisor, "33", "1");
  Require(documento->ResultadoServicio, "RecuperarDocumento");
  const auto dte = std::dynamic_pointer_cast<ResultadoDocDTE>(documento->Data);
  ASSERT_TRUE(dte);
  EXPECT_EQ(dte->Documento->Documento()->Encabezado()->Emisor()->Get("CmnaOrigen"), "Ñuñoa");

  EXPECT_EQ(servicio_.EstadoFiscal(kAmbiente, "E", kEmisor, "33", "1")->Estado, "ACEPTADO")
      << "the history goes on from the state it had reached";
  const auto registro = servicio_.ObtenerFactorings();
  ASSERT_EQ(registro->TotalFactorings, 1);
  EXPECT_EQ(registro->Factorings->front()->RazonSocial, "Factoring Ñandú S.A.");
  EXPECT_EQ(EmitirFactura(), "2") << "the CAF and its used folios were kept";
}

TEST_F(Reinicio, AKillInTheMiddleOfSubmissionsLosesNoAnsweredDocument) {
  constexpr int kClientes = 4;
  constexpr int kAntesDeMatar = 40;
  SubirCaf(kEmisor, 33, 1, 1000);
  std::mutex mutex;
  std::condition_variable avance;
  std::set<Long> respondidos;
  int terminados = 0;
  {
    std::vector<std::jthread> clientes;
    for (int c = 0; c < kClientes; ++c) {
      clientes.emplace_back([&] {
        Servicio servicio;
        servicio.Configurar(sandbox_->Uri(), kApiKey);
        // Each client sends until the server is gone.
        for (int i = 0; i < 200; ++i) {
          const auto enviado = servicio.EnviarDocumentoDTE_AutoFoliado(
              Factura(), kAmbiente, kFechaResolucion, kNroResolucion, 1, true);
          if (enviado->ResultadoServicio->Estado != "0") break;
          const std::lock_guard lock(mutex);
          respondidos.insert(std::stoi(FolioOf(enviado->TED)));
          avance.notify_all();
        }
        const std::lock_guard lock(mutex);
        ++terminados;
        avance.notify_all();
      });
    }
    std::unique_lock lock(mutex);
    avance.wait(lock, [&] {
      return static_cast<int>(respondidos.size()) >= kAntesDeMatar || terminados == kClientes;
    });
    lock.unlock();
    EXPECT_EQ(sandbox_->Kill(), 128 + SIGKILL);
  }
  ASSERT_GE(static_cast<int>(respondidos.size()), kAntesDeMatar);
  const auto caido = servicio_.EstadoFiscal(kAmbiente, "E", kEmisor, "33", "1");
  EXPECT_EQ(caido->ResultadoServicio->Estado, "1");
  EXPECT_NE(caido->ResultadoServicio->Descripcion.find("no se pudo conectar"), std::string::npos)
      << caido->ResultadoServicio->Descripcion;
  Start(db_);

  const auto guardados = servicio_.BuscarDocumentos(kAmbiente, "E", "tipo:33", 1, 1000);
  Require(guardados->ResultadoServicio, "BuscarDocumentos");
  std::set<Long> folios;
  for (const auto& registro : *guardados->getDocumentos()) {
    folios.insert(std::get<std::shared_ptr<ResumenDTE>>(registro)->folio);
  }
  EXPECT_TRUE(std::includes(folios.begin(), folios.end(), respondidos.begin(), respondidos.end()));
  // Only a request in flight at the kill may have been stored without its answer arriving.
  EXPECT_LE(folios.size(), respondidos.size() + kClientes);
  for (const Long folio : folios) {
    const auto xml =
        servicio_.RecuperarXML(kAmbiente, "E", kEmisor, "33", std::to_string(folio), false);
    EXPECT_EQ(servicio_.NodeValue(XmlDocument::Parse(xml->Datos), "//Documento/TED/DD/F"),
              std::to_string(folio))
        << "stored whole";
  }
  EXPECT_EQ(folios.count(std::stoi(EmitirFactura())), 0U) << "no stored folio is handed out again";
}

}  // namespace
}  // namespace QuarloCliente::integration
