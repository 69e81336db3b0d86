#include <exception>
#include <quarlo/servicio.hpp>
#include <string_view>

#include "core/answer.hpp"
#include "core/request_body.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kAecPrefix = "Error generando AEC: ";

// The service reads the due date before the previous AEC, unlike the request's field order.
std::string AecRequestBody(const GeneraAECRequest& request) {
  const std::string tipo = detail::Decimal(request.tipo);
  const std::string folio = detail::Decimal(request.folio);
  const std::string enterprise = detail::Decimal(request.FactoringEnterpriseID);
  return detail::WriteRequestBody("GenerateAecRequest",
                                  {{"Environment", request.ambiente},
                                   {"Rut", request.rut},
                                   {"Type", tipo},
                                   {"Folio", folio},
                                   {"FactoringRut", request.FactoringRut},
                                   {"UltimoVencimiento", request.UltimoVencimiento},
                                   {"PrevAecInBase64", request.AecPrevioEnBase64},
                                   {"FactoringEnterpriseID", enterprise},
                                   {"DireccionCedente", request.DireccionCedente},
                                   {"EmailCedente", request.EmailCedente}},
                                  detail::OpeningTag::Spaced);
}

}  // namespace

std::shared_ptr<ResultadoServicio> Servicio::GenerarAec(
    const std::shared_ptr<GeneraAECRequest>& request) {
  // The one operation that raises: every failure leaves as Error with the operation's prefix, so
  // that the caller can catch a single type.
  try {
    if (!request) throw Error("no se recibió la solicitud de AEC");
    auto result = std::make_shared<ResultadoServicio>();
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/GenerateAec");
    const detail::ServiceAnswer answer(
        detail::ServicioAccess::Post(*this, url, AecRequestBody(*request)));
    detail::CopyResult(answer, *result);
    return result;
  } catch (const std::exception& e) {
    throw Error(std::string(kAecPrefix) + e.what());
  } catch (...) {
    throw Error(std::string(kAecPrefix) + "error inesperado");
  }
}

}  // namespace QuarloCliente
