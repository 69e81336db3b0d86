#pragma once

#include <memory>
#include <quarlo/servicio.hpp>
#include <quarlo/xml_document.hpp>
#include <string>
#include <string_view>

#include "core/secrets.hpp"

namespace QuarloCliente::detail {

// What one exchange brought back: the body parsed as XML (nullptr when it is not XML), the HTTP
// status and content type, kept so that a failure can say what came instead, and the secrets the
// exchange was made with, which no description read from it may show. The readers of an answer
// select from the parsed document; only the private HttpGet and HttpPost hand out its text, which
// is therefore written on demand rather than for every exchange.
struct HttpAnswer {
  HttpAnswer() = default;
  // An answer whose body was this UTF-8 text, parsed as the library parses text it holds.
  HttpAnswer(std::string_view xml, long httpStatus, std::string type);

  // The body re-serialised by libxml2 as UTF-8 text under a UTF-8 declaration, "" when it is not
  // XML.
  std::string Xml() const;

  std::shared_ptr<const XmlDocument> document;
  long status = 0;
  std::string contentType;
  Secrets secrets;
};

// One libcurl handle, reused from call to call so that its connection can be kept; no cookies.
// Every call is one synchronous exchange; a failure of the exchange itself throws a Failure with
// its kind (a refused argument is ErrorLocal), whose description shows none of `secrets` (the
// API key among them).
class Transport {
 public:
  Transport();
  ~Transport();
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // A GET of the url, with the API key in its header.
  HttpAnswer Get(const std::string& url, const std::string& apiKey, const Secrets& secrets,
                 const LimitesTransporte& limits);
  // A POST of the body to the url, with the API key in its header.
  HttpAnswer Post(const std::string& url, const std::string& body, const std::string& apiKey,
                  const Secrets& secrets, const LimitesTransporte& limits);

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

}  // namespace QuarloCliente::detail
