#pragma once

#include <quarlo/resultados.hpp>
#include <string>

namespace QuarloCliente::detail {

// What an answer means for an item of the outbox.
enum class DeliveryOutcome {
  Accepted,    // the service took it (or, for a question, holds it)
  Refused,     // the service answered no
  NotSent,     // nothing left this machine: the service could not be reached
  Uncertain,   // the exchange broke after the request may have arrived
  LocalError,  // the library refused before sending: retrying cannot help
};

// The outcome of a result, told apart by its failure kind alone, never by its text.
DeliveryOutcome ClassifyResult(const ResultadoServicio& result);
// The failure kind's name as recorded in an item's history.
std::string FailureKindName(const ResultadoServicio& result);

}  // namespace QuarloCliente::detail
