#include "server/submissions.hpp"

#include <ctime>
#include <limits>
#include <map>

#include "protocol/payload.hpp"
#include "protocol/request.hpp"
#include "protocol/xml_writer.hpp"
#include "service/incoming_document.hpp"

namespace QuarloSandbox {

namespace {

std::optional<DocumentKind> SubmittedKind(std::string_view operation) {
  if (operation == "SendDTEDocument") return DocumentKind::Dte;
  if (operation == "SendBoletaDocument") return DocumentKind::Boleta;
  return std::nullopt;
}

// "2024-05-02T14:03:07.123456Z": UTC with microseconds, so that close events stay apart.
std::string UtcText(std::chrono::system_clock::time_point at) {
  const auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(micros / 1'000'000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[40];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::string fraction = std::to_string(1'000'000 + micros % 1'000'000).substr(1);
  return std::string(text, length) + "." + fraction + "Z";
}

}  // namespace

std::optional<CountedDocument> SubmittedFolio(std::string_view operation, const std::string& body) {
  const auto kind = SubmittedKind(operation);
  if (!kind) return std::nullopt;
  try {
    auto read = ReadSubmittedDocument(body, *kind);
    const auto& fields = read->document.Fields();
    SubmissionKey key{
        RequireEnvironment(read->request.Field("Environment")),
        RequireRut(fields.rutEmisor, "RUTEmisor"), RequireNumber(fields.tipo, "TipoDTE", 1, 999),
        RequireNumber(fields.folio, "Folio", 0, std::numeric_limits<std::int64_t>::max())};
    return CountedDocument{std::move(key), std::move(read)};
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::uint64_t SubmissionLog::Received(SubmissionKey key, std::string_view operation,
                                      Moment received, Fault fault) {
  const std::lock_guard lock(mutex_);
  if (entries_.size() >= capacity_) {
    ++dropped_;
    return 0;
  }
  Entry entry;
  entry.key = std::move(key);
  entry.operation = operation;
  entry.received = received;
  entry.fault = fault;
  entries_.push_back(std::move(entry));
  return entries_.size();
}

void SubmissionLog::Processed(std::uint64_t entry, int status, std::optional<std::int64_t> folio) {
  const std::lock_guard lock(mutex_);
  Entry* found = Find(entry);
  if (found == nullptr) return;
  found->status = status;
  if (folio) found->key.folio = *folio;
}

void SubmissionLog::Delivered(std::uint64_t entry, std::optional<Moment> sent) {
  const std::lock_guard lock(mutex_);
  Entry* found = Find(entry);
  if (found == nullptr) return;
  found->answer = sent ? Entry::Answer::Sent : Entry::Answer::NotSent;
  if (sent) found->sent = *sent;
}

SubmissionLog::Entry* SubmissionLog::Find(std::uint64_t entry) {
  if (entry == 0 || entry > entries_.size()) return nullptr;
  return &entries_[entry - 1];
}

std::string SubmissionLog::Report(const std::optional<SubmissionKey>& only) const {
  const std::lock_guard lock(mutex_);
  std::map<SubmissionKey, std::vector<std::size_t>> byFolio;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!only || entries_[i].key == *only) byFolio[entries_[i].key].push_back(i);
  }
  XmlWriter xml;
  xml.Raw(R"(<?xml version="1.0" encoding="UTF-8"?>)");
  xml.Open("Envios")
      .Attribute("registrados", std::to_string(entries_.size()))
      .Attribute("descartados", std::to_string(dropped_));
  for (const auto& [key, indexes] : byFolio) {
    xml.Open("Folio")
        .Attribute("ambiente", key.environment)
        .Attribute("rut", key.issuer)
        .Attribute("tipo", std::to_string(key.tipo))
        .Attribute("folio", std::to_string(key.folio))
        .Attribute("envios", std::to_string(indexes.size()));
    for (const std::size_t i : indexes) {
      const Entry& e = entries_[i];
      xml.Open("Envio")
          .Attribute("numero", std::to_string(i + 1))
          .Attribute("operacion", e.operation)
          .Attribute("recibido", UtcText(e.received.at))
          .Attribute("ordenRecibido", std::to_string(e.received.order));
      if (e.status) xml.Attribute("estado", std::to_string(*e.status));
      xml.Attribute("respuesta", e.answer == Entry::Answer::Sent      ? "enviada"
                                 : e.answer == Entry::Answer::NotSent ? "no-enviada"
                                                                      : "pendiente");
      if (e.answer == Entry::Answer::Sent) {
        xml.Attribute("respondido", UtcText(e.sent.at))
            .Attribute("ordenRespondido", std::to_string(e.sent.order));
      }
      if (e.fault != Fault::None) xml.Attribute("falla", FaultName(e.fault));
      xml.Close("Envio");
    }
    xml.Close("Folio");
  }
  xml.Close("Envios");
  return xml.Text();
}

}  // namespace QuarloSandbox
