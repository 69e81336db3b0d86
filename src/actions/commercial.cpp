#include <iterator>
#include <quarlo/servicio.hpp>
#include <string_view>
#include <utility>

#include "core/answer.hpp"
#include "core/report.hpp"
#include "core/request_body.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kResponsePrefix = "Error Enviando Respuesta Comercial: ";
constexpr std::string_view kStatusPrefix =
    "Error consultando estado comercialmente del documento: ";

// In the order they are read, so that a missing element leaves the ones before it filled.
constexpr std::pair<std::string ResultadoEstadoComercial::*, std::string_view>
    kCommercialStatusFields[] = {
        {&ResultadoEstadoComercial::CodigoEstadoComercial, "StatusCode"},
        {&ResultadoEstadoComercial::DescripcionEstadoComercial, "StatusDescription"},
        {&ResultadoEstadoComercial::CorreoContacto, "ContactEmail"},
        {&ResultadoEstadoComercial::NombreContacto, "ContactName"},
        {&ResultadoEstadoComercial::TelefonoContacto, "ContactPhone"},
        {&ResultadoEstadoComercial::observaciones, "Observations"},
        {&ResultadoEstadoComercial::ACKXml, "ACKXml"},
        {&ResultadoEstadoComercial::ClaimAction, "ClaimAction"},
        {&ResultadoEstadoComercial::Codigo, "Codigo"},
        {&ResultadoEstadoComercial::Comentario, "Comentario"},
        {&ResultadoEstadoComercial::Estado, "Estado"},
        {&ResultadoEstadoComercial::Responsable, "Responsable"},
        {&ResultadoEstadoComercial::TimeStamp, "TimeStamp"},
};

// A commercial response's answer as its result; a failure under the operation's prefix.
std::shared_ptr<ResultadoServicio> ParseCommercialResponse(const detail::HttpAnswer& response) {
  auto result = std::make_shared<ResultadoServicio>();
  detail::ReportFailures(*result, kResponsePrefix,
                         [&] { detail::ApplyResult(detail::ServiceAnswer(response), *result); });
  return result;
}

}  // namespace

std::shared_ptr<ResultadoServicio> Servicio::EnviarRespuestaComercial(
    const std::string& ambiente, const std::string& rutProveedor, const std::string& tipoDocumento,
    const std::string& folio, const std::string& nombre, const std::string& telefono,
    const std::string& correo, const std::string& motivo,
    const std::string& tipoRespuestaComercial) {
  const std::string& accion = tipoRespuestaComercial == TipoRespuestaComercial_Aceptacion
                                  ? TipoAccionRespuestaComercial_ReciboMercaderiasServicios
                                  : TipoAccionRespuestaComercial_ReclamoTotalMercaderias;
  return EnviarRespuestaComercialAccion(ambiente, rutProveedor, tipoDocumento, folio, nombre,
                                        telefono, correo, motivo, tipoRespuestaComercial, accion);
}

std::shared_ptr<ResultadoServicio> Servicio::EnviarRespuestaComercialAccion(
    const std::string& ambiente, const std::string& rutProveedor, const std::string& tipoDocumento,
    const std::string& folio, const std::string& nombre, const std::string& telefono,
    const std::string& correo, const std::string& motivo, const std::string& tipoRespuestaComercial,
    const std::string& tipoAccionRespuestaComercial) {
  auto failure = std::make_shared<ResultadoServicio>();
  std::shared_ptr<ResultadoServicio> parsed;
  detail::ReportFailures(*failure, kResponsePrefix, [&] {
    const std::string body =
        detail::WriteRequestBody("ACKStatusRequest", {{"Environment", ambiente},
                                                      {"RutEmisor", rutProveedor},
                                                      {"DTEType", tipoDocumento},
                                                      {"Folio", folio},
                                                      {"ContactName", nombre},
                                                      {"ContactPhone", telefono},
                                                      {"ContactEmail", correo},
                                                      {"Observations", motivo},
                                                      {"ResponseType", tipoRespuestaComercial},
                                                      {"Action", tipoAccionRespuestaComercial}});
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/SendComercialResponse");
    parsed = ParseCommercialResponse(detail::ServicioAccess::Post(*this, url, body));
  });
  return parsed ? parsed : failure;
}

std::shared_ptr<ResultadoEstadoComercial> Servicio::EstadoComercialDocumento(
    const std::string& ambiente, const std::string& grupo, const std::string& rut,
    const std::string& tipoDocumento, const std::string& folio, bool retornaXmlAEC) {
  auto result = std::make_shared<ResultadoEstadoComercial>();
  detail::ReportFailures(*result->ResultadoServicio, kStatusPrefix, [&] {
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/ComercialStatusOfDocument/",
                           {ambiente, grupo, rut, tipoDocumento, folio, retornaXmlAEC ? "1" : "0"});
    const detail::ServiceAnswer answer(detail::ServicioAccess::Get(*this, url));
    detail::CopyResult(answer, *result->ResultadoServicio);
    if (result->ResultadoServicio->Estado != "0") return;
    for (const auto& [field, name] : kCommercialStatusFields) {
      (*result).*field = answer.Text(name);
    }
  });
  return result;
}

}  // namespace QuarloCliente
