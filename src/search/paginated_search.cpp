#include <quarlo/servicio.hpp>

#include "core/answer.hpp"
#include "core/payload.hpp"
#include "core/report.hpp"
#include "core/request_body.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"
#include "search/records.hpp"
#include "search/result_page.hpp"
#include "search/service_values.hpp"

namespace QuarloCliente {

namespace {

// One page of the search, as the service answered it.
std::shared_ptr<ResultadoBusDocumento> RunPaginatedSearch(Servicio& servicio,
                                                          const std::string& ambiente,
                                                          const std::string& grupo,
                                                          const std::string& consulta,
                                                          Integer pagina, Integer tamannoPagina) {
  auto raw = std::make_shared<ResultadoBusDocumento>();
  detail::ReportFailures(*raw->ResultadoServicio, detail::kSearchFailure, [&] {
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(servicio), "/PaginatedSearch");
    const std::string body =
        detail::WriteRequestBody("SearchRequest", {{"Environment", ambiente},
                                                   {"Group", grupo},
                                                   {"Query", detail::EncodeIsoBase64(consulta)},
                                                   {"Page", detail::Decimal(pagina)},
                                                   {"PageSize", detail::Decimal(tamannoPagina)}});
    const detail::ServiceAnswer answer(detail::ServicioAccess::Post(servicio, url, body));
    if (!detail::ReadResultPage(answer, *raw)) return;
    raw->TotalPages = detail::PageCount(raw->TotalDocumentos, tamannoPagina);
  });
  return raw;
}

}  // namespace

std::shared_ptr<ResultadosBusqueda> Servicio::BuscarDocumentos(const std::string& ambiente,
                                                               const std::string& grupo,
                                                               const std::string& consulta,
                                                               Integer pagina,
                                                               Integer tamannoPagina) {
  const detail::TimestampReader readTimestamp = [](const std::string& text) {
    return detail::ReadTimestamp(text);
  };
  return detail::AssembleResults(
      [&] { return RunPaginatedSearch(*this, ambiente, grupo, consulta, pagina, tamannoPagina); },
      [&](const detail::DocumentFields& fields) -> RegistroBusqueda {
        return detail::SearchSummary(fields, readTimestamp);
      });
}

}  // namespace QuarloCliente
