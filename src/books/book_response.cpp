#include <quarlo/servicio.hpp>

#include "core/answer.hpp"
#include "core/report.hpp"

namespace QuarloCliente {

std::shared_ptr<ResultadoEnviarLibro> Servicio::ParseBookResponse(
    const detail::HttpAnswer& response) {
  auto result = std::make_shared<ResultadoEnviarLibro>();
  // The prefix names a DTE for the books too: callers have always matched on this text.
  detail::ReportFailures(*result->ResultadoServicio, "Error Enviando DTE: ", [&] {
    detail::ApplyResult(detail::ServiceAnswer(response), *result->ResultadoServicio);
  });
  return result;
}

}  // namespace QuarloCliente
