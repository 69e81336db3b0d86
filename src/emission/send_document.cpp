#include <quarlo/servicio.hpp>

#include "core/answer.hpp"
#include "core/payload.hpp"
#include "core/report.hpp"
#include "core/request_body.hpp"
#include "emission/emission.hpp"

namespace QuarloCliente {

namespace detail {

std::string SendDocumentBody(std::span<const std::uint8_t> content, const SendOptions& options) {
  const std::string ted = options.ted.empty()
                              ? std::string()
                              : EncodeIsoBase64(options.ted, Unrepresentable::CharacterReference);
  return WriteRequestBody("SendDocumentRequest",
                          {{"Environment", options.ambiente},
                           {"Content", {}, content},
                           {"ResolutionDate", options.fechaResolucion},
                           {"ResolutionNumber", Decimal(options.nroResolucion)},
                           {"PDF417Columns", Decimal(options.columnas)},
                           {"PDF417Level", Decimal(options.nivel)},
                           {"PDF417Type", Decimal(options.tipoPdf417)},
                           {"TED", ted}});
}

void AdoptSendAnswer(ResultadoEnviarDocumento& result, const ResultadoEnviarDocumento& answer,
                     Integer tipoPdf417) {
  *result.ResultadoServicio = *answer.ResultadoServicio;
  result.TED = answer.TED;
  result.Pdf417 = answer.Pdf417;
  constexpr Integer kFontBarcode = 1;
  if (tipoPdf417 == kFontBarcode && result.ResultadoServicio->Estado == "0") {
    result.Pdf417 = DecodeIsoBase64(result.Pdf417);
  }
}

std::shared_ptr<ResultadoEnviarDocumento> ParseSendDocumentResponse(const HttpAnswer& response) {
  auto result = std::make_shared<ResultadoEnviarDocumento>();
  ReportFailures(*result->ResultadoServicio, "Error Enviando DTE: ", [&] {
    const ServiceAnswer answer(response);
    if (!ApplyResult(answer, *result->ResultadoServicio)) return;
    result->TED = DecodeIsoBase64(answer.Text("TED"));
    result->Pdf417 = answer.Text("PDF417");
  });
  return result;
}

}  // namespace detail

}  // namespace QuarloCliente
