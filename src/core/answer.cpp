#include "core/answer.hpp"

#include <quarlo/error.hpp>

#include "core/failure.hpp"
#include "core/selector.hpp"
#include "core/xml_document.hpp"

namespace QuarloCliente::detail {

namespace {

bool IsClientError(long status) {
  return status >= 400 && status < 500;
}

}  // namespace

ServiceAnswer::ServiceAnswer(const HttpAnswer& http)
    : document_(http.document ? http.document : std::make_shared<const XmlDocument>()),
      status_(http.status),
      secrets_(http.secrets) {
  AnswerScope::NoteAnswer();
  if (status_ < 500) return;
  std::string why = "error del servidor";
  if (document_->IsEmpty()) {
    why = "la respuesta no es XML";
  } else if (std::optional<std::string> description = Find("Description")) {
    why = secrets_.Mask(*std::move(description));
  }
  throw Failure(TipoFallo::ErrorServidor, HttpPrefix() + why);
}

std::string ServiceAnswer::HttpPrefix() const {
  return "HTTP " + std::to_string(status_) + ": ";
}

std::optional<std::string> ServiceAnswer::Find(std::string_view name) const {
  const xmlNode* element =
      SelectFirstElement(XmlDocumentAccess::Doc(*document_), "//" + std::string(name));
  if (element == nullptr) return std::nullopt;
  return NodeText(element);
}

void ServiceAnswer::ThrowMissing(std::string_view name, TipoFallo kind) const {
  if (document_->IsEmpty()) throw Failure(kind, HttpPrefix() + "la respuesta no es XML");
  // An error page that happens to be well-formed XML still says which status came with it.
  const std::string missing = "la respuesta no contiene el elemento " + std::string(name);
  if (status_ >= 300) throw Failure(kind, HttpPrefix() + missing);
  throw Failure(kind, missing);
}

std::string ServiceAnswer::Text(std::string_view name) const {
  if (std::optional<std::string> text = Find(name)) return *std::move(text);
  ThrowMissing(name,
               IsClientError(status_) ? TipoFallo::RechazoServicio : TipoFallo::RespuestaInvalida);
}

std::string ServiceAnswer::Description() const {
  // A service may echo what it was sent, the key or a password among it.
  return secrets_.Mask(Text("Description"));
}

std::string ServiceAnswer::Refusal() const {
  if (std::optional<std::string> text = Find("Description")) return secrets_.Mask(*text);
  ThrowMissing("Description", TipoFallo::RechazoServicio);
}

std::string ServiceAnswer::ResultCode() const {
  std::string code = Text("Result");
  if (code == "0" && IsClientError(status_)) {
    throw Failure(TipoFallo::RechazoServicio, HttpPrefix() + "el servicio rechazó la solicitud");
  }
  return code;
}

bool ApplyResult(const ServiceAnswer& answer, ResultadoServicio& status) {
  status.Estado = answer.ResultCode();
  if (status.Estado == "0") {
    status.Fallo = TipoFallo::Ninguno;
    return true;
  }
  status.SetError(answer.Refusal(), TipoFallo::RechazoServicio);
  return false;
}

void CopyResult(const ServiceAnswer& answer, ResultadoServicio& status) {
  status.Estado = answer.ResultCode();
  const bool refused = status.Estado != "0";
  status.Descripcion = refused ? answer.Refusal() : answer.Description();
  status.Fallo = refused ? TipoFallo::RechazoServicio : TipoFallo::Ninguno;
}

}  // namespace QuarloCliente::detail
