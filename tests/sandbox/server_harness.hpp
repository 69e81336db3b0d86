#pragma once

// An in-process sandbox on a free loopback port, and requests written the way the library writes
// them, for the server tests.

#include <httplib.h>

#include <functional>
#include <memory>
#include <quarlo/namespaces.hpp>
#include <regex>
#include <string>
#include <string_view>

#include "core/base64.hpp"
#include "core/charset.hpp"
#include "core/selector.hpp"
#include "core/xml.hpp"
#include "crypto/caf.hpp"
#include "server/http_server.hpp"
#include "sii_schemas.hpp"
#include "store/store.hpp"

namespace QuarloSandbox::testing {

namespace qd = QuarloCliente::detail;

inline constexpr const char* kApiKey = "llave-de-prueba";
inline constexpr const char* kIssuer = "76543210-3";        // of factura_33.xml
inline constexpr const char* kBoletaIssuer = "76981442-6";  // of boleta_39.xml
inline constexpr const char* kReceiver = "77214903-4";

// The authority key is made once: RSA key generation is the slow part of a test.
inline const AuthorityKey& TestAuthority() {
  static const AuthorityKey key = AuthorityKey::Generate();
  return key;
}

// An answer of the sandbox: its HTTP status and its elements.
struct Reply {
  int status = 0;
  std::string body;

  // The text of the first element of that name, "" when there is none.
  std::string Field(std::string_view name) const {
    const auto doc = qd::ParseHeldXml(body);
    if (!doc) return {};
    const xmlNode* node = qd::SelectFirstElement(doc.get(), "//" + std::string(name));
    return node ? qd::NodeText(node) : std::string{};
  }
  bool Ok() const { return status == 200 && Field("Result") == "0"; }
  // The UTF-8 text of an element that carries Base64 of ISO-8859-1 bytes.
  std::string IsoField(std::string_view name) const {
    return qd::Latin1ToUtf8(qd::DecodeBase64(Field(name)));
  }
};

inline std::ostream& operator<<(std::ostream& out, const Reply& reply) {
  return out << reply.status << " " << reply.body.substr(0, 600);
}

class Sandbox {
 public:
  explicit Sandbox(const std::string& db = "", FrontEndLimits limits = {},
                   std::function<void(const std::string&)> log = {}, FaultSettings faults = {})
      : store_(std::make_unique<Store>(db)),
        server_(std::make_unique<SandboxServer>(ServiceContext{*store_, TestAuthority()},
                                                ApiKeys({kApiKey}), std::move(log), limits,
                                                std::move(faults))) {
    port_ = server_->Bind("127.0.0.1", 0);
    server_->Start();
  }

  Reply Get(const std::string& path, const char* key = kApiKey) const {
    httplib::Client client("127.0.0.1", port_);
    httplib::Headers headers{{"Cache-Control", "max-age=0"}};
    if (key) headers.emplace("AuthKey", key);
    return Wrap(client.Get(path, headers));
  }
  Reply Post(const std::string& path, const std::string& body, const char* key = kApiKey) const {
    httplib::Client client("127.0.0.1", port_);
    httplib::Headers headers{{"Cache-Control", "max-age=0"}};
    if (key) headers.emplace("AuthKey", key);
    return Wrap(client.Post(path, headers, body, "application/xml; charset=utf-8"));
  }
  void Stop() { server_->Stop(); }
  int Port() const { return port_; }

 private:
  static Reply Wrap(const httplib::Result& result) {
    if (!result) return Reply{-1, "sin respuesta: " + httplib::to_string(result.error())};
    return Reply{result->status, result->body};
  }

