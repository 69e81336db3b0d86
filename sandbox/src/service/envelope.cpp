#include "service/envelope.hpp"

#include <map>
#include <quarlo/namespaces.hpp>
#include <quarlo/pdf417.hpp>

#include "protocol/payload.hpp"
#include "protocol/xml_writer.hpp"
#include "service/sii_xml.hpp"
#include "stamping/pdf417_symbol.hpp"

namespace QuarloSandbox {

namespace qd = QuarloCliente::detail;

namespace {

constexpr const char* kIsoDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
// The SII asks for a printed TED of at least this error-correction level.
constexpr int kPrintedColumns = 10;
constexpr int kPrintedLevel = 5;

}  // namespace

std::string DocumentTitle(const std::string& tipo) {
  static const std::map<std::string, std::string> titles{
      {"33", "FACTURA ELECTRÓNICA"},
      {"34", "FACTURA NO AFECTA O EXENTA ELECTRÓNICA"},
      {"39", "BOLETA ELECTRÓNICA"},
      {"41", "BOLETA NO AFECTA O EXENTA ELECTRÓNICA"},
      {"43", "LIQUIDACIÓN FACTURA ELECTRÓNICA"},
      {"46", "FACTURA DE COMPRA ELECTRÓNICA"},
      {"52", "GUÍA DE DESPACHO ELECTRÓNICA"},
      {"56", "NOTA DE DÉBITO ELECTRÓNICA"},
      {"61", "NOTA DE CRÉDITO ELECTRÓNICA"},
      {"110", "FACTURA DE EXPORTACIÓN ELECTRÓNICA"},
      {"111", "NOTA DE DÉBITO DE EXPORTACIÓN ELECTRÓNICA"},
      {"112", "NOTA DE CRÉDITO DE EXPORTACIÓN ELECTRÓNICA"}};
  const auto found = titles.find(tipo);
  return found == titles.end() ? "DOCUMENTO TRIBUTARIO ELECTRÓNICO " + tipo : found->second;
}

namespace {

xmlNode* Form(xmlNode* dte) {
  for (const char* form : {"Documento", "Liquidacion", "Exportaciones"}) {
    if (xmlNode* found = ChildElement(dte, form)) return found;
  }
  return nullptr;
}

std::string JoinNonEmpty(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return a + b;
  return a + ", " + b;
}

void ReadParties(const xmlNode* encabezado, PdfDocument& pdf) {
  const xmlNode* emisor = ChildElement(encabezado, "Emisor");
  pdf.rutEmisor = TextAt(emisor, "RUTEmisor");
  pdf.razonSocialEmisor = TextAt(emisor, "RznSoc") + TextAt(emisor, "RznSocEmisor");
  pdf.giroEmisor = TextAt(emisor, "GiroEmis") + TextAt(emisor, "GiroEmisor");
  pdf.direccionEmisor = JoinNonEmpty(TextAt(emisor, "DirOrigen"), TextAt(emisor, "CmnaOrigen"));
  const xmlNode* receptor = ChildElement(encabezado, "Receptor");
  pdf.rutReceptor = TextAt(receptor, "RUTRecep");
  pdf.razonSocialReceptor = TextAt(receptor, "RznSocRecep");
  pdf.direccionReceptor = JoinNonEmpty(TextAt(receptor, "DirRecep"), TextAt(receptor, "CmnaRecep"));
}

}  // namespace

std::string RetrievalXml(const DocumentRow& d, bool forDistribution) {
  if (d.kind != DocumentKind::Dte && d.kind != DocumentKind::Boleta) return kIsoDeclaration + d.xml;
  const char* root = d.kind == DocumentKind::Boleta ? "EnvioBOLETA" : "EnvioDTE";
  XmlWriter xml;
  xml.Raw(kIsoDeclaration);
  xml.Open(root, QuarloCliente::SiiDteNamespace).Attribute("version", "1.0");
  xml.Open("SetDTE").Attribute("ID", "SetDoc" + std::to_string(d.trackId));
  xml.Open("Caratula").Attribute("version", "1.0");
  xml.Element("RutEmisor", d.key.rut).Element("RutEnvia", d.key.rut);
  xml.Element("RutReceptor", forDistribution ? d.receiverRut : kSiiRut);
  xml.Element("FchResol", d.resolutionDate).Element("NroResol", d.resolutionNumber);
  xml.Element("TmstFirmaEnv", d.receivedAt);
  xml.Open("SubTotDTE").Element("TpoDTE", d.key.tipo).Element("NroDTE", "1").Close("SubTotDTE");
  xml.Close("Caratula").Raw(d.xml).Close("SetDTE").Close(root);
  return xml.Text();
}

PdfDocument PrintableDocument(const DocumentRow& d) {
  const auto doc = qd::ParseHeldXml(d.xml);
  const xmlNode* form = Form(xmlDocGetRootElement(doc.get()));
  const xmlNode* encabezado = ChildElement(form, "Encabezado");
  PdfDocument pdf;
  pdf.titulo = DocumentTitle(d.key.tipo);
  pdf.folio = std::to_string(d.key.folio);
  pdf.fechaEmision = TextAt(encabezado, "IdDoc/FchEmis");
  ReadParties(encabezado, pdf);
  for (const xmlNode* line = form ? form->children : nullptr; line; line = line->next) {
    if (line->type != XML_ELEMENT_NODE || qd::View(line->name) != "Detalle") continue;
    pdf.lineas.push_back(PdfLine{TextAt(line, "NmbItem"), TextAt(line, "QtyItem"),
                                 TextAt(line, "PrcItem"), TextAt(line, "MontoItem")});
  }
  pdf.montoNeto = TextAt(encabezado, "Totales/MntNeto");
  pdf.iva = TextAt(encabezado, "Totales/IVA");
  pdf.montoTotal = TextAt(encabezado, "Totales/MntTotal");
  pdf.timbre = qd::Pdf417Symbol(QuarloCliente::DatosPdf417(d.ted), kPrintedColumns, kPrintedLevel);
  pdf.ambiente = d.key.environment;
  return pdf;
}

}  // namespace QuarloSandbox
