#include <quarlo/resultados.hpp>

#include "core/base64.hpp"

namespace QuarloCliente {

void ResultadoServicio::SetError(const std::string& mensaje) {
  Estado = "1";
  Descripcion = mensaje;
}

Bytes ResultadoEnviarDocumento::GetPdf417ComoBytes() const {
  return detail::DecodeBase64(Pdf417);
}

Bytes ResultadoRecuperarPDF::GetDatosComoBytes() const {
  return detail::DecodeBase64(Datos);
}

}  // namespace QuarloCliente
