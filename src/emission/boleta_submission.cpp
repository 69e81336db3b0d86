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

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoBoleta_PDF417_TED_AutoFoliado(
    const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    Integer ColumnasPDF417, Integer NivelCorreccionPDF417, const std::string& TED,
    bool AutoFoliado) {
  auto result = std::make_shared<ResultadoEnviarDocumento>();
  if (!TED.empty()) {
    if (auto refused = ValidarTEDParaBoleta(Documento, TED)) return refused;
  }
  detail::ReportFailures(*result->ResultadoServicio, "Error Enviando Boleta:", [&] {
    BoletaDocumentBinding& documento = detail::RequireDocument(Documento);
    detail::FillBoletaPlaceholderTed(documento);
    const std::string body =
        detail::SendDocumentBody(detail::BoletaContentBytes(*this, documento, AutoFoliado),
                                 {ambiente, fechaResolucion, NroResolucion, tipoPdf417,
                                  ColumnasPDF417, NivelCorreccionPDF417, TED});
    const auto answer = detail::ServicioAccess::Post(
        *this, detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/SendBoletaDocument"),
        body);
    detail::AdoptSendAnswer(*result, *detail::ParseSendDocumentResponse(answer), tipoPdf417);
  });
  return result;
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoBoleta(
    const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417) {
  return EnviarDocumentoBoleta_AutoFoliado(Documento, ambiente, fechaResolucion, NroResolucion,
                                           tipoPdf417, false);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoBoleta_AutoFoliado(
    const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    bool AutoFoliado) {
  return EnviarDocumentoBoleta_PDF417_AutoFoliado(Documento, ambiente, fechaResolucion,
                                                  NroResolucion, tipoPdf417, kColumns, kLevel,
                                                  AutoFoliado);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoBoleta_PDF417(
    const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    Integer ColumnasPDF417, Integer NivelCorreccionPDF417) {
  return EnviarDocumentoBoleta_PDF417_AutoFoliado(Documento, ambiente, fechaResolucion,
                                                  NroResolucion, tipoPdf417, ColumnasPDF417,
                                                  NivelCorreccionPDF417, false);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoBoleta_PDF417_AutoFoliado(
    const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    Integer ColumnasPDF417, Integer NivelCorreccionPDF417, bool AutoFoliado) {
  return EnviarDocumentoBoleta_PDF417_TED_AutoFoliado(Documento, ambiente, fechaResolucion,
                                                      NroResolucion, tipoPdf417, ColumnasPDF417,
                                                      NivelCorreccionPDF417, "", AutoFoliado);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoBoleta_TED(
    const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    const std::string& TED) {
  return EnviarDocumentoBoleta_TED_AutoFoliado(Documento, ambiente, fechaResolucion, NroResolucion,
                                               tipoPdf417, TED, false);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoBoleta_TED_AutoFoliado(
    const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    const std::string& TED, bool AutoFoliado) {
  return EnviarDocumentoBoleta_PDF417_TED_AutoFoliado(Documento, ambiente, fechaResolucion,
                                                      NroResolucion, tipoPdf417, kColumns, kLevel,
                                                      TED, AutoFoliado);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::EnviarDocumentoBoleta_PDF417_TED(
    const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer NroResolucion, Integer tipoPdf417,
    Integer ColumnasPDF417, Integer NivelCorreccionPDF417, const std::string& TED) {
  return EnviarDocumentoBoleta_PDF417_TED_AutoFoliado(Documento, ambiente, fechaResolucion,
                                                      NroResolucion, tipoPdf417, ColumnasPDF417,
                                                      NivelCorreccionPDF417, TED, false);
}

}  // namespace QuarloCliente
