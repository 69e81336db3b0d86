#pragma once

// The sandbox's report of submissions (GET /_sandbox/envios) read back into records, for the
// tests that check how often, and when, a folio was submitted.

#include <libxml/tree.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/selector.hpp"
#include "core/xml.hpp"

namespace QuarloSandbox::testing {

// One submission as the report lists it; absent attributes read "".
struct ReportedSubmission {
  std::string ambiente, rut, tipo, folio;
  std::string estado, respuesta, falla, recibido, respondido;
  std::uint64_t ordenRecibido = 0;
  std::uint64_t ordenRespondido = 0;
  std::size_t enviosDelFolio = 0;
};

// The report's counters and submissions; `parsed` false when the text is not the report.
struct SubmissionReport {
  bool parsed = false;
  std::uint64_t registrados = 0;
  std::uint64_t descartados = 0;
  std::vector<ReportedSubmission> envios;
};

inline std::string AttributeOf(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) return {};
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

inline std::uint64_t NumberAttribute(const xmlNode* node, const char* name) {
  const std::string text = AttributeOf(node, name);
  return text.empty() ? 0 : std::stoull(text);
}

inline SubmissionReport ReadSubmissionReport(const std::string& xml) {
  SubmissionReport report;
  const auto doc = QuarloCliente::detail::ParseHeldXml(xml);
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (root == nullptr || std::string(reinterpret_cast<const char*>(root->name)) != "Envios") {
    return report;
  }
  report.parsed = true;
  report.registrados = NumberAttribute(root, "registrados");
  report.descartados = NumberAttribute(root, "descartados");
  for (const xmlNode* folio = root->children; folio; folio = folio->next) {
    if (folio->type != XML_ELEMENT_NODE) continue;
    for (const xmlNode* envio = folio->children; envio; envio = envio->next) {
      if (envio->type != XML_ELEMENT_NODE) continue;
      report.envios.push_back(ReportedSubmission{
          AttributeOf(folio, "ambiente"), AttributeOf(folio, "rut"), AttributeOf(folio, "tipo"),
          AttributeOf(folio, "folio"), AttributeOf(envio, "estado"),
          AttributeOf(envio, "respuesta"), AttributeOf(envio, "falla"),
          AttributeOf(envio, "recibido"), AttributeOf(envio, "respondido"),
          NumberAttribute(envio, "ordenRecibido"), NumberAttribute(envio, "ordenRespondido"),
          static_cast<std::size_t>(NumberAttribute(folio, "envios"))});
    }
  }
  return report;
}

// Whether some submission of a folio arrived after an answer for that folio had been sent: what
// a client that delivers each document exactly once must never cause.
inline bool SubmittedAfterAnAnswer(const SubmissionReport& report) {
  for (const auto& answered : report.envios) {
    if (answered.respuesta != "enviada") continue;
    for (const auto& later : report.envios) {
      const bool sameFolio = later.ambiente == answered.ambiente && later.rut == answered.rut &&
                             later.tipo == answered.tipo && later.folio == answered.folio;
      if (sameFolio && later.ordenRecibido > answered.ordenRespondido) return true;
    }
  }
  return false;
}

}  // namespace QuarloSandbox::testing
