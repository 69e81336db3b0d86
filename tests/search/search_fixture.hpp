#pragma once

#include <gtest/gtest.h>

#include <quarlo/servicio.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/payload.hpp"
#include "support/loopback_server.hpp"

namespace QuarloCliente::testing {

using Fields = std::vector<std::pair<std::string, std::string>>;

// One `document` element of a result page with the given children, in order.
inline std::string Document(const Fields& fields) {
  std::string xml = "<document>";
  for (const auto& [name, value] : fields) xml += "<" + name + ">" + value + "</" + name + ">";
  return xml + "</document>";
}

// A successful answer carrying `page` the way the service sends it: ISO-8859-1 bytes in Base64.
inline std::string PageAnswer(const std::string& page, std::string_view total,
                              std::string_view searchTime = "0.25") {
  return "<Response><Result>0</Result><SearchTime>" + std::string(searchTime) +
         "</SearchTime><TotalDocuments>" + std::string(total) + "</TotalDocuments><Data>" +
         detail::EncodeIsoBase64(page) + "</Data></Response>";
}

inline std::string PageOf(const std::vector<std::string>& documents) {
  std::string page = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><documents>";
  for (const std::string& document : documents) page += document;
  return page + "</documents>";
}

// A Servicio configured against a fresh loopback service.
class SearchServiceTest : public ::testing::Test {
 protected:
  SearchServiceTest() { servicio_.Configurar(server_.BaseUrl(), "llave"); }

  void Answer(const std::string& xml) { server_.Enqueue(ScriptedResponse::Xml(xml)); }

  LoopbackServer server_;
  Servicio servicio_;
};

// The document summaries a result holds, in order; fails the test for a record of another kind.
inline std::vector<std::shared_ptr<ResumenDTE>> Summaries(const ResultadosBusqueda& result) {
  std::vector<std::shared_ptr<ResumenDTE>> summaries;
  if (result.getDocumentos() == nullptr) return summaries;
  for (const RegistroBusqueda& record : *result.getDocumentos()) {
    const auto* summary = std::get_if<std::shared_ptr<ResumenDTE>>(&record);
    EXPECT_NE(summary, nullptr);
    if (summary != nullptr) summaries.push_back(*summary);
  }
  return summaries;
}

// A document with every field the service may send, each with its own value.
inline Fields FullDocumentFields() {
  return {{"Seguimiento", "SEG-1"},
          {"TipoDTE", "33"},
          {"Folio", "1234"},
          {"FchEmis", "2024-03-01"},
          {"FchVenc", "2024-04-01"},
          {"RUTEmisor", "76123456-K"},
          {"RznSoc", "Ñuñoa Ltda."},
          {"Sucursal", "Casa Matriz"},
          {"RUTRecep", "11111111-1"},
          {"RznSocRecep", "Pérez &amp; Cía"},
          {"MntTotal", "119000"},
          {"IVA", "19000"},
          {"MntNeto", "100000"},
          {"NmbItem", "Asesoría"},
          {"CmnaOrigen", "Providencia"},
          {"CiudadRecep", "Santiago"},
          {"CmnaRecep", "Las Condes"},
          {"Estructura", "E1"},
          {"Firma", "F2"},
          {"AutorizadoSII", "A3"},
          {"Distribuido", "D4"},
          {"Recibido", "R5"},
          {"Aprobado", "P6"},
          {"TimeStamp", "2024-03-07T10:20:30.1234567-03:00"},
          {"Cesion", "C7"},
          {"Anulado", "N8"},
          {"Eliminado", "L9"},
          {"Indexado", "I10"},
          {"IdAdicEmisor", "ADIC"},
          {"CdgIntRecep", "INT-9"},
          {"CorreoRecep", "pago@cliente.cl"},
          {"DscItem", "Marzo"},
          {"MntExe", "500"},
          {"FolioRef801", "100"},
          {"FolioRef803", "300"},
          {"RecibidoSII", "S11"},
          {"FchRecepSII", "2024-03-02"},
          {"FechaRecibidoSII", "2024-03-03"},
          {"AnuladoContable", "AC12"},
          {"DownloadCustomerDocumentUrl", "https://s/d?id=1&amp;k=2"},
          {"ClaimAction", "ACD"},
          {"Conciliado", "Z13"},
          {"FchRespComercial", "2024-03-05"}};
}

// The fields with one value replaced, or added at the end when absent.
inline Fields With(Fields fields, const std::string& name, const std::string& value) {
  for (auto& field : fields) {
    if (field.first == name) {
      field.second = value;
      return fields;
    }
  }
  fields.emplace_back(name, value);
  return fields;
}

inline Fields Without(Fields fields, const std::string& name) {
  std::erase_if(fields, [&](const auto& field) { return field.first == name; });
  return fields;
}

}  // namespace QuarloCliente::testing
