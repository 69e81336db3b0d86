#pragma once

#include <stdexcept>

namespace QuarloCliente {

/// The exception thrown where an operation raises instead of reporting through its result: the
/// public utilities, GenerarAec, TrackingResponse::Init and ResultadoTrazas::getResumen.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace QuarloCliente
