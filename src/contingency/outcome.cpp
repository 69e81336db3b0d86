#include "contingency/outcome.hpp"

namespace QuarloCliente::detail {

// Until results carry their failure kind, any failure may have happened after the request
// arrived: the item waits and the service is asked before any resend, never resent blind.
DeliveryOutcome ClassifyResult(const ResultadoServicio& result) {
  return result.Estado == "0" ? DeliveryOutcome::Accepted : DeliveryOutcome::Uncertain;
}

std::string FailureKindName(const ResultadoServicio& result) {
  return result.Estado == "0" ? "Ninguno" : "Desconocido";
}

}  // namespace QuarloCliente::detail
