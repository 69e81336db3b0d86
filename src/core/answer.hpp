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
// Result", or, when the body was not XML at all, "HTTP 502: la respuesta no es XML".
class ServiceAnswer {
 public:
  explicit ServiceAnswer(const HttpAnswer& http);

  // The text of the first element with this name anywhere in the answer; throws Error when the
  // answer has none.
  std::string Text(std::string_view name) const;
  // The same, or nullopt when the answer has no such element.
  std::optional<std::string> Find(std::string_view name) const;
  // The service's Description, with the secrets of the exchange masked; throws Error when the
  // answer has none.
  std::string Description() const;
  // The parsed answer.
  const XmlDocument& Document() const { return *document_; }

 private:
  std::shared_ptr<const XmlDocument> document_;
  long status_;
  Secrets secrets_;
};

// Estado from "Result"; when it is not "0", SetError with "Description". True on "0".
bool ApplyResult(const ServiceAnswer& answer, ResultadoServicio& status);

// Estado and Descripcion copied from "Result" and "Description", whatever the code.
void CopyResult(const ServiceAnswer& answer, ResultadoServicio& status);

}  // namespace QuarloCliente::detail
