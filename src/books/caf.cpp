#include <quarlo/servicio.hpp>

#include "core/answer.hpp"
#include "core/base64.hpp"
#include "core/report.hpp"
#include "core/request_body.hpp"
#include "core/servicio_access.hpp"
#include "core/servicio_internals.hpp"
#include "core/url.hpp"

namespace QuarloCliente {

std::shared_ptr<ResultadoServicio> Servicio::EnviarCAF(const std::string& ambiente,
                                                       const std::string& cafFilePath) {
  auto result = std::make_shared<ResultadoServicio>();
  // No separator after the prefix: callers have always received the text in this form.
  detail::ReportFailures(*result, "Error enviando CAF", [&] {
    const std::string body = detail::WriteRequestBody(
        "UploadCafRequest",
        {{"Environment", ambiente},
         {"Base64StrCaf", detail::EncodeBase64(detail::ReadFileBytes(cafFilePath))}});
    const std::string url = detail::ServiceUrl(detail::ServicioAccess::ApiUri(*this), "/UploadCaf");
    detail::ApplyResult(detail::ServiceAnswer(detail::ServicioAccess::Post(*this, url, body)),
                        *result);
  });
  return result;
}

}  // namespace QuarloCliente
