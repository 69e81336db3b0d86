#include <quarlo/acciones.hpp>
#include <quarlo/error.hpp>
#include <string_view>

#include "core/numbers.hpp"
#include "core/report.hpp"
#include "core/selector.hpp"
#include "core/xml_document.hpp"

namespace QuarloCliente {

namespace {

constexpr std::string_view kSetDataPrefix = "Error creando los Factorings desde el xml. : ";

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Each entry's lookups start at the entry, so that "//RUT" can only find the entry's own RUT.
std::shared_ptr<Fact> ReadFact(const xmlNode* entry, std::size_t position) {
  const auto text = [entry](std::string_view path) { return detail::TextOfFirstIn(entry, path); };
  const std::string id = text("//IDFactoring");
  if (id.empty()) {
    throw Error("la entrada " + std::to_string(position) + " no contiene IDFactoring");
  }
  auto fact = std::make_shared<Fact>();
  fact->IDFactoring = detail::ReadLong(id, "IDFactoring");
  fact->Direccion = text("//Direccion");
  fact->CorreoContacto = text("//CorreoContacto");
  fact->NombreFantasia = text("//NombreFantasia");
  fact->RazonSocial = text("//RazonSocial");
  fact->rut = text("//RUT");
  return fact;
}

}  // namespace

void ResultObtenerFactorings::SetData(const std::string& xml, Long totalDoc, Long tiempoBusq) {
  // A caller may have dropped the status record; recording into nothing would crash.
  if (!ResultadoServicio) ResultadoServicio = std::make_shared<QuarloCliente::ResultadoServicio>();
  detail::ReportFailures(*ResultadoServicio, kSetDataPrefix, [&] {
    Factorings = std::make_shared<ColeccionFactorings>();
    TotalFactorings = totalDoc;
    TiempoBusqueda = tiempoBusq;
    const XmlDocument document = XmlDocument::Parse(xml);
    // Text that is not XML would otherwise read as an empty registry and pass for success.
    if (document.IsEmpty() && !IsBlank(xml)) throw Error("el texto recibido no es XML");
    std::size_t position = 0;
    for (const xmlNode* entry :
         detail::ElementsNamed(detail::XmlDocumentAccess::Doc(document), "document")) {
      Factorings->push_back(ReadFact(entry, ++position));
    }
    ResultadoServicio->Estado = "0";
    ResultadoServicio->Fallo = TipoFallo::Ninguno;
  });
}

std::string ResultObtenerFactorings::NodeValue(const XmlDocument& xml,
                                               const std::string& nodeName) const {
  const xmlNode* element =
      detail::SelectFirstElement(detail::XmlDocumentAccess::Doc(xml), nodeName);
  return element == nullptr ? std::string() : detail::NodeText(element);
}

}  // namespace QuarloCliente
