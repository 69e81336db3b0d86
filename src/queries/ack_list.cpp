#include <quarlo/consultas.hpp>
#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>
#include <quarlo/xml_document.hpp>

#include "core/answer.hpp"
#include "core/base64.hpp"
#include "core/charset.hpp"
#include "core/failure.hpp"
#include "core/payload.hpp"
#include "core/report.hpp"
#include "core/request_body.hpp"
#include "core/selector.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"
#include "core/xml.hpp"
#include "core/xml_document.hpp"
#include "queries/queries.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kErrorCreandoAcks = "Error creando los ack desde el xml. : ";

}  // namespace

std::shared_ptr<ResultadoRecuperarListACK> Servicio::RecuperarListadoAcusesRecibo(
    const std::string& ambiente, const std::string& grupo, const std::string& rut,
    const std::string& tipoDocumento, const std::string& folio) {
  auto result = std::make_shared<ResultadoRecuperarListACK>();
  auto list = std::make_shared<ResultadoRecuperarXML>();
  detail::ReportFailures(*list->ResultadoServicio, detail::kErrorConsultando, [&] {
    const std::string body =
        detail::WriteRequestBody("RecoverAckListRequest", {{"Environment", ambiente},
                                                           {"Group", grupo},
                                                           {"Rut", rut},
                                                           {"DocType", tipoDocumento},
                                                           {"Folio", folio}});
    const std::string url =
        detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/RecoverAckList");
    const detail::ServiceAnswer answer(detail::ServicioAccess::Post(*this, url, body));
    if (!detail::ApplyResult(answer, *list->ResultadoServicio)) return;
    const std::string data = answer.Text("Data");
    if (detail::IsMissingPayload(data)) {
      throw detail::Failure(
          TipoFallo::RechazoServicio,
          "El documento no tiene acuses de recibo, para " +
              detail::DocumentAddress(ambiente, grupo, rut, tipoDocumento, folio));
    }
    list->Datos = detail::DecodeIsoBase64(data);
  });
  result->SetData(list);
  return result;
}

void ResultadoRecuperarListACK::SetData(
    const std::shared_ptr<QuarloCliente::ResultadoRecuperarXML>& resultadoXml) {
  // A null answer has no status to report into; refusing it keeps the record usable.
  if (!resultadoXml) throw Error("SetData necesita un ResultadoRecuperarXML");
  ResultadoRecuperarXML = resultadoXml;
  AcusesRecibo = std::make_shared<std::vector<std::string>>();
  if (resultadoXml->Datos.empty()) return;
  detail::ReportAnswerFailures(*resultadoXml->ResultadoServicio, kErrorCreandoAcks, [&] {
    const XmlDocument list = XmlDocument::Parse(resultadoXml->Datos);
    for (const xmlNode* ack : detail::ElementsNamed(detail::XmlDocumentAccess::Doc(list), "ack")) {
      AcusesRecibo->push_back(detail::Latin1ToUtf8(DecodeBase64(detail::NodeText(ack))));
    }
  });
}

Bytes ResultadoRecuperarListACK::DecodeBase64(const std::string& text) const {
  return detail::DecodeBase64(text);
}

}  // namespace QuarloCliente
