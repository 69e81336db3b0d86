#include "protocol/payload.hpp"
#include "service/lookup.hpp"
#include "service/operations.hpp"
#include "service/tracking.hpp"

namespace QuarloSandbox {

namespace {

// The comment FiscalStatus gives: the last state's, and the void when there is one.
std::string Comments(const DocumentRow& document, const std::vector<TrackState>& history) {
  std::string text = history.empty() ? std::string{} : history.back().comentario;
  if (document.voided) text += (text.empty() ? "" : "; ") + std::string("documento anulado");
  return text;
}

}  // namespace

// Segments: environment, group, RUT, type, folio.
Answer FiscalStatus(ServiceContext& context, const Call& call) {
  const auto& s = call.segments;
  RequireGroup(s[1]);
  const DocumentKey key = RequestedKey(s[0], s[2], s[3], s[4]);
  return context.store.Write([&](StoreTx& tx) {
    const DocumentRow document = RequireDocument(tx, key);
    const auto history = AdvanceTracking(tx, document, NowText());
    Answer answer;
    answer.Add("Status", FiscalStatusText(document, history));
    answer.Add("TrackId", std::to_string(document.trackId));
    answer.Add("Data", Comments(document, history));
    return answer;
  });
}

// Segments: environment, RUT, type, folio, group.
Answer TrackingByGroup(ServiceContext& context, const Call& call) {
  const auto& s = call.segments;
  RequireGroup(s[4]);
  const DocumentKey key = RequestedKey(s[0], s[1], s[2], s[3]);
  return context.store.Write([&](StoreTx& tx) {
    const DocumentRow document = RequireDocument(tx, key);
    const auto history = AdvanceTracking(tx, document, NowText());
    Answer answer;
    answer.Add("Data", IsoBase64(TrackingXml(document.trackId, history)));
    return answer;
  });
}

// Segments: environment, RUT, type, folio.
Answer ConfirmDocument(ServiceContext& context, const Call& call) {
  const auto& s = call.segments;
  const DocumentKey key = RequestedKey(s[0], s[1], s[2], s[3]);
  return context.store.Write([&](StoreTx& tx) {
    DocumentRow document = RequireDocument(tx, key);
    Answer answer;
    if (ConfirmSubmission(tx, document, NowText())) {
      document.confirmed = true;
      answer.description = "documento confirmado y enviado al SII";
    }
    answer.Add("Status", FiscalStatusText(document, tx.TrackStates(document.id)));
    answer.Add("TrackId", std::to_string(document.trackId));
    return answer;
  });
}

}  // namespace QuarloSandbox