  std::unique_ptr<Store> store_;
  std::unique_ptr<SandboxServer> server_;
  int port_ = 0;
};

// A request body as the library writes it: the root in the service's namespace, the children in
// order, values escaped.
inline std::string Body(std::string_view root,
                        std::initializer_list<std::pair<std::string_view, std::string>> fields) {
  std::string body =
      "<" + std::string(root) + " xmlns=\"" + std::string(QuarloCliente::ApiNamespace) + "\">";
  for (const auto& [name, value] : fields) {
    std::string escaped;
    for (const char c : value) {
      escaped += c == '&'   ? std::string("&amp;")
                 : c == '<' ? std::string("&lt;")
                            : std::string(1, c);
    }
    body += "<" + std::string(name) + ">" + escaped + "</" + std::string(name) + ">";
  }
  return body + "</" + std::string(root) + ">";
}

inline std::string Base64Of(std::string_view bytes) {
  return qd::EncodeBase64(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

inline std::string IsoBase64Of(std::string_view utf8) {
  return qd::EncodeBase64(qd::Utf8ToLatin1(utf8));
}

// A fixture document with its folio (the IdDoc one) replaced, the SII namespace declaration
// dropped from the root as the library's clean-up drops it.
inline std::string FixtureWithFolio(std::string_view file, long folio) {
  std::string xml = QuarloCliente::testing::ReadTestData(file);
  xml = std::regex_replace(xml, std::regex(" xmlns=\"http://www.sii.cl/SiiDte\""), "",
                           std::regex_constants::format_first_only);
  return std::regex_replace(xml, std::regex("<Folio>[0-9]+</Folio>"),
                            "<Folio>" + std::to_string(folio) + "</Folio>",
                            std::regex_constants::format_first_only);
}

// The Content of a DTE fixture: ISO-8859-1 bytes under an ISO-8859-1 declaration.
inline std::string DteContent(std::string_view file, long folio) {
  std::string xml = FixtureWithFolio(file, folio);
  xml = std::regex_replace(xml, std::regex("encoding=\"UTF-8\""), "encoding=\"ISO-8859-1\"");
  return qd::EncodeBase64(qd::Utf8ToLatin1(xml));
}

inline std::string FacturaContent(long folio) {
  return DteContent("factura_33.xml", folio);
}

// The Content of a boleta: the UTF-8 bytes under their UTF-8 declaration.
inline std::string BoletaContent(long folio) {
  return Base64Of(FixtureWithFolio("boleta_39.xml", folio));
}

inline std::string SendBody(const std::string& content, int barcodeType = 2,
                            const std::string& ted = "", int columns = 5) {
  return Body("SendDocumentRequest", {{"Environment", "T"},
                                      {"Content", content},
                                      {"ResolutionDate", "2014-08-22"},
                                      {"ResolutionNumber", "80"},
                                      {"PDF417Columns", std::to_string(columns)},
                                      {"PDF417Level", "2"},
                                      {"PDF417Type", std::to_string(barcodeType)},
                                      {"TED", ted.empty() ? ted : IsoBase64Of(ted)}});
}

// The sales book of the fixture, its cover dropped as the library drops it.
inline std::string SalesBook() {
  std::string book = QuarloCliente::testing::ReadTestData("libro_compra_venta.xml");
  const auto from = book.find("<Caratula>");
  book.erase(from, book.find("</Caratula>") + 11 - from);
  return book;
}

// That book sent as the monthly sales book of 2024-05.
inline std::string SalesBookBody() {
  return Body("SendLibroCompraVentaRequest", {{"Environment", "T"},
                                              {"Content", Base64Of(SalesBook())},
                                              {"ResolutionDate", "2016-03-18"},
                                              {"ResolutionNumber", "34"},
                                              {"RutEmisorLibro", kIssuer},
                                              {"PeriodoTributario", "2024-05"},
                                              {"TipoOperacion", "VENTA"},
                                              {"TipoLibro", "MENSUAL"},
                                              {"TipoEnvio", "TOTAL"},
                                              {"NroSegmento", "0"},
                                              {"FolioNotificacion", "0"},
                                              {"CodAutRec", ""}});
}

inline std::string UploadBody(const std::string& cafXml) {
  return Body("UploadCafRequest", {{"Environment", "T"}, {"Base64StrCaf", Base64Of(cafXml)}});
}

// Issues and uploads a CAF; returns it.
inline Caf LoadCaf(const Sandbox& sandbox, const char* rut, int tipo, long desde, long hasta) {
  Caf caf = IssueTestCaf(rut, "Emisor de prueba", tipo, desde, hasta, TestAuthority());
  const Reply reply = sandbox.Post("/UploadCaf", UploadBody(caf.xml));
  if (!reply.Ok()) throw std::runtime_error("no se cargó el CAF: " + reply.body);
  return caf;
}

}  // namespace QuarloSandbox::testing
