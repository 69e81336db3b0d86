#pragma once

#include <exception>
#include <quarlo/resultados.hpp>
#include <string>
#include <string_view>

namespace QuarloCliente::detail {

// Runs an operation's work and turns anything it throws into SetError with the operation's fixed
// prefix followed by the error's description, so that no operation ever throws to its caller.
template <typename Work>
void ReportFailures(ResultadoServicio& status, std::string_view prefix, Work&& work) {
  try {
    work();
  } catch (const std::exception& e) {
    status.SetError(std::string(prefix) + e.what());
  } catch (...) {
    status.SetError(std::string(prefix) + "error inesperado");
  }
}

}  // namespace QuarloCliente::detail
