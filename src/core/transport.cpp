#include "core/transport.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <string_view>
#include <vector>

#include "core/failure.hpp"
#include "core/xml.hpp"
#include "core/xml_document.hpp"

namespace QuarloCliente::detail {

namespace {

constexpr std::size_t kMaxResponseBytes = std::size_t{512} << 20;
constexpr std::string_view kUtf8Declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";

// libcurl's global set-up, tried once per process; every transport made after a failure of it
// refuses to work rather than use a half-initialised libcurl.
void EnsureCurlInitialised() {
  static const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (code != CURLE_OK) {
    throw Failure(TipoFallo::ErrorLocal, std::string("no se pudo iniciar el cliente HTTP (") +
                                             curl_easy_strerror(code) + ")");
  }
}

struct SlistFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistFree>;

struct CurlFree {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

void Append(HeaderList& list, const std::string& line) {
  curl_slist* grown = curl_slist_append(list.get(), line.c_str());
  if (grown == nullptr) throw Failure(TipoFallo::ErrorLocal, "sin memoria para las cabeceras HTTP");
  list.release();
  list.reset(grown);
}

// "Name;" is libcurl's way of sending a header with an empty value ("Name:" would drop it).
std::string HeaderLine(std::string_view name, std::string_view value) {
  std::string line(name);
  if (value.empty()) return line + ";";
  return line.append(": ").append(value);
}

HeaderList BuildHeaders(const std::string& apiKey, const std::string* soapAction) {
  if (HasLineBreak(apiKey)) {
    throw Failure(TipoFallo::ErrorLocal, "la llave de la API contiene un salto de línea");
  }
  HeaderList list;
  Append(list, HeaderLine("AuthKey", apiKey));
  Append(list, HeaderLine("Cache-Control", "max-age=0"));
  if (soapAction != nullptr) {
    Append(list, HeaderLine("SOAPAction", *soapAction));
    Append(list, HeaderLine("Content-Type", "application/xml; charset=utf-8"));
  }
  // libcurl would otherwise add "Expect: 100-continue" to larger bodies and wait for a reply
  // that many services never send.
  Append(list, "Expect:");
  return list;
}

void CheckUrl(const std::string& url) {
  if (url.empty() || url.front() == '/') {
    throw Failure(TipoFallo::ErrorLocal,
                  "no se ha configurado la URI del servicio (llame a Configurar)");
  }
  for (const char c : url) {
    if (static_cast<unsigned char>(c) < 0x20) {
      throw Failure(TipoFallo::ErrorLocal, "la URL contiene caracteres de control");
    }
  }
}

size_t CollectBody(char* data, size_t size, size_t count, void* target) {
  auto* body = static_cast<std::string*>(target);
  const size_t bytes = size * count;
  if (body->size() + bytes > kMaxResponseBytes) return 0;
  body->append(data, bytes);
  return bytes;
}

}  // namespace

HttpAnswer::HttpAnswer(std::string_view xml, long httpStatus, std::string type)
    : status(httpStatus), contentType(std::move(type)) {
  XmlDocument parsed = XmlDocument::Parse(xml);
  if (!parsed.IsEmpty()) document = std::make_shared<const XmlDocument>(std::move(parsed));
}

std::string HttpAnswer::Xml() const {
  return document ? document->Xml() : std::string();
}

namespace {

template <typename T>
void Set(CURL* curl, CURLoption option, T value) {
  if (curl_easy_setopt(curl, option, value) != CURLE_OK) {
    throw Failure(TipoFallo::ErrorLocal, "el cliente HTTP rechazó una opción de configuración");
  }
}

// A POST's body as libcurl reads it. Given through a read function that cannot rewind, rather
// than as POSTFIELDS, so that libcurl never sends it a second time by itself: when a kept-alive
// connection dies with no byte of answer, libcurl would repeat the request on a new one, and a
// request the service had already processed (a submission) would arrive twice.
struct BodySource {
  std::string_view left;
};

std::size_t ReadBody(char* buffer, std::size_t size, std::size_t count, void* source) {
  auto* body = static_cast<BodySource*>(source);
  const std::size_t taken = std::min(size * count, body->left.size());
  body->left.copy(buffer, taken);
  body->left.remove_prefix(taken);
  return taken;
}

// What every exchange of the handle shares, set once when the handle is made.
void ApplyFixedOptions(CURL* curl, char* errorBuffer) {
  Set(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  // Segments are already percent-encoded; "%2E%2E" must reach the service as written.
  Set(curl, CURLOPT_PATH_AS_IS, 1L);
  Set(curl, CURLOPT_NOSIGNAL, 1L);
  Set(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  Set(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  Set(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  // An answer that announces more than the cap is refused before its body comes; one that does
  // not is cut off by CollectBody.
  Set(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxResponseBytes));
  Set(curl, CURLOPT_WRITEFUNCTION, &CollectBody);
  Set(curl, CURLOPT_ERRORBUFFER, errorBuffer);
}

}  // namespace

// The handle keeps its options from call to call rather than being reset: each call sets all that
// may differ (address, headers, limits, method, body, answer buffer), and a submission repeated
// for many documents then pays for none of the rest.
struct Transport::Handle {
  std::unique_ptr<CURL, CurlFree> curl;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  // The header lines of the last call and what they were built from.
  HeaderList headers;
  std::string headersKey;
  std::string headersAction;
  bool headersForPost = false;

  curl_slist* Headers(const std::string& apiKey, const std::string* soapAction) {
    const bool forPost = soapAction != nullptr;
    if (!headers || forPost != headersForPost || apiKey != headersKey ||
        (forPost && *soapAction != headersAction)) {
      headers = BuildHeaders(apiKey, soapAction);
      headersKey = apiKey;
      headersAction = forPost ? *soapAction : std::string();
      headersForPost = forPost;
    }
    return headers.get();
  }
};

Transport::Transport() : handle_(std::make_unique<Handle>()) {
  EnsureCurlInitialised();
  EnsureXmlInitialised();
  handle_->curl.reset(curl_easy_init());
  if (!handle_->curl) throw Failure(TipoFallo::ErrorLocal, "no se pudo crear el cliente HTTP");
  ApplyFixedOptions(handle_->curl.get(), handle_->errorBuffer);
}

Transport::~Transport() = default;

namespace {

// libcurl measures a stall in whole seconds: a limit with a fraction of a second is rounded up,
// so that a stall is never declared before the caller's limit has passed. 0 switches it off.
long StallSeconds(const LimitesTransporte& limits) {
  return static_cast<long>(std::chrono::ceil<std::chrono::seconds>(limits.estancamiento).count());
}

void ApplyCallOptions(CURL* curl, const std::string& url, const LimitesTransporte& limits,
                      curl_slist* headers) {
  Set(curl, CURLOPT_URL, url.c_str());
  Set(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.conexion.count()));
  Set(curl, CURLOPT_LOW_SPEED_TIME, StallSeconds(limits));
  Set(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.plazoTotal.count()));
  Set(curl, CURLOPT_HTTPHEADER, headers);
}

// Whether the exchange reached the service: it connected, or a connection kept from an earlier
// exchange (whose connect time reads 0) carried its request. False also when libcurl cannot tell.
bool Connected(CURL* curl) {
  curl_off_t connectTime = 0;
  long requestBytes = 0;
  return (curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connectTime) == CURLE_OK &&
          connectTime > 0) ||
         (curl_easy_getinfo(curl, CURLINFO_REQUEST_SIZE, &requestBytes) == CURLE_OK &&
          requestBytes > 0);
}

// A limit as the caller would write it: "2 s" for whole seconds, "300 ms" otherwise.
std::string LimitText(std::chrono::milliseconds limit) {
  if (limit.count() % 1000 == 0) return std::to_string(limit.count() / 1000) + " s";
  return std::to_string(limit.count()) + " ms";
}

// libcurl reports all three limits with one code: the time spent tells the total deadline (0
// being none), the connection the stall.
std::string DescribeTimeout(CURL* curl, const LimitesTransporte& limits,
                            std::chrono::steady_clock::duration spent) {
  if (limits.plazoTotal.count() > 0 && spent >= limits.plazoTotal) {
    return "se superó el plazo total de " + LimitText(limits.plazoTotal) + " para la operación";
  }
  if (Connected(curl)) {
    return "el servicio dejó de responder (menos de 1 byte/s durante " +
           LimitText(std::chrono::seconds(StallSeconds(limits))) + ")";
  }
  return "se agotó el tiempo de conexión con el servicio (" +
         std::to_string(limits.conexion.count()) + " ms)";
}

// What libcurl's refusal of a status line or protocol version means to the caller.
constexpr std::string_view kNotHttp = "el servicio respondió algo que no es HTTP";

std::string DescribeFailure(CURL* curl, CURLcode code, const LimitesTransporte& limits,
                            std::chrono::steady_clock::duration spent, const char* detail) {
  std::string text;
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return DescribeTimeout(curl, limits, spent);
    case CURLE_COULDNT_CONNECT:
      text = "no se pudo conectar con el servicio";
      break;
    case CURLE_COULDNT_RESOLVE_HOST:
      text = "no se pudo resolver el nombre del servicio";
      break;
    // libcurl gives these codes to an answer that is not HTTP as well (no status line, an
    // unknown version): only an exchange that never connected was stopped by its URL.
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      text = Connected(curl) ? kNotHttp
                             : "la URL del servicio no es válida (revise la URI configurada)";
      break;
    case CURLE_WEIRD_SERVER_REPLY:
      text = kNotHttp;
      break;
    case CURLE_GOT_NOTHING:
    // The only rewind a POST asks for is the repeat, refused, of a request whose connection died.
    case CURLE_SEND_FAIL_REWIND:
      text = "el servicio cerró la conexión sin responder";
      break;
    case CURLE_WRITE_ERROR:
    case CURLE_FILESIZE_EXCEEDED:
      text = "la respuesta del servicio es demasiado grande";
      break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE:
      text = "falló la conexión segura (TLS) con el servicio";
      break;
    default:
      text = "falló la comunicación con el servicio";
      break;
  }
  const std::string_view why = detail[0] != '\0' ? detail : curl_easy_strerror(code);
  return text.append(" (").append(why).append(")");
}

// Why an exchange that libcurl ended with `code` failed. Whether the request may have reached the
// service is what a caller that must not send twice needs, so a code that libcurl also gives
// before connecting is told apart by the connection.
TipoFallo KindOf(CURL* curl, CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    // The TLS handshake comes before any byte of the request.
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
      return TipoFallo::SinConexion;
    // A connect limit that runs out sent nothing: the caller may send again without doubt.
    case CURLE_OPERATION_TIMEDOUT:
      return Connected(curl) ? TipoFallo::TiempoAgotado : TipoFallo::SinConexion;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return Connected(curl) ? TipoFallo::RespuestaInvalida : TipoFallo::ErrorLocal;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_WRITE_ERROR:
    case CURLE_FILESIZE_EXCEEDED:
    case CURLE_BAD_CONTENT_ENCODING:
      return TipoFallo::RespuestaInvalida;
    case CURLE_SSL_CACERT_BADFILE:
      return TipoFallo::ErrorLocal;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_FAIL_REWIND:
    case CURLE_PARTIAL_FILE:
      return TipoFallo::FalloTransporte;
    default:
      return Connected(curl) ? TipoFallo::FalloTransporte : TipoFallo::SinConexion;
  }
}

// One fact libcurl keeps about the finished exchange; throws a Failure when it cannot give it.
template <typename T>
void GetInfo(CURL* curl, CURLINFO info, T* value) {
  if (curl_easy_getinfo(curl, info, value) != CURLE_OK) {
    throw Failure(TipoFallo::FalloTransporte,
                  "el cliente HTTP no informó cómo terminó el intercambio");
  }
}

// The answer's bytes as a document; a declaration of entities is refused in the answer's words.
XmlDocPtr ParseAnswer(std::string_view body) {
  try {
    return ParseNetworkXml(body);
  } catch (const EntitiesRefused&) {
    throw Failure(TipoFallo::RespuestaInvalida,
                  "la respuesta declara entidades XML, que no se admiten");
  } catch (const Error& e) {
    throw Failure(TipoFallo::RespuestaInvalida, e.what());
  }
}

HttpAnswer Perform(CURL* curl, const Secrets& secrets, const LimitesTransporte& limits,
                   char* errorBuffer) {
  std::string body;
  Set(curl, CURLOPT_WRITEDATA, static_cast<void*>(&body));
  errorBuffer[0] = '\0';
  const auto start = std::chrono::steady_clock::now();
  const CURLcode code = curl_easy_perform(curl);
  if (code != CURLE_OK) {
    const auto spent = std::chrono::steady_clock::now() - start;
    throw Failure(KindOf(curl, code),
                  secrets.Mask(DescribeFailure(curl, code, limits, spent, errorBuffer)));
  }
  HttpAnswer answer;
  answer.secrets = secrets;
  GetInfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
  const char* contentType = nullptr;
  GetInfo(curl, CURLINFO_CONTENT_TYPE, &contentType);
  if (contentType != nullptr) answer.contentType = contentType;
  if (XmlDocPtr doc = ParseAnswer(body)) {
    // Kept as if parsed from its re-serialised text, whose declaration is the UTF-8 one.
    answer.document = std::make_shared<const XmlDocument>(
        XmlDocumentAccess::Adopt(std::move(doc), std::string(kUtf8Declaration)));
  }
  return answer;
}

}  // namespace

HttpAnswer Transport::Get(const std::string& url, const std::string& apiKey, const Secrets& secrets,
                          const LimitesTransporte& limits) {
  CheckUrl(url);
  CURL* curl = handle_->curl.get();
  ApplyCallOptions(curl, url, limits, handle_->Headers(apiKey, nullptr));
  Set(curl, CURLOPT_HTTPGET, 1L);
  return Perform(curl, secrets, limits, handle_->errorBuffer);
}

HttpAnswer Transport::Post(const std::string& url, const std::string& body,
                           const std::string& apiKey, const Secrets& secrets,
                           const LimitesTransporte& limits) {
  CheckUrl(url);
  CURL* curl = handle_->curl.get();
  ApplyCallOptions(curl, url, limits, handle_->Headers(apiKey, &url));
  BodySource source{body};
  Set(curl, CURLOPT_POST, 1L);
  Set(curl, CURLOPT_POSTFIELDS, static_cast<const char*>(nullptr));
  Set(curl, CURLOPT_READFUNCTION, &ReadBody);
  Set(curl, CURLOPT_READDATA, static_cast<void*>(&source));
  Set(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  return Perform(curl, secrets, limits, handle_->errorBuffer);
}

}  // namespace QuarloCliente::detail
