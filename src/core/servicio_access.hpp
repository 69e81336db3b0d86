#pragma once

#include <quarlo/servicio.hpp>
#include <string>

#include "core/transport.hpp"

namespace QuarloCliente::detail {

// The one door to a Servicio's configuration and transport for the library's own code and
// tests; operations in every area exchange with the service through it.
struct ServicioAccess {
  static const std::string& ApiUri(const Servicio& s) { return s.ApiUri; }
  static const std::string& ApiLlave(const Servicio& s) { return s.ApiLlave; }
  // A new instance with the same service, key and limits, and a connection of its own.
  static Servicio Twin(const Servicio& s) {
    Servicio twin;
    twin.Configurar(s.ApiUri, s.ApiLlave);
    twin.ConfigurarLimites(s.limites_);
    return twin;
  }

  // One GET or POST, with the answer's status and content type kept beside its XML text. The
  // API key, and `alsoSecret` when the request carries one (the SII password of a
  // reconciliation), are kept out of every description of the exchange.
  static HttpAnswer Get(Servicio& s, const std::string& url, const std::string& alsoSecret = {});
  static HttpAnswer Post(Servicio& s, const std::string& url, const std::string& body);

  // The private members as they stand, for tests.
  static std::string HttpGet(Servicio& s, const std::string& url) { return s.HttpGet(url); }
  static std::string HttpPost(Servicio& s, const std::string& url, const std::string& body) {
    return s.HttpPost(url, body);
  }
  static std::string CleanBindingXml(Servicio& s, const std::string& xml) {
    return s.CleanBindingXml(xml);
  }
  static std::string CleanBindingXmlKeepNamespace(Servicio& s, const std::string& xml) {
    return s.CleanBindingXmlKeepNamespace(xml);
  }
  static Bytes TextToBytes(Servicio& s, const std::string& text, const std::string& charset) {
    return s.TextToBytes(text, charset);
  }
  static std::string BytesToText(Servicio& s, const Bytes& bytes, const std::string& charset) {
    return s.BytesToText(bytes, charset);
  }
  static Bytes TextToIsoBytes(Servicio& s, const std::string& text) {
    return s.TextToIsoBytes(text);
  }
  static std::string IsoBytesToText(Servicio& s, const Bytes& bytes) {
    return s.IsoBytesToText(bytes);
  }
  // A whole file's bytes; throws Error for a missing, unreadable or empty file.
  static Bytes ReadFileBytes(Servicio& s, const std::string& path) { return s.ReadFileBytes(path); }
  static std::shared_ptr<ResultadoEnviarDocumento> ParseSendDocumentResponse(
      Servicio& s, const HttpAnswer& answer) {
    return s.ParseSendDocumentResponse(answer);
  }
};

}  // namespace QuarloCliente::detail
