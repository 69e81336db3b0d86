#pragma once

#include <memory>
#include <optional>
#include <quarlo/resultados.hpp>
#include <quarlo/xml_document.hpp>
#include <string>
#include <string_view>

#include "core/transport.hpp"

namespace QuarloCliente::detail {

// The service's answer to one exchange, read with the library's selection rule. A missing
// element is reported in words the caller can act on: "la respuesta no contiene el elemento
// Result", or, when the body was not XML at all, "HTTP 502: la respuesta no es XML". Every
// failure it throws is a Failure: an HTTP 4xx is the service's refusal, a 5xx its own error
// whatever the body says, anything else that cannot be read a RespuestaInvalida.
class ServiceAnswer {
 public:
  // Throws an ErrorServidor Failure for an HTTP 5xx, with the service's Description when the
  // body has one.
  explicit ServiceAnswer(const HttpAnswer& http);

  // The text of the first element with this name anywhere in the answer; throws when the answer
  // has none.
  std::string Text(std::string_view name) const;
  // The same, or nullopt when the answer has no such element.
  std::optional<std::string> Find(std::string_view name) const;
  // The service's Description, with the secrets of the exchange masked; throws when the answer
  // has none.
  std::string Description() const;
  // The Description of a refusal; a refusal without one still throws a RechazoServicio.
  std::string Refusal() const;
  // The Result code; an HTTP 4xx whose Result is "0" throws a RechazoServicio, since the status
  // says the service refused.
  std::string ResultCode() const;
  // The parsed answer.
  const XmlDocument& Document() const { return *document_; }

 private:
  [[noreturn]] void ThrowMissing(std::string_view name, TipoFallo kind) const;
  std::string HttpPrefix() const;

  std::shared_ptr<const XmlDocument> document_;
  long status_;
  Secrets secrets_;
};

// Estado from "Result"; when it is not "0", SetError with "Description" as a RechazoServicio.
// True on "0".
bool ApplyResult(const ServiceAnswer& answer, ResultadoServicio& status);

// Estado and Descripcion copied from "Result" and "Description", whatever the code; a code other
// than "0" is a RechazoServicio.
void CopyResult(const ServiceAnswer& answer, ResultadoServicio& status);

}  // namespace QuarloCliente::detail
