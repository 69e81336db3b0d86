#pragma once

#include <memory>
#include <quarlo/export.hpp>
#include <quarlo/types.hpp>
#include <string>

namespace QuarloCliente {

/// Why an operation failed; Ninguno while Estado is "0".
enum class TipoFallo {
  Ninguno,          // success
  RechazoServicio,  // the service answered and refused (Result not 0, or an HTTP 4xx)
  SinConexion,      // no connection was made (refused, unresolvable, unreachable): nothing was sent
  FalloTransporte,  // the connection failed after it was made: the request may have arrived
  ErrorServidor,    // HTTP 5xx
  TiempoAgotado,    // a limit of LimitesTransporte ran out: the request may have arrived
  RespuestaInvalida,  // an answer came but is not a readable answer of the operation
  ErrorLocal,         // refused before sending: argument, file, or document at fault
};

/// The kind's name in Spanish for logs and messages ("rechazo del servicio", "sin conexión", ...);
/// "desconocido" for a value outside the enumeration.
QUARLO_API std::string NombreFallo(TipoFallo fallo);

/// The status inside every result: Estado "0" success, "1" failure (or the service's own code
/// where an operation says so), the Spanish explanation of a failure and its kind.
class QUARLO_API ResultadoServicio {
 public:
  std::string Estado = "0";
  std::string Descripcion;
  /// Why the operation failed, so that a caller can decide without reading Descripcion whether
  /// to retry and whether the request may have reached the service; Ninguno on success. A
  /// service code other than "0" that an operation keeps in Estado is a RechazoServicio.
  TipoFallo Fallo = TipoFallo::Ninguno;

  /// Sets Estado to "1", Descripcion to mensaje and Fallo to fallo (ErrorLocal when fallo is
  /// Ninguno, which only success carries); the last call wins.
  void SetError(const std::string& mensaje, TipoFallo fallo);
  /// SetError(mensaje, TipoFallo::ErrorLocal): a failure decided by the caller, with nothing from
  /// the service behind it.
  void SetError(const std::string& mensaje);
};

/// The answer to a DTE or boleta submission: the stamped TED and its PDF417 barcode.
class QUARLO_API ResultadoEnviarDocumento {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
  std::string TED;
  std::string Pdf417;

  /// The bytes that Pdf417 holds as Base64 (the barcode image for the graphic type); throws Error
  /// when Pdf417 is not valid Base64. Pdf417 itself is not changed.
  Bytes GetPdf417ComoBytes() const;
};

/// The answer to a book or folio-report submission.
class QUARLO_API ResultadoEnviarLibro {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
};

/// A retrieved PDF, as Base64 text in Datos.
class QUARLO_API ResultadoRecuperarPDF {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
  std::string Datos;

  /// The bytes of the PDF file that Datos holds as Base64; throws Error when Datos is not valid
  /// Base64.
  Bytes GetDatosComoBytes() const;
};

/// The answer to a confirmation: the document's state as the service reports it.
class QUARLO_API ResultadoConfirmacion {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
  std::string Estado;
};

/// The answer to a print request: Printed is true once the service accepted it.
class QUARLO_API ResultadoImprimir {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
  bool Printed = false;
};

/// A fiscal status: the state text, the track id and the service's comments.
class QUARLO_API ResultadoEstadoFiscal {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
  std::string Estado;
  std::string IdSeguimiento;
  std::string Comentarios;
};

/// A retrieved XML document, as text in Datos.
class QUARLO_API ResultadoRecuperarXML {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
  std::string Datos;
};

/// A document's commercial status, with its contact data and recorded claim.
class QUARLO_API ResultadoEstadoComercial {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
  std::string DescripcionEstadoComercial;
  std::string CodigoEstadoComercial;
  std::string NombreContacto;
  std::string TelefonoContacto;
  std::string CorreoContacto;
  std::string observaciones;
  std::string ACKXml;
  std::string ClaimAction;
  std::string Codigo;
  std::string Comentario;
  std::string Estado;
  std::string Responsable;
  std::string TimeStamp;
};

}  // namespace QuarloCliente
