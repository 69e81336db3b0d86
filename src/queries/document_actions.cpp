#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>

#include "core/answer.hpp"
#include "core/failure.hpp"
#include "core/report.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"
#include "queries/queries.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kErrorPdf = "Error recuperando el PDF del documento: ";
constexpr std::string_view kErrorImpresion = "Error Enviando Solicitud de impresion: ";

}  // namespace

std::shared_ptr<ResultadoRecuperarPDF> Servicio::RecuperarPDF(const std::string& ambiente,
                                                              const std::string& grupo,
                                                              const std::string& rut,
                                                              const std::string& tipoDocumento,
                                                              const std::string& folio) {
  auto result = std::make_shared<ResultadoRecuperarPDF>();
  detail::ReportFailures(*result->ResultadoServicio, kErrorPdf, [&] {
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/RecoverPDF_V2/",
                           {ambiente, grupo, rut, tipoDocumento, folio});
    const detail::ServiceAnswer answer(detail::ServicioAccess::Get(*this, url));
    if (!detail::ApplyResult(answer, *result->ResultadoServicio)) return;
    const std::string data = answer.Text("Data");
    if (detail::IsMissingPayload(data)) {
      throw detail::Failure(
          TipoFallo::RechazoServicio,
          "No fue posible recuperar el PDF del documento. " + answer.Description());
    }
    result->Datos = data;
  });
  return result;
}

std::shared_ptr<ResultadoImprimir> Servicio::Imprimir(const std::string& rutEmisor,
                                                      const std::string& folio,
                                                      const std::string& tipoDte,
                                                      const std::string& Impresora,
                                                      const std::string& ambiente) {
  auto result = std::make_shared<ResultadoImprimir>();
  detail::ReportFailures(*result->ResultadoServicio, kErrorImpresion, [&] {
    const std::string url = detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/Print/",
                                               {ambiente, rutEmisor, tipoDte, folio, Impresora});
    const detail::ServiceAnswer answer(detail::ServicioAccess::Get(*this, url));
    result->Printed = detail::ApplyResult(answer, *result->ResultadoServicio);
  });
  return result;
}

std::shared_ptr<ResultadoConfirmacion> Servicio::ConfirmarDocumento(const std::string& rutEmisor,
                                                                    const std::string& folio,
                                                                    const std::string& tipoDte,
                                                                    const std::string& ambiente) {
  auto result = std::make_shared<ResultadoConfirmacion>();
  detail::ReportFailures(*result->ResultadoServicio, detail::kErrorConsultando, [&] {
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/ConfirmDocument/",
                           {ambiente, rutEmisor, tipoDte, folio});
    const detail::ServiceAnswer answer(detail::ServicioAccess::Get(*this, url));
    if (!detail::ApplyResult(answer, *result->ResultadoServicio)) return;
    result->Estado = answer.Text("Status");
  });
  return result;
}

}  // namespace QuarloCliente
