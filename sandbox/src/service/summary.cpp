#include "service/summary.hpp"

#include "protocol/xml_writer.hpp"
#include "service/commercial_state.hpp"
#include "service/context.hpp"
#include "service/sii_xml.hpp"

namespace QuarloSandbox {

namespace qd = QuarloCliente::detail;

namespace {

const char* Flag(bool on) {
  return on ? "1" : "0";
}

xmlNode* Form(const xmlNode* dte) {
  for (const char* form : {"Documento", "Liquidacion", "Exportaciones"}) {
    if (xmlNode* found = ChildElement(dte, form)) return found;
  }
  return nullptr;
}

// The folio of the first Referencia to a document of that type (801 purchase order, 802 order
// note, 803 contract).
std::string ReferencedFolio(const xmlNode* form, std::string_view tipo) {
  for (const xmlNode* ref = form ? form->children : nullptr; ref; ref = ref->next) {
    if (ref->type == XML_ELEMENT_NODE && qd::View(ref->name) == "Referencia" &&
        TextAt(ref, "TpoDocRef") == tipo) {
      return TextAt(ref, "FolioRef");
    }
  }
  return {};
}

void DocumentFields(XmlWriter& xml, const DocumentRow& d) {
  const auto doc = qd::ParseHeldXml(d.xml);
  const xmlNode* form = doc ? Form(xmlDocGetRootElement(doc.get())) : nullptr;
  const xmlNode* e = ChildElement(form, "Encabezado");
  xml.Element("RUTEmisor", d.key.rut).Element("TipoDTE", d.key.tipo);
  xml.Element("Folio", std::to_string(d.key.folio));
  xml.Element("FchEmis", d.issueDate).Element("FchVenc", TextAt(e, "IdDoc/FchVenc"));
  xml.Element("RznSoc", d.issuerName).Element("IdAdicEmisor", TextAt(e, "Emisor/IdAdicEmisor"));
  xml.Element("Sucursal", TextAt(e, "Emisor/Sucursal"));
  xml.Element("CmnaOrigen", TextAt(e, "Emisor/CmnaOrigen"));
  xml.Element("RUTRecep", d.receiverRut).Element("RznSocRecep", d.receiverName);
  xml.Element("CdgIntRecep", TextAt(e, "Receptor/CdgIntRecep"));
  xml.Element("CorreoRecep", TextAt(e, "Receptor/CorreoRecep"));
  xml.Element("CiudadRecep", TextAt(e, "Receptor/CiudadRecep"));
  xml.Element("CmnaRecep", TextAt(e, "Receptor/CmnaRecep"));
  xml.Element("MntNeto", TextAt(e, "Totales/MntNeto"))
      .Element("MntExe", TextAt(e, "Totales/MntExe"));
  xml.Element("IVA", TextAt(e, "Totales/IVA")).Element("MntTotal", d.total);
  xml.Element("NmbItem", d.itemName).Element("DscItem", TextAt(form, "Detalle/DscItem"));
  for (const char* tipo : {"801", "802", "803"}) {
    xml.Element(std::string("FolioRef") + tipo, ReferencedFolio(form, tipo));
  }
}

void ServiceFields(XmlWriter& xml, const DocumentFacts& f, const std::string& baseUrl) {
  const DocumentRow& d = f.row;
  const CommercialStatus commercial = StatusOf(f.responses);
  const bool authorised = !f.history.empty() && f.history.back().estado == "EPR";
  const std::string received = SpacedTimestamp(d.receivedAt);
  xml.Element("Seguimiento", std::to_string(d.trackId));
  xml.Element("Estructura", "1").Element("Firma", "1");
  xml.Element("AutorizadoSII", Flag(authorised)).Element("Distribuido", "1");
  xml.Element("Recibido", Flag(commercial.received)).Element("Aprobado", Flag(commercial.accepted));
  xml.Element("TimeStamp", received).Element("Cesion", Flag(f.ceded));
  xml.Element("Anulado", Flag(d.voided)).Element("Eliminado", "0").Element("Indexado", "1");
  xml.Element("FchRecepSII", received).Element("RecibidoSII", "1");
  xml.Element("FechaRecibidoSII", received).Element("AnuladoContable", Flag(d.voided));
  xml.Element("DownloadCustomerDocumentUrl", baseUrl + "/RecoverPDF_V2/" + d.key.environment +
                                                 "/E/" + d.key.rut + "/" + d.key.tipo + "/" +
                                                 std::to_string(d.key.folio));
  xml.Element("ClaimAction", commercial.claimAction).Element("Conciliado", Flag(d.reconciled));
  xml.Element("FchRespComercial",
              commercial.last ? SpacedTimestamp(commercial.last->timeStamp) : std::string{});
}

}  // namespace

DocumentFacts GatherFacts(StoreTx& tx, DocumentRow row) {
  DocumentFacts facts;
  facts.history = tx.TrackStates(row.id);
  facts.responses = tx.CommercialResponses(row.id);
  facts.ceded = !tx.Cessions(row.id).empty();
  facts.row = std::move(row);
  return facts;
}

std::string DocumentsXml(const std::vector<DocumentFacts>& documents, const std::string& baseUrl) {
  XmlWriter xml;
  xml.Open("Documents");
  for (const auto& facts : documents) {
    xml.Open("document");
    DocumentFields(xml, facts.row);
    ServiceFields(xml, facts, baseUrl);
    xml.Close("document");
  }
  xml.Close("Documents");
  return xml.Text();
}

}  // namespace QuarloSandbox
