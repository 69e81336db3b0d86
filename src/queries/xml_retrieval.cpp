#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>

#include "core/answer.hpp"
#include "core/failure.hpp"
#include "core/payload.hpp"
#include "core/report.hpp"
#include "core/request_body.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"
#include "queries/queries.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kErrorConsumoFolio = "Error obteniendo xml del consumo de folio: ";

}  // namespace

std::shared_ptr<ResultadoRecuperarXML> Servicio::RecuperarXML(
    const std::string& ambiente, const std::string& grupo, const std::string& rut,
    const std::string& tipoDocumento, const std::string& folio, bool esParaDistribucion) {
  auto result = std::make_shared<ResultadoRecuperarXML>();
  detail::ReportFailures(*result->ResultadoServicio, detail::kErrorConsultando, [&] {
    const std::string body = detail::WriteRequestBody(
        "RecoverXMLRequest", {{"Environment", ambiente},
                              {"Group", grupo},
                              {"Rut", rut},
                              {"DocType", tipoDocumento},
                              {"Folio", folio},
                              {"IsForDistribution", detail::TrueFalse(esParaDistribucion)}});
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/RecoverXML_V2");
    const detail::ServiceAnswer answer(detail::ServicioAccess::Post(*this, url, body));
    if (!detail::ApplyResult(answer, *result->ResultadoServicio)) return;
    const std::string data = answer.Text("Data");
    if (detail::IsMissingPayload(data)) {
      throw detail::Failure(
          TipoFallo::RechazoServicio,
          "Documento no encontrado, para " +
              detail::DocumentAddress(ambiente, grupo, rut, tipoDocumento, folio));
    }
    result->Datos = detail::DecodeIsoBase64(data);
  });
  return result;
}

std::shared_ptr<ResultadoRecuperarXML> Servicio::RecuperarXMLConsumoFolios(
    const std::string& ambiente, const std::string& rutEmisor, Date fecha) {
  auto failure = std::make_shared<ResultadoRecuperarXML>();
  std::shared_ptr<ResultadoRecuperarXML> result;
  detail::ReportFailures(*failure->ResultadoServicio, kErrorConsumoFolio, [&] {
    result =
        RecuperarXML(ambiente, Grupo_Emitido, rutEmisor, std::string(detail::kTipoConsumoFolios),
                     FormatDate(fecha, "yyyyMMdd"), false);
  });
  return result ? result : failure;
}

}  // namespace QuarloCliente
