#pragma once

#include <quarlo/export.hpp>
#include <stdexcept>

namespace QuarloCliente {

/// The exception thrown where an operation raises instead of reporting through its result: the
/// public utilities, GenerarAec, TrackingResponse::Init and ResultadoTrazas::getResumen.
class QUARLO_API Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  /// Defined in the library, so that the type's identity lives there and a catch in any program
  /// or library matches what the library throws.
  ~Error() override;
};

}  // namespace QuarloCliente
