#include <quarlo/servicio.hpp>

#include "core/report.hpp"
#include "core/servicio_access.hpp"
#include "core/url.hpp"
#include "emission/emission.hpp"

namespace QuarloCliente {

namespace {
constexpr Integer kColumns = 5;
constexpr Integer kLevel = 2;
}  // namespace

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoDTE_PDF417_TED_AutoFoliado(
    const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    Integer ColumnasPDF417, Integer NivelCorreccionPDF417, const std::string& TED,
    bool AutoFoliado) {
  auto result = std::make_shared<ResultadoEnviarDocumento>();
  if (!TED.empty()) {
    if (auto refused = ValidarTEDParaDTE(Documento, TED)) return refused;
  }
  detail::ReportFailures(*result->ResultadoServicio, "Error Enviando DTE: ", [&] {
    DteDocumentBinding& documento = detail::RequireDocument(Documento);
    detail::FillDtePlaceholderTed(documento);
    const std::string body =
        detail::SendDocumentBody(detail::DteContentBytes(*this, documento, AutoFoliado),
                                 {ambiente, fechaResolucion, NroResolucion, tipoPdf417,
                                  ColumnasPDF417, NivelCorreccionPDF417, TED});
    const auto answer = detail::ServicioAccess::Post(
        *this, detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/SendDTEDocument"), body);
    detail::AdoptSendAnswer(*result, *detail::ParseSendDocumentResponse(answer), tipoPdf417);
  });
  return result;
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoDTE(
    const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417) {
  return EnviarDocumentoDTE_AutoFoliado(Documento, ambiente, fechaResolucion, NroResolucion,
                                        tipoPdf417, false);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoDTE_AutoFoliado(
    const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    bool AutoFoliado) {
  return EnviarDocumentoDTE_PDF417_AutoFoliado(Documento, ambiente, fechaResolucion, NroResolucion,
                                               tipoPdf417, kColumns, kLevel, AutoFoliado);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoDTE_PDF417(
    const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    Integer ColumnasPDF417, Integer NivelCorreccionPDF417) {
  return EnviarDocumentoDTE_PDF417_AutoFoliado(Documento, ambiente, fechaResolucion, NroResolucion,
                                               tipoPdf417, ColumnasPDF417, NivelCorreccionPDF417,
                                               false);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoDTE_PDF417_AutoFoliado(
    const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    Integer ColumnasPDF417, Integer NivelCorreccionPDF417, bool AutoFoliado) {
  return EnviarDocumentoDTE_PDF417_TED_AutoFoliado(Documento, ambiente, fechaResolucion,
                                                   NroResolucion, tipoPdf417, ColumnasPDF417,
                                                   NivelCorreccionPDF417, "", AutoFoliado);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoDTE_TED(
    const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    const std::string& TED) {
  return EnviarDocumentoDTE_TED_AutoFoliado(Documento, ambiente, fechaResolucion, NroResolucion,
                                            tipoPdf417, TED, false);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoDTE_TED_AutoFoliado(
    const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    const std::string& TED, bool AutoFoliado) {
  return EnviarDocumentoDTE_PDF417_TED_AutoFoliado(Documento, ambiente, fechaResolucion,
                                                   NroResolucion, tipoPdf417, kColumns, kLevel, TED,
                                                   AutoFoliado);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoDTE_PDF417_TED(
    const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    Integer ColumnasPDF417, Integer NivelCorreccionPDF417, const std::string& TED) {
  return EnviarDocumentoDTE_PDF417_TED_AutoFoliado(Documento, ambiente, fechaResolucion,
                                                   NroResolucion, tipoPdf417, ColumnasPDF417,
                                                   NivelCorreccionPDF417, TED, false);
}

}  // namespace QuarloCliente
