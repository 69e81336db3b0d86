#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <sys/resource.h>

#include <quarlo/servicio.hpp>
#include <string>

#include "core/payload.hpp"
#include "search/records.hpp"
#include "search/service_values.hpp"
#ifdef QUARLO_BENCH_LOOPBACK
#include "support/loopback_server.hpp"
#endif

namespace {

using namespace QuarloCliente;

constexpr int kDocuments = 5000;

// One search hit as the service writes it, every field filled and varying with the folio.
std::string Hit(int folio) {
  const std::string n = std::to_string(folio);
  return "<document><Seguimiento>TRK-" + n +
         "</Seguimiento><Encabezado><IdDoc><TipoDTE>33</TipoDTE>"
         "<Folio>" +
         n +
         "</Folio><FchEmis>2024-03-01</FchEmis><FchVenc>2024-03-31</FchVenc>"
         "</IdDoc><Emisor><RUTEmisor>76123456-K</RUTEmisor><RznSoc>Comercial Ñuñoa Limitada"
         "</RznSoc><Sucursal>Casa Matriz</Sucursal><CmnaOrigen>Ñuñoa</CmnaOrigen>"
         "<IdAdicEmisor>ADIC-" +
         n + "</IdAdicEmisor></Emisor><Receptor><RUTRecep>" + n +
         "-1</RUTRecep><RznSocRecep>Cliente Número " + n + " SpA</RznSocRecep><CdgIntRecep>C" + n +
         "</CdgIntRecep><CorreoRecep>pagos" + n +
         "@cliente.cl</CorreoRecep>"
         "<CiudadRecep>Santiago</CiudadRecep><CmnaRecep>Las Condes</CmnaRecep></Receptor>"
         "<Totales><MntNeto>100000</MntNeto><MntExe>0</MntExe><IVA>19000</IVA>"
         "<MntTotal>119000</MntTotal></Totales></Encabezado><Detalle><NmbItem>Asesoría contable"
         "</NmbItem><DscItem>Servicio mensual de marzo</DscItem></Detalle><Estado>"
         "<Estructura>1</Estructura><Firma>1</Firma><AutorizadoSII>1</AutorizadoSII>"
         "<Distribuido>1</Distribuido><Recibido>1</Recibido><Aprobado>1</Aprobado>"
         "<TimeStamp>2024-03-07T10:20:30.1234567-03:00</TimeStamp><Cesion>0</Cesion>"
         "<Anulado>0</Anulado><Eliminado>0</Eliminado><Indexado>1</Indexado>"
         "<AnuladoContable>0</AnuladoContable><ClaimAction>ACD</ClaimAction>"
         "<Conciliado>1</Conciliado><FchRespComercial>2024-03-09</FchRespComercial>"
         "<FchRecepSII>2024-03-07</FchRecepSII></Estado><Referencias><FolioRef801>" +
         n + "0</FolioRef801><FolioRef802>" + n + "1</FolioRef802><FolioRef803>" + n +
         "2</FolioRef803></Referencias><DownloadCustomerDocumentUrl>https://docs.example.cl/d/" +
         n + "?k=abc</DownloadCustomerDocumentUrl></document>";
}

const std::string& Page() {
  static const std::string page = [] {
    std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><documents>";
    for (int folio = 1; folio <= kDocuments; ++folio) text += Hit(folio);
    return text + "</documents>";
  }();
  return page;
}

void ReportPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Turning the decoded page into records, the part measured against the plain parse.
void BM_PageToRecords(benchmark::State& state) {
  const detail::RecordBuilder build = [](const detail::DocumentFields& fields) -> RegistroBusqueda {
    return detail::SearchSummary(
        fields, [](const std::string& text) { return detail::ReadTimestamp(text); });
  };
  for (auto _ : state) {
    const auto records = detail::BuildRecords(Page(), build);
    benchmark::DoNotOptimize(records->data());
  }
  state.SetItemsProcessed(state.iterations() * kDocuments);
  ReportPeakMemory(state);
}

// The floor: libxml2 parsing the same decoded page into a tree, and nothing else.
void BM_PlainParse(benchmark::State& state) {
  const std::string& page = Page();
  for (auto _ : state) {
    xmlDoc* doc = xmlReadMemory(page.data(), static_cast<int>(page.size()), nullptr, "UTF-8",
                                XML_PARSE_NONET | XML_PARSE_IGNORE_ENC | XML_PARSE_HUGE);
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
  }
  state.SetItemsProcessed(state.iterations() * kDocuments);
}

BENCHMARK(BM_PageToRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainParse)->Unit(benchmark::kMillisecond);

#ifdef QUARLO_BENCH_LOOPBACK

using QuarloCliente::testing::LoopbackServer;
using QuarloCliente::testing::ScriptedResponse;

// The whole operation: request, transfer of the Base64 page, decoding and records.
void BM_BuscarDocumentos(benchmark::State& state) {
  LoopbackServer server;
  server.SetDefault(ScriptedResponse::Xml("<Response><Result>0</Result><SearchTime>0.2"
                                          "</SearchTime><TotalDocuments>" +
                                          std::to_string(kDocuments) + "</TotalDocuments><Data>" +
                                          detail::EncodeIsoBase64(Page()) + "</Data></Response>")
                        .WithHeader("Connection", "keep-alive"));
  Servicio servicio;
  servicio.Configurar(server.BaseUrl(), "llave");
  for (auto _ : state) {
    const auto result = servicio.BuscarDocumentos("T", "E", "TipoDTE:33", 1, 100);
    if (result->getDocumentos() == nullptr || result->getDocumentos()->size() != kDocuments) {
      state.SkipWithError(result->ResultadoServicio->Descripcion.c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kDocuments);
  ReportPeakMemory(state);
}

BENCHMARK(BM_BuscarDocumentos)->Unit(benchmark::kMillisecond);

#endif

}  // namespace
