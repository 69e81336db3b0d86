#include <functional>
#include <quarlo/servicio.hpp>
#include <utility>

#include "core/answer.hpp"
#include "core/report.hpp"
#include "core/servicio_access.hpp"
#include "core/transport.hpp"
#include "core/url.hpp"
#include "search/records.hpp"
#include "search/result_page.hpp"

namespace QuarloCliente {

namespace {

// A reconciliation answers every match at once: one GET, one page. A secret the address
// carries is kept out of every description of the exchange.
std::shared_ptr<ResultadoBusDocumento> FetchWholePage(Servicio& servicio,
                                                      const std::function<std::string()>& buildUrl,
                                                      const std::string& secret = {}) {
  auto raw = std::make_shared<ResultadoBusDocumento>();
  detail::ReportFailures(*raw->ResultadoServicio, detail::kSearchFailure, [&] {
    const detail::ServiceAnswer answer(detail::ServicioAccess::Get(servicio, buildUrl(), secret));
    if (!detail::ReadResultPage(answer, *raw)) return;
    raw->TotalPages = 1;
  });
  return raw;
}

// The documents received in the range, as the service answered them.
std::shared_ptr<ResultadoBusDocumento> RunDocumentReconciliation(Servicio& servicio,
                                                                 const std::string& ambiente,
                                                                 const std::string& rutReceptor,
                                                                 const std::string& fechaDesde,
                                                                 const std::string& fechaHasta) {
  return FetchWholePage(servicio, [&] {
    return detail::ServiceUrl(detail::ServicioAccess::ApiUri(servicio), "/Reconciliate/",
                              {ambiente, rutReceptor, fechaDesde, fechaHasta});
  });
}

// The cessions of the range, as the service answered them; the SII password stays out of every
// description of the exchange.
std::shared_ptr<ResultadoBusDocumento> RunCessionReconciliation(
    Servicio& servicio, const std::string& ambiente, const std::string& rutReceptor,
    const std::string& fechaDesde, const std::string& fechaHasta, const std::string& tipoConsulta,
    const std::string& plainSiiPassword) {
  return FetchWholePage(
      servicio,
      [&] {
        return detail::ServiceUrl(
            detail::ServicioAccess::ApiUri(servicio), "/ReconciliateCessions/",
            {ambiente, rutReceptor, fechaDesde, fechaHasta, tipoConsulta, plainSiiPassword});
      },
      plainSiiPassword);
}

}  // namespace

std::shared_ptr<ResultadosBusqueda> Servicio::ConciliarDocumentos(const std::string& ambiente,
                                                                  const std::string& rutReceptor,
                                                                  const std::string& fechaDesde,
                                                                  const std::string& fechaHasta) {
  return detail::AssembleResults(
      [&] {
        return RunDocumentReconciliation(*this, ambiente, rutReceptor, fechaDesde, fechaHasta);
      },
      [](const detail::DocumentFields& fields) -> RegistroBusqueda {
        return detail::ReconciledSummary(fields);
      });
}

std::shared_ptr<ResultadosBusqueda> Servicio::ConciliarCesiones(
    const std::string& ambiente, const std::string& rutReceptor, const std::string& fechaDesde,
    const std::string& fechaHasta, const std::string& tipoConsulta,
    const std::string& plainSiiPassword) {
  return detail::AssembleResults(
      [&] {
        return RunCessionReconciliation(*this, ambiente, rutReceptor, fechaDesde, fechaHasta,
                                        tipoConsulta, plainSiiPassword);
      },
      [](const detail::DocumentFields& fields) -> RegistroBusqueda {
        return detail::CessionSummary(fields);
      });
}

}  // namespace QuarloCliente
