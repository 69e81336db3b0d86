// Search and document reconciliation through the library: the sandbox's query language, pages,
// and the records the library builds from what it answers.

#include <set>

#include "integration_fixture.hpp"

namespace QuarloCliente::integration {
namespace {

class Busqueda : public IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    SubirCaf(kEmisor, 33, 1, 20);
    SubirCaf(kEmisorBoletas, 39, 1, 20);
    for (int i = 0; i < 3; ++i) EmitirFactura();
    EmitirBoleta();
  }

  // The folios of one page, in the order the service gives them.
  std::vector<Long> Folios(const std::shared_ptr<ResultadosBusqueda>& page) {
    std::vector<Long> folios;
    for (const auto& registro : *page->getDocumentos()) {
      folios.push_back(std::get<std::shared_ptr<ResumenDTE>>(registro)->folio);
    }
    return folios;
  }

  std::shared_ptr<ResultadosBusqueda> Buscar(const std::string& consulta, Integer pagina = 1,
                                             Integer tamanno = 10) {
    auto page =
        servicio_.BuscarDocumentos(kAmbiente, servicio_.Grupo_Emitido, consulta, pagina, tamanno);
    Require(page->ResultadoServicio, "BuscarDocumentos " + consulta);
    return page;
  }
};

TEST_F(Busqueda, TheQueryLanguageSelectsAndPagesTheDocuments) {
  const auto primera = Buscar("tipo:33", 1, 2);
  EXPECT_EQ(primera->TotalDocumentos, 3);
  EXPECT_EQ(primera->TotalPages, 2);
  EXPECT_EQ(Folios(primera), (std::vector<Long>{3, 2})) << "newest first";
  EXPECT_EQ(Folios(Buscar("tipo:33", 2, 2)), (std::vector<Long>{1}));

  EXPECT_EQ(Buscar("")->TotalDocumentos, 4);
  EXPECT_EQ(Folios(Buscar("tipo:33 folio:2..")), (std::vector<Long>{3, 2}));
  EXPECT_EQ(Buscar("penascos fecha:" + Hoy())->TotalDocumentos, 3) << "free text ignores accents";
  EXPECT_EQ(Buscar("\"los peñascos\" tipo:39")->TotalDocumentos, 0);
  EXPECT_EQ(Buscar("emisor:" + kEmisorBoletas)->TotalDocumentos, 1);
  EXPECT_EQ(Buscar("monto:1448706..")->TotalDocumentos, 3);

  const auto factura =
      std::get<std::shared_ptr<ResumenDTE>>(Buscar("folio:1 tipo:33")->getDocumentos()->at(0));
  EXPECT_EQ(factura->tipoDte, "33");
  EXPECT_EQ(factura->rutEmisor, kEmisor);
  EXPECT_EQ(factura->RznSoc, "Comercializadora Ñuñoa Ltda.");
  EXPECT_EQ(factura->RznSocRecep, "Constructora Los Peñascos SpA");
  EXPECT_EQ(factura->MntTotal, "1448706");
  EXPECT_EQ(factura->FchEmis, Hoy());
  EXPECT_NE(factura->TimeStamp, Date{});
  EXPECT_EQ(factura->Anulado, "0");

  const auto rechazada = servicio_.BuscarDocumentos(kAmbiente, "E", "color:rojo", 1, 10);
  EXPECT_EQ(rechazada->ResultadoServicio->Estado, "1");
  EXPECT_NE(rechazada->ResultadoServicio->Descripcion.find("color"), std::string::npos)
      << rechazada->ResultadoServicio->Descripcion;
}

TEST_F(Busqueda, ReconciliationListsWhatWasIssuedToTheReceiverAndMarksIt) {
  const auto conciliadas = servicio_.ConciliarDocumentos(kAmbiente, kReceptor, Hoy(), Hoy());
  Require(conciliadas->ResultadoServicio, "ConciliarDocumentos");
  EXPECT_EQ(conciliadas->TotalDocumentos, 3);
  std::set<Long> folios;
  for (const auto& registro : *conciliadas->getDocumentos()) {
    const auto& documento = std::get<std::shared_ptr<ResumenDTE>>(registro);
    folios.insert(documento->folio);
    EXPECT_EQ(documento->RUTRecep, kReceptor);
    EXPECT_EQ(documento->RecibidoSII, "1");
  }
  EXPECT_EQ(folios, (std::set<Long>{1, 2, 3}));
  // Reconciliation records do not carry the mark; the search shows it.
  EXPECT_EQ(std::get<std::shared_ptr<ResumenDTE>>(Buscar("tipo:33 folio:2")->getDocumentos()->at(0))
                ->Conciliado,
            "1");
  EXPECT_EQ(
      std::get<std::shared_ptr<ResumenDTE>>(Buscar("tipo:39")->getDocumentos()->at(0))->Conciliado,
      "0");

  EXPECT_EQ(
      servicio_.ConciliarDocumentos(kAmbiente, "66666666-6", Hoy("yyyyMMdd"), Hoy("yyyyMMdd"))
          ->TotalDocumentos,
      1)
      << "the boleta's receiver";
  EXPECT_EQ(servicio_.ConciliarDocumentos(kAmbiente, kReceptor, "2020-01-01", "2020-12-31")
                ->TotalDocumentos,
            0);
}

}  // namespace
}  // namespace QuarloCliente::integration
