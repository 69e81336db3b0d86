#pragma once

#include <gtest/gtest.h>

#include <quarlo/quarlo.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "core/payload.hpp"
#include "support/loopback_server.hpp"
#include "support/sii_schemas.hpp"

namespace QuarloCliente {

using Strings = std::vector<std::string>;

// A Servicio talking to a scripted loopback service.
class QueryTest : public ::testing::Test {
 protected:
  QueryTest() { servicio.Configurar(server.BaseUrl(), "llave"); }

  // Queues the service's next answer: a Response element around the given children.
  void Answer(std::string_view children) {
    server.Enqueue(
        testing::ScriptedResponse::Xml("<Response xmlns=\"http://www.quarlo.cl/servicio/v1\">" +
                                       std::string(children) + "</Response>"));
  }
  // Queues a success whose Data carries the text as Base64 of its ISO-8859-1 bytes.
  void AnswerData(std::string_view text) {
    Answer("<Result>0</Result><Data>" + detail::EncodeIsoBase64(text) + "</Data>");
  }
  // The path and query the request #index asked for.
  std::string Target(std::size_t index) { return server.WaitForRequest(index).target; }
  // The texts of the named elements of the XML body request #index carried, in the order named.
  std::vector<std::string> BodyValues(std::size_t index, std::initializer_list<const char*> names) {
    const XmlDocument body = XmlDocument::Parse(server.WaitForRequest(index).body);
    std::vector<std::string> values;
    for (const char* name : names)
      values.push_back(servicio.NodeValue(body, std::string("//") + name));
    return values;
  }

  testing::LoopbackServer server;
  Servicio servicio;
};

// A fixture document of tests/data/ without its XML declaration, ready to be nested.
inline std::string FixtureElement(std::string_view file) {
  const std::string text = testing::ReadTestData(file);
  return text.substr(text.find("?>") + 2);
}

// An EnvioDTE or EnvioBOLETA envelope around the given DTE elements, declared ISO-8859-1 as the
// service stores them.
inline std::string Envelope(std::string_view root, std::string_view dtes,
                            std::string_view extra = "") {
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<" + std::string(root) +
         " xmlns=\"http://www.sii.cl/SiiDte\" version=\"1.0\"><SetDTE ID=\"SetDoc\">" +
         std::string(dtes) + "</SetDTE>" + std::string(extra) + "</" + std::string(root) + ">";
}

}  // namespace QuarloCliente
