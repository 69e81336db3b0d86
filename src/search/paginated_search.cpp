#include <quarlo/servicio.hpp>

#include "core/answer.hpp"
#include "core/payload.hpp"
#include "core/report.hpp"
#include "core/request_body.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"
#include "search/records.hpp"
#include "search/result_page.hpp"

namespace QuarloCliente {

std::shared_ptr<ResultadoBusDocumento> Servicio::RunPaginatedSearch(const std::string& ambiente,
                                                                    const std::string& grupo,
                                                                    const std::string& consulta,
                                                                    Integer pagina,
                                                                    Integer tamannoPagina) {
  auto raw = std::make_shared<ResultadoBusDocumento>();
  detail::ReportFailures(*raw->ResultadoServicio, detail::kSearchFailure, [&] {
    const std::string url = detail::ServiceUrl(ApiUri, "/PaginatedSearch");
    const std::string body =
        detail::WriteRequestBody("SearchRequest", {{"Environment", ambiente},
                                                   {"Group", grupo},
                                                   {"Query", detail::EncodeIsoBase64(consulta)},
                                                   {"Page", detail::Decimal(pagina)},
                                                   {"PageSize", detail::Decimal(tamannoPagina)}});
    const detail::ServiceAnswer answer(detail::ServicioAccess::Post(*this, url, body));
    if (!detail::ReadResultPage(answer, *raw)) return;
    raw->TotalPages = detail::PageCount(raw->TotalDocumentos, tamannoPagina);
  });
  return raw;
}

std::shared_ptr<ResultadosBusqueda> Servicio::BuscarDocumentos(const std::string& ambiente,
                                                               const std::string& grupo,
                                                               const std::string& consulta,
                                                               Integer pagina,
                                                               Integer tamannoPagina) {
  const detail::TimestampReader readTimestamp = [this](const std::string& text) {
    return ParseServiceTimestamp(text);
  };
  return detail::AssembleResults(
      [&] { return RunPaginatedSearch(ambiente, grupo, consulta, pagina, tamannoPagina); },
      [&](const detail::DocumentFields& fields) -> RegistroBusqueda {
        return detail::SearchSummary(fields, readTimestamp);
      });
}

}  // namespace QuarloCliente
