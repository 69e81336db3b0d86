#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>

#include "core/answer.hpp"
#include "core/payload.hpp"
#include "core/report.hpp"
#include "core/request_body.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"

namespace QuarloCliente {

namespace {

// The voided ranges as the service reads them, "1-39-5-10|1-41-3-3": every entry carries the
// index 1, whatever its position. Empty for a null or empty collection.
std::string VoidedRangeList(const std::shared_ptr<ColeccionRangosAnulados>& rangos) {
  std::string list;
  if (!rangos) return list;
  for (std::size_t i = 0; i < rangos->size(); ++i) {
    const std::shared_ptr<RangoAnulado>& rango = (*rangos)[i];
    if (!rango)
      throw Error("el rango anulado " + std::to_string(i + 1) + " de la colección es nulo");
    if (!list.empty()) list += '|';
    list += rango->GetString(1);
  }
  return list;
}

}  // namespace

std::shared_ptr<ResultadoServicio> Servicio::GenerarConsumoFolio(
    const std::string& ambiente, const std::string& rut, Date fecha,
    const std::shared_ptr<ColeccionRangosAnulados>& rangosAnulados, bool autoConfirmar) {
  auto result = std::make_shared<ResultadoServicio>();
  detail::ReportFailures(*result, "Error Generando Consumo de Folio: ", [&] {
    const std::string body = detail::WriteRequestBody(
        "GenerateFolioConsumeRequest",
        {{"Environment", ambiente},
         {"Sender", rut},
         {"Date", FormatDate(fecha, "yyyy-MM-dd")},
         {"AnnuledRanges", detail::EncodeIsoBase64(VoidedRangeList(rangosAnulados))},
         {"AutoConfirm", detail::TrueFalse(autoConfirmar)}});
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/GenerateFolioConsume");
    detail::CopyResult(detail::ServiceAnswer(detail::ServicioAccess::Post(*this, url, body)),
                       *result);
  });
  return result;
}

}  // namespace QuarloCliente
