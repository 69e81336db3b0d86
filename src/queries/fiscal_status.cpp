#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>
#include <type_traits>
#include <variant>

#include "core/answer.hpp"
#include "core/book_period.hpp"
#include "core/report.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"
#include "queries/queries.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kErrorEstadoFiscal = "Error obteniendo estado fiscal: ";
// Consumo de Folios shares the books' prefix: callers already match on this text.
constexpr std::string_view kErrorEstadoFiscalLibro = "Error obteniendo estado fiscal Libro: ";

// The group as a path segment: text as it stands, nothing for a never-assigned value. Any other
// kind is refused rather than written in some format the service would misread.
std::string GroupSegment(const Variant& grupo) {
  return std::visit(
      [](const auto& value) -> std::string {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return {};
        } else if constexpr (std::is_same_v<T, std::string>) {
          return value;
        } else if constexpr (std::is_same_v<T, Null>) {
          throw Error("uso no válido de Null: el grupo debe ser texto");
        } else if constexpr (std::is_same_v<T, bool>) {
          throw Error("tipos no coinciden: el grupo debe ser texto, no un valor Boolean");
        } else if constexpr (std::is_same_v<T, Date>) {
          throw Error("tipos no coinciden: el grupo debe ser texto, no una fecha");
        } else if constexpr (std::is_same_v<T, Bytes>) {
          throw Error("tipos no coinciden: el grupo debe ser texto, no un arreglo de bytes");
        } else {
          throw Error("tipos no coinciden: el grupo debe ser texto, no un número");
        }
      },
      grupo.value());
}

}  // namespace

std::shared_ptr<ResultadoEstadoFiscal> Servicio::EstadoFiscal(const std::string& ambiente,
                                                              const Variant& grupo,
                                                              const std::string& rut,
                                                              const std::string& tipoDocumento,
                                                              const std::string& folio) {
  auto result = std::make_shared<ResultadoEstadoFiscal>();
  detail::ReportFailures(*result->ResultadoServicio, kErrorEstadoFiscal, [&] {
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/FiscalStatus/",
                           {ambiente, GroupSegment(grupo), rut, tipoDocumento, folio});
    const detail::ServiceAnswer answer(detail::ServicioAccess::Get(*this, url));
    if (!detail::ApplyResult(answer, *result->ResultadoServicio)) return;
    result->Estado = answer.Text("Status");
    result->IdSeguimiento = answer.Text("TrackId");
    result->Comentarios = answer.Text("Data");
  });
  return result;
}

std::shared_ptr<ResultadoEstadoFiscal> Servicio::EstadoFiscalLibro(const std::string& rutEmisor,
                                                                   const std::string& tipoDte,
                                                                   const std::string& ambiente,
                                                                   const std::string& tipoLibro,
                                                                   const BindingDateTime& periodo) {
  auto failure = std::make_shared<ResultadoEstadoFiscal>();
  std::string folio;
  detail::ReportFailures(*failure->ResultadoServicio, kErrorEstadoFiscalLibro, [&] {
    folio = detail::BookPeriodCode(tipoLibro, TipoLibro_Mensual, TipoLibro_Especial, periodo);
  });
  if (failure->ResultadoServicio->Estado != "0") return failure;
  return EstadoFiscal(ambiente, Grupo_Emitido, rutEmisor, tipoDte, folio);
}

std::shared_ptr<ResultadoEstadoFiscal> Servicio::EstadoFiscalConsumoFolios(
    const std::string& rutEmisor, const std::string& ambiente, Date fecha) {
  auto failure = std::make_shared<ResultadoEstadoFiscal>();
  std::string folio;
  detail::ReportFailures(*failure->ResultadoServicio, kErrorEstadoFiscalLibro,
                         [&] { folio = FormatDate(fecha, "yyyyMMdd"); });
  if (failure->ResultadoServicio->Estado != "0") return failure;
  return EstadoFiscal(ambiente, Grupo_Emitido, rutEmisor, std::string(detail::kTipoConsumoFolios),
                      folio);
}

}  // namespace QuarloCliente
