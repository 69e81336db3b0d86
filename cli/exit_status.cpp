#include "exit_status.hpp"

namespace QuarloCli {

namespace {

// Higher is worse; the run's status is the worst seen.
int Weight(int status) {
  switch (status) {
    case kExitLocal:
      return 3;
    case kExitUnreachable:
      return 2;
    case kExitRefused:
      return 1;
    default:
      return 0;
  }
}

}  // namespace

int ExitStatusOf(QuarloCliente::TipoFallo fallo) {
  using QuarloCliente::TipoFallo;
  switch (fallo) {
    case TipoFallo::Ninguno:
      return kExitOk;
    case TipoFallo::RechazoServicio:
      return kExitRefused;
    case TipoFallo::ErrorLocal:
      return kExitLocal;
    case TipoFallo::SinConexion:
    case TipoFallo::FalloTransporte:
    case TipoFallo::ErrorServidor:
    case TipoFallo::TiempoAgotado:
    case TipoFallo::RespuestaInvalida:
      break;
  }
  return kExitUnreachable;
}

void ExitTally::Note(QuarloCliente::TipoFallo fallo) {
  const int status = ExitStatusOf(fallo);
  if (status != kExitOk) ++failures_;
  if (Weight(status) > Weight(status_)) status_ = status;
}

}  // namespace QuarloCli
