#pragma once

#include <exception>
#include <quarlo/resultados.hpp>
#include <string>
#include <string_view>
#include <utility>

#include "core/failure.hpp"
#include "core/secrets.hpp"

namespace QuarloCliente::detail {

// Runs `work` and records what it throws: SetError with the prefix followed by the description,
// and the kind of a Failure, or, for any other error, the kind its moment tells (see
// AnswerScope). Whatever the description holds at the end, no secret is left in it.
template <typename Work>
void RecordFailures(ResultadoServicio& status, std::string_view prefix, bool answerInHand,
                    Work&& work) {
  const SecretsScope secrets;
  const AnswerScope answers(answerInHand);
  try {
    work();
  } catch (const Failure& e) {
    status.SetError(std::string(prefix) + e.what(), e.Kind());
  } catch (const std::exception& e) {
    status.SetError(std::string(prefix) + e.what(), answers.KindOfUntyped());
  } catch (...) {
    status.SetError(std::string(prefix) + "error inesperado", answers.KindOfUntyped());
  }
  status.Descripcion = secrets.Mask(std::move(status.Descripcion));
}

// Runs an operation's work and turns anything it throws into SetError with the operation's fixed
// prefix followed by the error's description, and the failure's kind, so that no operation ever
// throws to its caller. `status` must outlive `work`: work may fill it, never replace it.
template <typename Work>
void ReportFailures(ResultadoServicio& status, std::string_view prefix, Work&& work) {
  RecordFailures(status, prefix, false, std::forward<Work>(work));
}

// The same for work that only reads what the service already sent (a retrieved document, a
// list of acknowledgements): an error without a kind is the answer's, RespuestaInvalida.
template <typename Work>
void ReportAnswerFailures(ResultadoServicio& status, std::string_view prefix, Work&& work) {
  RecordFailures(status, prefix, true, std::forward<Work>(work));
}

}  // namespace QuarloCliente::detail
