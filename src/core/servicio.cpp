#include <quarlo/servicio.hpp>

#include "core/base64.hpp"
#include "core/charset.hpp"
#include "core/failure.hpp"
#include "core/servicio_access.hpp"
#include "core/servicio_internals.hpp"
#include "core/transport.hpp"
#include "core/xml.hpp"

namespace QuarloCliente {

Servicio::Servicio() : estado_(std::make_unique<Estado>()) {
  CheckDependencies();
}

Servicio::~Servicio() = default;
Servicio::Servicio(Servicio&&) noexcept = default;
Servicio& Servicio::operator=(Servicio&&) noexcept = default;

void Servicio::Configurar(const std::string& pApiUri, const std::string& pApiLlave) {
  Estado& estado = detail::ServicioAccess::Write(*this);
  estado.apiUri = pApiUri;
  estado.apiLlave = pApiLlave;
  QuarloVersion = 0;
}

void Servicio::ConfigurarLimites(const LimitesTransporte& limites) {
  detail::ServicioAccess::Write(*this).limites = limites;
}

bool Servicio::CheckXMLDependency() {
  try {
    detail::EnsureXmlInitialised();
    const detail::XmlDocPtr doc(xmlNewDoc(detail::Xc("1.0")));
    return doc != nullptr;
  } catch (...) {
    return false;
  }
}

bool Servicio::CheckADODBDependency() {
  try {
    const std::string sample = "Ñuñoa €";
    const Bytes iso = detail::Utf8ToLatin1(sample);
    const Bytes expected = {0xD1, 'u', 0xF1, 'o', 'a', ' ', '?'};
    return iso == expected && detail::Latin1ToUtf8(iso) == "Ñuñoa ?";
  } catch (...) {
    return false;
  }
}

bool Servicio::CheckDependencies() {
  const bool xml = CheckXMLDependency();
  const bool charset = CheckADODBDependency();
  return xml && charset;
}

std::string Servicio::EncodeBase64(const Bytes& arrData) {
  return detail::EncodeBase64(arrData);
}

Bytes Servicio::DecodeBase64(const std::string& text) {
  return detail::DecodeBase64(text);
}

Long Servicio::GetArrayLength(const Variant& ArrayName) {
  const Bytes* array = ArrayName.Array();
  if (array == nullptr || array->empty()) return -1;
  return static_cast<Long>(array->size() - 1);
}

namespace detail {

namespace {
Transport& TransportOf(std::unique_ptr<Transport>& transport) {
  if (!transport) transport = std::make_unique<Transport>();
  return *transport;
}
}  // namespace

Servicio::Estado& ServicioAccess::Write(Servicio& s) {
  if (!s.estado_) s.estado_ = std::make_unique<Servicio::Estado>();
  return *s.estado_;
}

const Servicio::Estado& ServicioAccess::Read(const Servicio& s) {
  static const Servicio::Estado kNew;
  return s.estado_ ? *s.estado_ : kNew;
}

Servicio ServicioAccess::Twin(const Servicio& s) {
  Servicio twin;
  twin.Configurar(ApiUri(s), ApiLlave(s));
  twin.ConfigurarLimites(Read(s).limites);
  return twin;
}

HttpAnswer ServicioAccess::Get(Servicio& s, const std::string& url, const std::string& alsoSecret) {
  Servicio::Estado& estado = Write(s);
  SecretsScope::Note({estado.apiLlave, alsoSecret});
  HttpAnswer answer =
      TransportOf(estado.transport)
          .Get(url, estado.apiLlave, Secrets({estado.apiLlave, alsoSecret}), estado.limites);
  AnswerScope::NoteAnswer();
  return answer;
}

HttpAnswer ServicioAccess::Post(Servicio& s, const std::string& url, const std::string& body) {
  Servicio::Estado& estado = Write(s);
  SecretsScope::Note({estado.apiLlave});
  HttpAnswer answer =
      TransportOf(estado.transport)
          .Post(url, body, estado.apiLlave, Secrets({estado.apiLlave}), estado.limites);
  AnswerScope::NoteAnswer();
  return answer;
}

std::string HttpGet(Servicio& servicio, const std::string& url) {
  return ServicioAccess::Get(servicio, url).Xml();
}

std::string HttpPost(Servicio& servicio, const std::string& url, const std::string& body) {
  return ServicioAccess::Post(servicio, url, body).Xml();
}

}  // namespace detail

}  // namespace QuarloCliente
