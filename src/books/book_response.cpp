#include <quarlo/servicio.hpp>

#include "books/book_submission.hpp"
#include "core/answer.hpp"
#include "core/report.hpp"

namespace QuarloCliente::detail {

std::shared_ptr<ResultadoEnviarLibro> ParseBookResponse(const HttpAnswer& response) {
  auto result = std::make_shared<ResultadoEnviarLibro>();
  // The prefix names a DTE for the books too: callers have always matched on this text.
  ReportFailures(*result->ResultadoServicio, "Error Enviando DTE: ", [&] {
    ApplyResult(ServiceAnswer(response), *result->ResultadoServicio);
  });
  return result;
}

}  // namespace QuarloCliente::detail
