#include <quarlo/resultados.hpp>

#include "core/base64.hpp"

namespace QuarloCliente {

std::string NombreFallo(TipoFallo fallo) {
  switch (fallo) {
    case TipoFallo::Ninguno:
      return "ninguno";
    case TipoFallo::RechazoServicio:
      return "rechazo del servicio";
    case TipoFallo::SinConexion:
      return "sin conexión";
    case TipoFallo::FalloTransporte:
      return "fallo de transporte";
    case TipoFallo::ErrorServidor:
      return "error del servidor";
    case TipoFallo::TiempoAgotado:
      return "tiempo agotado";
    case TipoFallo::RespuestaInvalida:
      return "respuesta inválida";
    case TipoFallo::ErrorLocal:
      return "error local";
  }
  return "desconocido";
}

void ResultadoServicio::SetError(const std::string& mensaje, TipoFallo fallo) {
  Estado = "1";
  Descripcion = mensaje;
  Fallo = fallo == TipoFallo::Ninguno ? TipoFallo::ErrorLocal : fallo;
}

void ResultadoServicio::SetError(const std::string& mensaje) {
  SetError(mensaje, TipoFallo::ErrorLocal);
}

Bytes ResultadoEnviarDocumento::GetPdf417ComoBytes() const {
  return detail::DecodeBase64(Pdf417);
}

Bytes ResultadoRecuperarPDF::GetDatosComoBytes() const {
  return detail::DecodeBase64(Datos);
}

}  // namespace QuarloCliente
