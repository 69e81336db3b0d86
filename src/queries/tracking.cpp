#include <quarlo/servicio.hpp>

#include "core/answer.hpp"
#include "core/payload.hpp"
#include "core/report.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"
#include "queries/queries.hpp"

namespace QuarloCliente {

std::shared_ptr<ResultadoTrazas> Servicio::ObtenerTracking(const std::string& ambiente,
                                                           const std::string& grupo,
                                                           const std::string& rut,
                                                           const std::string& tipoDocumento,
                                                           const std::string& folio) {
  auto result = std::make_shared<ResultadoTrazas>();
  detail::ReportFailures(*result->ResultadoServicio, detail::kErrorConsultando, [&] {
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/TrackingByGroup/",
                           {ambiente, rut, tipoDocumento, folio, grupo});
    const detail::ServiceAnswer answer(detail::ServicioAccess::Get(*this, url));
    if (!detail::ApplyResult(answer, *result->ResultadoServicio)) return;
    result->Datos = detail::DecodeIsoBase64(answer.Text("Data"));
  });
  return result;
}

}  // namespace QuarloCliente
