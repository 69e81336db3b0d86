#include <initializer_list>
#include <optional>
#include <quarlo/servicio.hpp>
#include <string_view>

#include "core/answer.hpp"
#include "core/book_period.hpp"
#include "core/report.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kVoidPrefix = "Error obteniendo estado fiscal: ";
constexpr std::string_view kDeletePrefix = "Error consultando servicio: ";
constexpr std::string_view kBookPrefix = "Error obteniendo estado fiscal Libro: ";

// Voiding and unvoiding differ only in their path; on success the service's Status replaces
// the result code, because the caller wants the document's new state.
std::shared_ptr<ResultadoServicio> ChangeVoidState(
    Servicio& servicio, std::string_view path, std::initializer_list<std::string_view> segments) {
  auto result = std::make_shared<ResultadoServicio>();
  detail::ReportFailures(*result, kVoidPrefix, [&] {
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(servicio), path, segments);
    const detail::ServiceAnswer answer(detail::ServicioAccess::Get(servicio, url));
    if (!detail::ApplyResult(answer, *result)) return;
    result->Estado = answer.Text("Status");
  });
  return result;
}

}  // namespace

std::shared_ptr<ResultadoServicio> Servicio::AnularDocumento(const std::string& ambiente,
                                                             const std::string& rut,
                                                             const std::string& tipoDocumento,
                                                             const std::string& folio,
                                                             const std::string& Comentario) {
  return ChangeVoidState(*this, "/VoidDocument/",
                         {ambiente, rut, tipoDocumento, folio, Comentario});
}

std::shared_ptr<ResultadoServicio> Servicio::DesanularDocumento(const std::string& ambiente,
                                                                const std::string& rut,
                                                                const std::string& tipoDocumento,
                                                                const std::string& folio,
                                                                const std::string& Comentario) {
  return ChangeVoidState(*this, "/UnVoidDocument/",
                         {ambiente, rut, tipoDocumento, folio, Comentario});
}

std::shared_ptr<ResultadoServicio> Servicio::EliminarDocumento(const std::string& ambiente,
                                                               const std::string& rut,
                                                               const std::string& tipoDocumento,
                                                               const std::string& folio) {
  auto result = std::make_shared<ResultadoServicio>();
  detail::ReportFailures(*result, kDeletePrefix, [&] {
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/DeleteDocument/",
                           {ambiente, rut, tipoDocumento, folio});
    const detail::ServiceAnswer answer(detail::ServicioAccess::Get(*this, url));
    detail::CopyResult(answer, *result);
  });
  return result;
}

std::shared_ptr<ResultadoServicio> Servicio::EliminarLibro(const std::string& ambiente,
                                                           const std::string& rutEmisor,
                                                           const std::string& tipoDte,
                                                           const std::string& tipoLibro,
                                                           const BindingDateTime& periodo) {
  auto failure = std::make_shared<ResultadoServicio>();
  std::optional<std::string> folio;
  detail::ReportFailures(*failure, kBookPrefix, [&] {
    folio = detail::BookPeriodCode(tipoLibro, TipoLibro_Mensual, TipoLibro_Especial, periodo);
  });
  if (!folio) return failure;
  return EliminarDocumento(ambiente, rutEmisor, tipoDte, *folio);
}

}  // namespace QuarloCliente
