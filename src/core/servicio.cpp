#include <quarlo/servicio.hpp>

#include "core/base64.hpp"
#include "core/charset.hpp"
#include "core/failure.hpp"
#include "core/servicio_access.hpp"
#include "core/transport.hpp"
#include "core/xml.hpp"

namespace QuarloCliente {

Servicio::Servicio() {
  CheckDependencies();
}

Servicio::~Servicio() = default;
Servicio::Servicio(Servicio&&) noexcept = default;
Servicio& Servicio::operator=(Servicio&&) noexcept = default;

void Servicio::Configurar(const std::string& pApiUri, const std::string& pApiLlave) {
  ApiUri = pApiUri;
  ApiLlave = pApiLlave;
  QuarloVersion = 0;
}

void Servicio::ConfigurarLimites(const LimitesTransporte& limites) {
  limites_ = limites;
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

std::string Servicio::HttpGet(const std::string& url) {
  return detail::ServicioAccess::Get(*this, url).Xml();
}

std::string Servicio::HttpPost(const std::string& url, const std::string& body) {
  return detail::ServicioAccess::Post(*this, url, body).Xml();
}

Bytes Servicio::TextToBytes(const std::string& text, const std::string& charset) {
  return detail::TextToBytes(text, charset);
}

std::string Servicio::BytesToText(const Bytes& bytes, const std::string& charset) {
  return detail::BytesToText(bytes, charset);
}

Bytes Servicio::TextToIsoBytes(const std::string& text) {
  return TextToBytes(text, "ISO-8859-1");
}

std::string Servicio::IsoBytesToText(const Bytes& bytes) {
  return BytesToText(bytes, "ISO-8859-1");
}

namespace detail {

namespace {
Transport& TransportOf(std::unique_ptr<Transport>& transport) {
  if (!transport) transport = std::make_unique<Transport>();
  return *transport;
}
}  // namespace

HttpAnswer ServicioAccess::Get(Servicio& s, const std::string& url, const std::string& alsoSecret) {
  SecretsScope::Note({s.ApiLlave, alsoSecret});
  HttpAnswer answer =
      TransportOf(s.transport_).Get(url, s.ApiLlave, Secrets({s.ApiLlave, alsoSecret}), s.limites_);
  AnswerScope::NoteAnswer();
  return answer;
}

HttpAnswer ServicioAccess::Post(Servicio& s, const std::string& url, const std::string& body) {
  SecretsScope::Note({s.ApiLlave});
  HttpAnswer answer =
      TransportOf(s.transport_).Post(url, body, s.ApiLlave, Secrets({s.ApiLlave}), s.limites_);
  AnswerScope::NoteAnswer();
  return answer;
}

}  // namespace detail

}  // namespace QuarloCliente
