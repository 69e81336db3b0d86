#include <quarlo/binding.hpp>
#include <quarlo/documentos.hpp>
#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>
#include <quarlo/xml_document.hpp>

#include "binding/library_contexts.hpp"
#include "core/report.hpp"
#include "core/selector.hpp"
#include "core/xml.hpp"
#include "core/xml_document.hpp"
#include "queries/queries.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kFormatoDesconocido =
    "Xml con formato desconocido, no corresponde a un DTE o una Boleta.";

bool Contains(xmlDoc* doc, std::string_view name) {
  return detail::SelectFirstElement(doc, "//" + std::string(name)) != nullptr;
}

std::string FirstDteXml(xmlDoc* doc) {
  const xmlNode* dte = detail::SelectFirstElement(doc, "//DTE");
  if (dte == nullptr) throw Error("el XML recuperado no contiene un elemento DTE");
  return detail::OuterXml(dte);
}

std::string_view IndServicioPath(xmlDoc* doc) {
  if (Contains(doc, "Exportaciones")) return "//DTE/Exportaciones/Encabezado/IdDoc/IndServicio";
  if (Contains(doc, "Liquidacion")) return "//DTE/Liquidacion/Encabezado/IdDoc/IndServicio";
  return "//DTE/Documento/Encabezado/IdDoc/IndServicio";
}

// The service keeps some indicators with a leading zero ("03") that the schema does not allow;
// one zero is dropped so that the document loads with the value it means.
std::string RepairIndServicio(Servicio& servicio, xmlDoc* doc, const std::string& dteXml) {
  const xmlNode* indicator = detail::SelectFirstElement(doc, "//IndServicio");
  const std::string value = indicator == nullptr ? std::string() : detail::NodeText(indicator);
  if (value.empty() || value.front() != '0') return dteXml;
  return servicio.ReplaceXmlValue(dteXml, std::string(IndServicioPath(doc)), value.substr(1));
}

// The document loaded leniently into a new binding of its kind, with the retrieved custom fields
// attached: the service's copy need not follow the schema to the letter.
template <class Binding, class Holder>
std::shared_ptr<ResultadoDocBase> LoadDocument(xmlDoc* doc, const std::string& dteXml) {
  auto binding = std::make_shared<Binding>();
  binding->Load(dteXml, detail::LenientLoadingContext());
  if (const xmlNode* custom = detail::SelectFirstElement(doc, "//Personalizados")) {
    auto personalizados = std::make_shared<Personalizados>();
    personalizados->Load(detail::OuterXml(custom), detail::LenientLoadingContext());
    binding->SetPersonalizados(personalizados);
  }
  auto holder = std::make_shared<Holder>();
  holder->Documento = binding;
  return holder;
}

std::shared_ptr<ResultadoDocBase> LoadRetrieved(xmlDoc* doc, const std::string& dteXml) {
  if (Contains(doc, "EnvioDTE"))
    return LoadDocument<DteDocumentBinding, ResultadoDocDTE>(doc, dteXml);
  if (Contains(doc, "EnvioBOLETA")) {
    return LoadDocument<BoletaDocumentBinding, ResultadoDocBoleta>(doc, dteXml);
  }
  throw Error(std::string(kFormatoDesconocido));
}

}  // namespace

std::shared_ptr<ResultadoRecuperarDoc> Servicio::RecuperarDocumento(
    const std::string& ambiente, const std::string& grupo, const std::string& rut,
    const std::string& tipoDocumento, const std::string& folio, bool esParaDistribucion) {
  auto result = std::make_shared<ResultadoRecuperarDoc>();
  const auto retrieved =
      RecuperarXML(ambiente, grupo, rut, tipoDocumento, folio, esParaDistribucion);
  // The caller sees the retrieval's own status object, so a later failure lands there too.
  result->ResultadoServicio = retrieved->ResultadoServicio;
  if (result->ResultadoServicio->Estado == "1") return result;
  detail::ReportAnswerFailures(*result->ResultadoServicio, detail::kErrorConsultando, [&] {
    const XmlDocument document = XmlDocument::Parse(retrieved->Datos);
    xmlDoc* doc = detail::XmlDocumentAccess::Doc(document);
    const std::string dteXml = RepairIndServicio(*this, doc, FirstDteXml(doc));
    result->Data = LoadRetrieved(doc, dteXml);
    result->ResultadoServicio->Estado = "0";
    result->ResultadoServicio->Fallo = TipoFallo::Ninguno;
  });
  return result;
}

}  // namespace QuarloCliente
