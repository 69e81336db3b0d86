#include <optional>
#include <quarlo/servicio.hpp>

#include "binding/ted_comparison.hpp"
#include "core/report.hpp"
#include "emission/emission.hpp"

namespace QuarloCliente {

namespace {

detail::TedValues ReadTedValues(Servicio& servicio, const std::string& tedText) {
  // A TED that is not XML leaves an empty document, in which every value reads as "".
  const XmlDocument ted = XmlDocument::Parse(tedText);
  const auto value = [&](const char* path) { return servicio.NodeValue(ted, path); };
  return {value("//RE"), value("//TD"),  value("//F"),   value("//FE"),
          value("//RR"), value("//RSR"), value("//MNT"), value("//IT1")};
}

template <class Document>
std::shared_ptr<ResultadoEnviarDocumento> ValidateTed(Servicio& servicio,
                                                      const std::shared_ptr<Document>& document,
                                                      const std::string& ted) {
  auto result = std::make_shared<ResultadoEnviarDocumento>();
  detail::ReportFailures(*result->ResultadoServicio, "Error validando el TED: ", [&] {
    const detail::TedValues values = ReadTedValues(servicio, ted);
    if (auto mismatch = detail::TedMismatch(detail::RequireDocument(document), values)) {
      result->ResultadoServicio->SetError(*mismatch, TipoFallo::ErrorLocal);
    }
  });
  return result->ResultadoServicio->Estado == "1" ? result : nullptr;
}

}  // namespace

std::shared_ptr<ResultadoEnviarDocumento> Servicio::ValidarTEDParaDTE(
    const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& TED) {
  return ValidateTed(*this, Documento, TED);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::ValidarTEDParaBoleta(
    const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& TED) {
  return ValidateTed(*this, Documento, TED);
}

}  // namespace QuarloCliente
