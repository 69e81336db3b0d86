#include <quarlo/binding_libros.hpp>
#include <quarlo/servicio.hpp>

#include "books/book_submission.hpp"
#include "core/request_body.hpp"

namespace QuarloCliente {

namespace {

// What tells the two twin books apart on the way to the service.
struct TwinBook {
  std::string_view path;
  std::string_view root;
  std::string_view errorPrefix;
};

constexpr TwinBook kLibroGuia{"/SendLibroGuia", "SendLibroGuiaRequest",
                              "Error Enviando LibroGuia: "};
constexpr TwinBook kLibroBoleta{"/SendLibroBoleta", "SendLibroBoletaRequest",
                                "Error Enviando LibroBoleta: "};

// The request fields of the twin books, in the order the service reads them.
struct TwinBookFields {
  const std::string& ambiente;
  const std::string& fechaResolucion;
  Integer numeroResolucion;
  const std::string& rutEmisor;
  const std::string& periodoTributario;
  const std::string& tipoLibro;
  const std::string& tipoEnvio;
  Integer nroSegmento;
  Integer folioNotificacion;
};

// Only the envelope is stamped: these books travel with the caller's own cover and time stamp,
// and unsigned.
template <class Libro>
std::string TwinBookContent(Libro& libro) {
  libro.SetVersion(BindingDecimal("1.0"));
  libro.EnvioLibro()->SetID("ID_1");
  return detail::BookContent(libro);
}

template <class Libro>
std::optional<detail::HttpAnswer> PostTwinBook(Servicio& servicio, const TwinBook& book,
                                               ResultadoServicio& status,
                                               const std::shared_ptr<Libro>& documento,
                                               const TwinBookFields& fields) {
  return detail::PostBook(servicio, status, book.errorPrefix, book.path, [&] {
    const std::string content = TwinBookContent(detail::RequireBook(documento));
    return detail::WriteRequestBody(
        book.root, {{"Environment", fields.ambiente},
                    {"Content", content},
                    {"ResolutionDate", fields.fechaResolucion},
                    {"ResolutionNumber", detail::Decimal(fields.numeroResolucion)},
                    {"RutEmisorLibro", fields.rutEmisor},
                    {"PeriodoTributario", fields.periodoTributario},
                    {"TipoLibro", fields.tipoLibro},
                    {"TipoEnvio", fields.tipoEnvio},
                    {"NroSegmento", detail::Decimal(fields.nroSegmento)},
                    {"FolioNotificacion", detail::Decimal(fields.folioNotificacion)}});
  });
}

}  // namespace

std::shared_ptr<ResultadoEnviarLibro> Servicio::EnviarLibroGuia(
    const std::shared_ptr<LibroGuiaBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
    const std::string& periodoTributario, const std::string& tipoLibro, Integer folioNotificacion) {
  return EnviarLibroGuia2(Documento, ambiente, fechaResolucion, numeroResolucion, rutEmisor,
                          periodoTributario, tipoLibro, "", folioNotificacion);
}

std::shared_ptr<ResultadoEnviarLibro> Servicio::EnviarLibroGuia2(
    const std::shared_ptr<LibroGuiaBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
    const std::string& periodoTributario, const std::string& tipoLibro,
    const std::string& tipoEnvio, Integer folioNotificacion) {
  return EnviarLibroGuia3(Documento, ambiente, fechaResolucion, numeroResolucion, rutEmisor,
                          periodoTributario, tipoLibro, tipoEnvio, 0, folioNotificacion);
}

std::shared_ptr<ResultadoEnviarLibro> Servicio::EnviarLibroGuia3(
    const std::shared_ptr<LibroGuiaBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
    const std::string& periodoTributario, const std::string& tipoLibro,
    const std::string& tipoEnvio, Integer nroSegmento, Integer folioNotificacion) {
  auto result = std::make_shared<ResultadoEnviarLibro>();
  const auto answer =
      PostTwinBook(*this, kLibroGuia, *result->ResultadoServicio, Documento,
                   {ambiente, fechaResolucion, numeroResolucion, rutEmisor, periodoTributario,
                    tipoLibro, tipoEnvio, nroSegmento, folioNotificacion});
  return answer ? detail::ParseBookResponse(*answer) : result;
}

std::shared_ptr<ResultadoEnviarLibro> Servicio::EnviarLibroBoleta(
    const std::shared_ptr<LibroBoletaBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
    const std::string& periodoTributario, const std::string& tipoLibro, Integer folioNotificacion) {
  return EnviarLibroBoleta2(Documento, ambiente, fechaResolucion, numeroResolucion, rutEmisor,
                            periodoTributario, tipoLibro, "", folioNotificacion);
}

std::shared_ptr<ResultadoEnviarLibro> Servicio::EnviarLibroBoleta2(
    const std::shared_ptr<LibroBoletaBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
    const std::string& periodoTributario, const std::string& tipoLibro,
    const std::string& tipoEnvio, Integer folioNotificacion) {
  return EnviarLibroBoleta3(Documento, ambiente, fechaResolucion, numeroResolucion, rutEmisor,
                            periodoTributario, tipoLibro, tipoEnvio, 0, folioNotificacion);
}

std::shared_ptr<ResultadoEnviarLibro> Servicio::EnviarLibroBoleta3(
    const std::shared_ptr<LibroBoletaBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
    const std::string& periodoTributario, const std::string& tipoLibro,
    const std::string& tipoEnvio, Integer nroSegmento, Integer folioNotificacion) {
  auto result = std::make_shared<ResultadoEnviarLibro>();
  const auto answer =
      PostTwinBook(*this, kLibroBoleta, *result->ResultadoServicio, Documento,
                   {ambiente, fechaResolucion, numeroResolucion, rutEmisor, periodoTributario,
                    tipoLibro, tipoEnvio, nroSegmento, folioNotificacion});
  return answer ? detail::ParseBookResponse(*answer) : result;
}

}  // namespace QuarloCliente
