#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <quarlo/binding.hpp>
#include <quarlo/servicio.hpp>
#include <string>
#include <string_view>

#include "core/base64.hpp"
#include "core/charset.hpp"
#include "core/payload.hpp"
#include "core/selector.hpp"
#include "core/xml.hpp"
#include "core/xml_document.hpp"
#include "support/loopback_server.hpp"
#include "support/sii_schemas.hpp"

// Fixture documents, the service's answers and the decoding of what a submission sent.
namespace QuarloCliente::testing {

template <class Binding>
std::shared_ptr<Binding> LoadFixture(std::string_view file) {
  auto document = std::make_shared<Binding>();
  document->Load(ReadTestData(file), std::make_shared<BindingContext>());
  return document;
}

// The text of the first element or attribute the path selects, "" when none is.
inline std::string ValueIn(std::string_view xml, std::string_view path) {
  const XmlDocument document = XmlDocument::Parse(xml);
  const xmlNode* node = detail::SelectFirst(detail::XmlDocumentAccess::Doc(document), path);
  return node == nullptr ? std::string() : detail::NodeText(node);
}

// The TED of a fixture document, as a caller hands it over.
inline std::string FixtureTed(std::string_view file) {
  const XmlDocument document = XmlDocument::Parse(ReadTestData(file));
  return detail::OuterXml(
      detail::SelectFirstElement(detail::XmlDocumentAccess::Doc(document), "//TED"));
}

inline const std::string kStampedTed = "<TED><DD><RE>76543210-3</RE><RSR>Peñascos</RSR></DD></TED>";

inline std::string StampedAnswer(std::string_view pdf417) {
  return "<R xmlns=\"urn:s\"><Result>0</Result><TED>" + detail::EncodeIsoBase64(kStampedTed) +
         "</TED><PDF417>" + std::string(pdf417) + "</PDF417></R>";
}

// One SendDocumentRequest as the service received it; a DTE's Content is ISO-8859-1, a boleta's
// UTF-8.
struct SentDocument {
  RecordedRequest request;
  bool latin1 = true;

  std::string Field(std::string_view name) const {
    return ValueIn(request.body, "//" + std::string(name));
  }
  std::string ContentBytes() const {
    const Bytes bytes = detail::DecodeBase64(Field("Content"));
    return std::string(bytes.begin(), bytes.end());
  }
  std::string ContentText() const {
    return latin1 ? detail::Latin1ToUtf8(detail::DecodeBase64(Field("Content"))) : ContentBytes();
  }
  std::string InContent(std::string_view path) const { return ValueIn(ContentText(), path); }
  // Columns, level, whether a TED went along, IdDoc folio and stamp folio: "5 2 - 1523/1523".
  std::string Shape() const {
    return Field("PDF417Columns") + " " + Field("PDF417Level") + " " +
           (Field("TED").empty() ? "-" : "TED") + " " + InContent("//IdDoc/Folio") + "/" +
           InContent("//TED/DD/F");
  }
};

// The Content as the SII schema wants it: in the SII namespace, which the service's envelope
// supplies, and with the CAF type the service writes instead of the placeholder's 0.
inline std::string AsSiiDocument(Servicio& servicio, std::string content, std::string_view tipo) {
  const std::string root = "<DTE version=\"1.0\">";
  content.replace(content.find(root), root.size(),
                  "<DTE xmlns=\"http://www.sii.cl/SiiDte\" version=\"1.0\">");
  return servicio.ReplaceXmlValue(content, "//CAF/DA/TD", std::string(tipo));
}

class EmissionTest : public ::testing::Test {
 protected:
  EmissionTest() {
    servicio_.Configurar(server_.BaseUrl(), "llave");
    server_.SetDefault(ScriptedResponse::Xml(StampedAnswer("UERGNDE3")));
  }
  SentDocument Sent(std::size_t index, bool latin1 = true) const {
    return {server_.WaitForRequest(index), latin1};
  }

  LoopbackServer server_;
  Servicio servicio_;
};

}  // namespace QuarloCliente::testing
