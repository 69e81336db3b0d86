#pragma once

#include <exception>
#include <quarlo/resultados.hpp>
#include <string>
#include <string_view>

#include "core/secrets.hpp"

namespace QuarloCliente::detail {

// Runs an operation's work and turns anything it throws into SetError with the operation's fixed
// prefix followed by the error's description, so that no operation ever throws to its caller.
// Whatever the description holds at the end, no secret of the operation's exchanges is left in it.
// `status` must outlive `work`: work may fill it, never replace it.
template <typename Work>
void ReportFailures(ResultadoServicio& status, std::string_view prefix, Work&& work) {
  const SecretsScope secrets;
  try {
    work();
  } catch (const std::exception& e) {
    status.SetError(std::string(prefix) + e.what());
  } catch (...) {
    status.SetError(std::string(prefix) + "error inesperado");
  }
  status.Descripcion = secrets.Mask(std::move(status.Descripcion));
}

}  // namespace QuarloCliente::detail
