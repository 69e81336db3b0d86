#pragma once

// enviar's work on one file: read it, tell what it holds, load it into its binding and submit it
// with the operation that fits, and describe the outcome as one record.

#include <memory>
#include <quarlo/binding_context.hpp>
#include <quarlo/resultados.hpp>
#include <quarlo/servicio.hpp>
#include <stdexcept>
#include <string>

#include "output.hpp"

namespace QuarloCli {

// What every file of one run is sent with.
struct SendSettings {
  std::string ambiente = "T";
  bool autofoliado = false;
  // The resolution a document travels with; books and folio reports take their cover's.
  std::string fechaResolucion;
  QuarloCliente::Integer numeroResolucion = 0;
  // grafico, fuente or ninguno: the barcode asked of the service and written beside the TED.
  std::string pdf417 = "ninguno";
  QuarloCliente::Integer tipoPdf417 = 1;
  // Where each accepted document's TED (and its barcode, when asked) is written; "" for nowhere.
  std::string carpetaSalida;
  // Strict loading and no prefixes, whatever a caller's process-wide context holds.
  std::shared_ptr<QuarloCliente::BindingContext> binding =
      std::make_shared<QuarloCliente::BindingContext>();
};

// What a file holds, told by its root element and, for a DTE, its TipoDTE.
enum class FileClass { Dte, Boleta, Consumo, LibroCompraVenta, LibroGuia, LibroBoleta };

// A file that cannot be sent as it is: unreadable, not XML, of an unknown kind, refused by its
// schema. Its text says why, in Spanish.
class LocalFault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole content of a file; LocalFault when it cannot be read or is a folder.
QuarloCliente::Bytes ReadWholeFile(const std::string& path);
// The class of a file's bytes, from a look at its first element and the first TipoDTE; LocalFault
// when the bytes hold no element or an element enviar does not send.
FileClass Classify(const QuarloCliente::Bytes& bytes);
// True for the classes that need the resolution from the options or the environment.
bool NeedsResolution(FileClass fileClass);

// One file's outcome: the record to show and the failure kind it counts as.
struct SentFile {
  Record record;
  QuarloCliente::TipoFallo fallo;
};

// Reads, loads and submits one file; a file at fault gives a local failure naming why. Never
// throws for the file's sake.
SentFile SendFile(QuarloCliente::Servicio& servicio, const std::string& path,
                  const SendSettings& settings);

// Submits a DTE or a boleta, filling rut, tipo and folio (the assigned one with autofoliado).
QuarloCliente::TipoFallo SendDocument(QuarloCliente::Servicio& servicio, FileClass fileClass,
                                      const QuarloCliente::Bytes& bytes,
                                      const SendSettings& settings, Record& record);
// Submits a folio report or a book with its cover's parameters, filling rut and tipo.
QuarloCliente::TipoFallo SendBook(QuarloCliente::Servicio& servicio, FileClass fileClass,
                                  const QuarloCliente::Bytes& bytes, const SendSettings& settings,
                                  Record& record);

}  // namespace QuarloCli
