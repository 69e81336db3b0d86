#include "core/answer.hpp"

#include <quarlo/error.hpp>

#include "core/selector.hpp"
#include "core/xml_document.hpp"

namespace QuarloCliente::detail {

ServiceAnswer::ServiceAnswer(const HttpAnswer& http)
    : document_(http.document ? http.document : std::make_shared<const XmlDocument>()),
      status_(http.status),
      secrets_(http.secrets) {}

std::optional<std::string> ServiceAnswer::Find(std::string_view name) const {
  const xmlNode* element =
      SelectFirstElement(XmlDocumentAccess::Doc(*document_), "//" + std::string(name));
  if (element == nullptr) return std::nullopt;
  return NodeText(element);
}

std::string ServiceAnswer::Text(std::string_view name) const {
  if (std::optional<std::string> text = Find(name)) return *std::move(text);
  if (document_->IsEmpty()) {
    throw Error("HTTP " + std::to_string(status_) + ": la respuesta no es XML");
  }
  // An error page that happens to be well-formed XML still says which status came with it.
  const std::string missing = "la respuesta no contiene el elemento " + std::string(name);
  if (status_ >= 300) throw Error("HTTP " + std::to_string(status_) + ": " + missing);
  throw Error(missing);
}

std::string ServiceAnswer::Description() const {
  // A service may echo what it was sent, the key or a password among it.
  return secrets_.Mask(Text("Description"));
}

bool ApplyResult(const ServiceAnswer& answer, ResultadoServicio& status) {
  status.Estado = answer.Text("Result");
  if (status.Estado == "0") return true;
  status.SetError(answer.Description());
  return false;
}

void CopyResult(const ServiceAnswer& answer, ResultadoServicio& status) {
  status.Estado = answer.Text("Result");
  status.Descripcion = answer.Description();
}

}  // namespace QuarloCliente::detail
