#include "contingency/outcome.hpp"

namespace QuarloCliente::detail {

DeliveryOutcome ClassifyResult(const ResultadoServicio& result) {
  switch (result.Fallo) {
    case TipoFallo::Ninguno:
      return DeliveryOutcome::Accepted;
    case TipoFallo::RechazoServicio:
      return DeliveryOutcome::Refused;
    case TipoFallo::SinConexion:
      return DeliveryOutcome::NotSent;
    case TipoFallo::ErrorLocal:
      return DeliveryOutcome::LocalError;
    case TipoFallo::FalloTransporte:
    case TipoFallo::ErrorServidor:
    case TipoFallo::TiempoAgotado:
    case TipoFallo::RespuestaInvalida:
      break;
  }
  // Whatever broke after the request left may have let it arrive.
  return DeliveryOutcome::Uncertain;
}

std::string FailureKindName(const ResultadoServicio& result) {
  return NombreFallo(result.Fallo);
}

}  // namespace QuarloCliente::detail
