#pragma once

#include <memory>
#include <quarlo/export.hpp>
#include <quarlo/resultados.hpp>
#include <quarlo/types.hpp>
#include <string>
#include <vector>

namespace QuarloCliente {

/// One state of a document's processing history.
class QUARLO_API TrackingEstadoTrack {
 public:
  std::string timeStampField;
  Integer codigoField = 0;
  std::string estadoField;
  std::string comentarioField;
  std::string trackIdField;
};

/// A document's processing history, parsed from the tracking XML.
class QUARLO_API TrackingResponse {
 public:
  /// The id attribute of the Tracking element; 0 until Init reads one.
  Long idField = 0;

  /// Reads the tracking XML: idField from the first Tracking element's id, and one
  /// TrackingEstadoTrack per EstadoTrack element, in document order. Does nothing for "". Throws
  /// Error for a missing or non-numeric id (leaving everything as it was) and for a Codigo that is
  /// not a 16-bit number (the states before it are kept).
  void Init(const std::string& xmlString);
  /// Replaces the states with a copy of the given array (the same state objects).
  void setEstadoTrackArray(const std::vector<std::shared_ptr<TrackingEstadoTrack>>& estadoArray);
  /// A copy of the states array (the same state objects); empty for a new TrackingResponse.
  std::vector<std::shared_ptr<TrackingEstadoTrack>> getEstadoTrackArray() const;

 private:
  std::vector<std::shared_ptr<TrackingEstadoTrack>> estados_;
};

/// The answer to ObtenerTracking: the tracking XML as the service sent it.
class QUARLO_API ResultadoTrazas {
 public:
  std::shared_ptr<QuarloCliente::ResultadoServicio> ResultadoServicio =
      std::make_shared<QuarloCliente::ResultadoServicio>();
  std::string Datos;

  /// A new TrackingResponse built from Datos (kept as the latest summary); throws Error as
  /// TrackingResponse::Init does. Each call returns a distinct object.
  std::shared_ptr<TrackingResponse> getResumen();

 private:
  std::shared_ptr<TrackingResponse> resumen_;
};

/// The acknowledgements of receipt of one document: the list's XML and one XML text per
/// acknowledgement.
class QUARLO_API ResultadoRecuperarListACK {
 public:
  std::shared_ptr<QuarloCliente::ResultadoRecuperarXML> ResultadoRecuperarXML =
      std::make_shared<QuarloCliente::ResultadoRecuperarXML>();
  /// One acknowledgement's XML per ack element, in document order; nullptr until SetData runs.
  std::shared_ptr<std::vector<std::string>> AcusesRecibo;

  /// Takes resultadoXml as ResultadoRecuperarXML (the object itself) and splits its Datos into
  /// AcusesRecibo; a failure is recorded in its status, keeping the acknowledgements before it.
  void SetData(const std::shared_ptr<QuarloCliente::ResultadoRecuperarXML>& resultadoXml);
  /// The bytes a Base64 text stands for; throws Error when it is not valid Base64.
  Bytes DecodeBase64(const std::string& text) const;
};

}  // namespace QuarloCliente
