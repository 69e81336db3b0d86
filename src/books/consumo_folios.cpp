#include <quarlo/binding_libros.hpp>
#include <quarlo/servicio.hpp>

#include "books/book_submission.hpp"
#include "core/request_body.hpp"

namespace QuarloCliente {

namespace {

// The cover is removed before sending (its data travel as request fields), but the report must
// hold a complete one to serialise; the values stay in the caller's object, as callers expect.
void WritePlaceholderCover(ConsumoFoliosBinding& report) {
  report.SetVersion(BindingDecimal("1.0"));
  const auto documento = report.DocumentoConsumoFolios();
  documento->SetID("ID_1");
  const BindingDateTime fecha = BindingDateTime::FromDate(2014, 12, 21);
  documento->Caratula()
      ->SetVersion(BindingDecimal("1.0"))
      .SetRutEmisor("11111111-1")
      .SetRutEnvia("11111111-1")
      .SetFchResol(fecha)
      .SetNroResol(1)
      .SetFchInicio(fecha)
      .SetFchFinal(fecha)
      .SetSecEnvio(1)
      .SetTmstFirmaEnv(BindingDateTime::FromDateTime(2014, 10, 1, 0, 0, 0));
}

// The report's Content: the placeholder cover written into the object, then left out of the text.
std::string ReportContent(ConsumoFoliosBinding& report) {
  WritePlaceholderCover(report);
  return detail::BookContent(
      report, detail::ElementNodes::Child(report, "DocumentoConsumoFolios/Caratula").get());
}

}  // namespace

std::shared_ptr<ResultadoEnviarLibro> Servicio::EnviarConsumoFolio(
    const std::shared_ptr<ConsumoFoliosBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
    const std::string& fchInicio, const std::string& fchFinal) {
  return EnviarConsumoFolio2(Documento, ambiente, fechaResolucion, numeroResolucion, rutEmisor,
                             fchInicio, fchFinal, 1);
}

std::shared_ptr<ResultadoEnviarLibro> Servicio::EnviarConsumoFolio2(
    const std::shared_ptr<ConsumoFoliosBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
    const std::string& fchInicio, const std::string& fchFinal, Integer correlativo) {
  return EnviarConsumoFolio3(Documento, ambiente, fechaResolucion, numeroResolucion, rutEmisor,
                             fchInicio, fchFinal, correlativo, 1);
}

std::shared_ptr<ResultadoEnviarLibro> Servicio::EnviarConsumoFolio3(
    const std::shared_ptr<ConsumoFoliosBinding>& Documento, const std::string& ambiente,
    const std::string& fechaResolucion, Integer numeroResolucion, const std::string& rutEmisor,
    const std::string& fchInicio, const std::string& fchFinal, Integer correlativo,
    Integer secEnvio) {
  auto result = std::make_shared<ResultadoEnviarLibro>();
  const auto answer = detail::PostBook(
      *this, *result->ResultadoServicio, "Error Enviando Consumo de Folio: ", "/SendConsumoFolio",
      [&] {
        const std::string content = ReportContent(detail::RequireBook(Documento));
        return detail::WriteRequestBody("SendConsumoFolioRequest",
                                        {{"Environment", ambiente},
                                         {"Content", content},
                                         {"ResolutionDate", fechaResolucion},
                                         {"ResolutionNumber", detail::Decimal(numeroResolucion)},
                                         {"FechaInicio", fchInicio},
                                         {"FechaFinal", fchFinal},
                                         {"Correlativo", detail::Decimal(correlativo)},
                                         {"SecEnvio", detail::Decimal(secEnvio)},
                                         {"RutEmisorLibro", rutEmisor}});
      });
  return answer ? detail::ParseBookResponse(*answer) : result;
}

}  // namespace QuarloCliente
