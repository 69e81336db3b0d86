#include "service/commercial_state.hpp"

#include <array>
#include <quarlo/namespaces.hpp>

#include "protocol/xml_writer.hpp"
#include "sandbox_error.hpp"

namespace QuarloSandbox {

namespace {

constexpr std::array<CommercialAction, 5> kActions{{
    {"ERM", "Otorga recibo de mercaderías o servicios", "RECIBIDO", false},
    {"RCD", "Reclamo al contenido del documento", "RECLAMADO", true},
    {"RFP", "Reclamo por falta parcial de mercaderías", "RECLAMADO", true},
    {"RFT", "Reclamo por falta total de mercaderías", "RECLAMADO", true},
    {"ACD", "Acepta contenido del documento", "ACEPTADO", false},
}};

constexpr const char* kReceiptDeclaration =
    "El acuse de recibo que se declara en este acto, de acuerdo a lo dispuesto en la letra b) "
    "del Art. 4, y la letra c) del Art. 5 de la Ley 19.983, acredita que la entrega de "
    "mercaderias o servicio(s) prestado(s) ha(n) sido recibido(s).";

void IdDte(XmlWriter& xml, const DocumentRow& d, const char* typeName) {
  xml.Element(typeName, d.key.tipo).Element("Folio", std::to_string(d.key.folio));
  xml.Element("FchEmis", d.issueDate).Element("RUTEmisor", d.key.rut);
  xml.Element("RUTRecep", d.receiverRut).Element("MntTotal", d.total);
}

std::string Receipt(const DocumentRow& d, const CommercialResponse& r, std::int64_t sequence) {
  XmlWriter xml;
  xml.Open("Recibo", QuarloCliente::SiiDteNamespace).Attribute("version", "1.0");
  xml.Open("DocumentoRecibo").Attribute("ID", "R" + std::to_string(sequence));
  IdDte(xml, d, "TipoDoc");
  xml.Element("Recinto",
              r.observations.empty() ? std::string("Recinto del receptor") : r.observations);
  xml.Element("RutFirma", d.receiverRut).Element("Declaracion", kReceiptDeclaration);
  xml.Element("TmstFirmaRecibo", r.timeStamp);
  xml.Close("DocumentoRecibo").Close("Recibo");
  return xml.Text();
}

std::string Response(const DocumentRow& d, const CommercialResponse& r, std::int64_t sequence) {
  const CommercialAction& action = ActionOf(r.action);
  XmlWriter xml;
  xml.Open("RespuestaDTE", QuarloCliente::SiiDteNamespace).Attribute("version", "1.0");
  xml.Open("Resultado").Attribute("ID", "RC" + std::to_string(sequence));
  xml.Open("Caratula").Attribute("version", "1.0");
  xml.Element("RutResponde", d.receiverRut).Element("RutRecibe", d.key.rut);
  xml.Element("IdRespuesta", std::to_string(sequence)).Element("NroDetalles", "1");
  if (!r.contactName.empty()) xml.Element("NmbContacto", r.contactName);
  if (!r.contactPhone.empty()) xml.Element("FonoContacto", r.contactPhone);
  if (!r.contactEmail.empty()) xml.Element("MailContacto", r.contactEmail);
  xml.Element("TmstFirmaResp", r.timeStamp).Close("Caratula");
  xml.Open("ResultadoDTE");
  IdDte(xml, d, "TipoDTE");
  xml.Element("CodEnvio", std::to_string(sequence));
  xml.Element("EstadoDTE", action.claim ? "2" : "0");
  xml.Element("EstadoDTEGlosa", r.observations.empty() ? action.description : r.observations);
  if (action.claim) xml.Element("CodRchDsc", "-1");
  xml.Close("ResultadoDTE").Close("Resultado").Close("RespuestaDTE");
  return xml.Text();
}

}  // namespace

const CommercialAction& ActionOf(const std::string& action) {
  if (action.size() == 1 && action[0] >= '0' && action[0] <= '4') {
    return kActions[static_cast<std::size_t>(action[0] - '0')];
  }
  throw SandboxError(400,
                     "la acción de la respuesta comercial debe ser 0 a 4, no '" + action + "'");
}

CommercialStatus StatusOf(const std::vector<CommercialResponse>& responses) {
  CommercialStatus status;
  for (const auto& response : responses) {
    const CommercialAction& action = ActionOf(response.action);
    status.code = action.code;
    status.description = action.description;
    status.state = action.state;
    status.claimAction = action.claim ? action.code : "";
    status.received = status.received || response.action == "0";
    status.accepted = status.accepted || response.action == "4";
    status.last = &response;
  }
  return status;
}

std::string AcknowledgementXml(const DocumentRow& document, const CommercialResponse& response,
                               std::int64_t sequence) {
  return response.action == "0" ? Receipt(document, response, sequence)
                                : Response(document, response, sequence);
}

}  // namespace QuarloSandbox
