// enviar's folio reports and books: each is sent with the parameters its own cover states.

#include <limits>
#include <quarlo/binding.hpp>

#include "send_files.hpp"

namespace QuarloCli {

using QuarloCliente::Integer;
using QuarloCliente::TipoFallo;

namespace {

// A cover's number as the service's 16-bit field; LocalFault when it does not fit.
Integer CoverNumber(const QuarloCliente::BindingElement& caratula, const std::string& name,
                    Integer absent) {
  if (!caratula.Has(name)) return absent;
  const std::int64_t value = caratula.GetInteger(name).ToInt64();
  if (value < 0 || value > std::numeric_limits<Integer>::max()) {
    // The service's fields are 16-bit: a larger number cannot be sent as it stands.
    throw LocalFault(name + " " + std::to_string(value) +
                     " de la carátula no cabe en el campo del servicio (de 0 a 32767)");
  }
  return static_cast<Integer>(value);
}

// A cover's optional text, "" when absent.
std::string CoverText(const QuarloCliente::BindingElement& caratula, const std::string& name) {
  return caratula.Has(name) ? caratula.Get(name) : std::string();
}

// What a book's cover says, read before the submission overwrites the cover with placeholders.
struct BookCover {
  std::string rut;
  std::string periodo;
  std::string fechaResolucion;
  Integer numeroResolucion = 0;
  std::string tipoOperacion;
  std::string tipoLibro;
  std::string tipoEnvio;
  Integer nroSegmento = 0;
  Integer folioNotificacion = 0;
  std::string codAutRec;
};

BookCover ReadCover(const QuarloCliente::CaratulaLibro& caratula) {
  BookCover cover;
  cover.rut = caratula.RutEmisorLibro();
  cover.periodo = caratula.PeriodoTributario().Format("s");
  cover.fechaResolucion = caratula.FchResol().Format("s");
  cover.numeroResolucion = CoverNumber(caratula, "NroResol", 0);
  cover.tipoOperacion = CoverText(caratula, "TipoOperacion");
  cover.tipoLibro = caratula.TipoLibro();
  cover.tipoEnvio = CoverText(caratula, "TipoEnvio");
  cover.nroSegmento = CoverNumber(caratula, "NroSegmento", 0);
  cover.folioNotificacion = CoverNumber(caratula, "FolioNotificacion", 0);
  cover.codAutRec = CoverText(caratula, "CodAutRec");
  return cover;
}

using BookResult = std::shared_ptr<QuarloCliente::ResultadoEnviarLibro>;

BookResult Submit(QuarloCliente::Servicio& s,
                  const std::shared_ptr<QuarloCliente::LibroCompraVentaBinding>& libro,
                  const std::string& ambiente, const BookCover& c) {
  return s.EnviarLibroCompraVenta3(libro, ambiente, c.fechaResolucion, c.numeroResolucion, c.rut,
                                   c.periodo, c.tipoOperacion, c.tipoLibro, c.tipoEnvio,
                                   c.nroSegmento, c.folioNotificacion, c.codAutRec);
}

BookResult Submit(QuarloCliente::Servicio& s,
                  const std::shared_ptr<QuarloCliente::LibroGuiaBinding>& libro,
                  const std::string& ambiente, const BookCover& c) {
  return s.EnviarLibroGuia3(libro, ambiente, c.fechaResolucion, c.numeroResolucion, c.rut,
                            c.periodo, c.tipoLibro, c.tipoEnvio, c.nroSegmento,
                            c.folioNotificacion);
}

BookResult Submit(QuarloCliente::Servicio& s,
                  const std::shared_ptr<QuarloCliente::LibroBoletaBinding>& libro,
                  const std::string& ambiente, const BookCover& c) {
  return s.EnviarLibroBoleta3(libro, ambiente, c.fechaResolucion, c.numeroResolucion, c.rut,
                              c.periodo, c.tipoLibro, c.tipoEnvio, c.nroSegmento,
                              c.folioNotificacion);
}

// tipo is the book's kind as the book status query names it: VENTA or COMPRA, GUIA, BOLETA.
template <class Binding>
TipoFallo SendLibro(QuarloCliente::Servicio& servicio, const QuarloCliente::Bytes& bytes,
                    const SendSettings& settings, const std::string& tipo, Record& record) {
  auto libro = std::make_shared<Binding>();
  libro->Load(bytes, settings.binding);
  const BookCover cover = ReadCover(*libro->EnvioLibro()->Caratula());
  record.Field("rut", cover.rut).Field("tipo", tipo.empty() ? cover.tipoOperacion : tipo);
  const BookResult result = Submit(servicio, libro, settings.ambiente, cover);
  record.Outcome(*result->ResultadoServicio);
  return result->ResultadoServicio->Fallo;
}

TipoFallo SendConsumo(QuarloCliente::Servicio& servicio, const QuarloCliente::Bytes& bytes,
                      const SendSettings& settings, Record& record) {
  auto consumo = std::make_shared<QuarloCliente::ConsumoFoliosBinding>();
  consumo->Load(bytes, settings.binding);
  const auto caratula = consumo->DocumentoConsumoFolios()->Caratula();
  const std::string rut = caratula->RutEmisor();
  record.Field("rut", rut);
  const BookResult result = servicio.EnviarConsumoFolio3(
      consumo, settings.ambiente, caratula->FchResol().Format("s"),
      CoverNumber(*caratula, "NroResol", 0), rut, caratula->FchInicio().Format("s"),
      caratula->FchFinal().Format("s"), CoverNumber(*caratula, "Correlativo", 1),
      CoverNumber(*caratula, "SecEnvio", 1));
  record.Outcome(*result->ResultadoServicio);
  return result->ResultadoServicio->Fallo;
}

}  // namespace

TipoFallo SendBook(QuarloCliente::Servicio& servicio, FileClass fileClass,
                   const QuarloCliente::Bytes& bytes, const SendSettings& settings,
                   Record& record) {
  switch (fileClass) {
    case FileClass::Consumo:
      return SendConsumo(servicio, bytes, settings, record);
    case FileClass::LibroCompraVenta:
      return SendLibro<QuarloCliente::LibroCompraVentaBinding>(servicio, bytes, settings, "",
                                                               record);
    case FileClass::LibroGuia:
      return SendLibro<QuarloCliente::LibroGuiaBinding>(servicio, bytes, settings, "GUIA", record);
    case FileClass::LibroBoleta:
      return SendLibro<QuarloCliente::LibroBoletaBinding>(servicio, bytes, settings, "BOLETA",
                                                          record);
    case FileClass::Dte:
    case FileClass::Boleta:
      break;
  }
  throw LocalFault("no es un libro ni un consumo de folios");
}

}  // namespace QuarloCli
