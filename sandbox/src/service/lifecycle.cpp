#include "sandbox_error.hpp"
#include "service/lookup.hpp"
#include "service/operations.hpp"
#include "service/tracking.hpp"

namespace QuarloSandbox {

namespace {

// Segments: environment, RUT, type, folio, comment.
Answer SetVoided(ServiceContext& context, const Call& call, bool voided) {
  const auto& s = call.segments;
  const DocumentKey key = RequestedKey(s[0], s[1], s[2], s[3]);
  const std::string& comment = s[4];
  return context.store.Write([&](StoreTx& tx) {
    DocumentRow document = RequireDocument(tx, key);
    if (document.voided == voided) {
      throw SandboxError(409, "el documento " + Describe(key) +
                                  (voided ? " ya está anulado" : " no está anulado"));
    }
    tx.SetVoided(document.id, voided);
    tx.RecordVoid(document.id, voided ? "ANULA" : "DESANULA", comment, NowText());
    document.voided = voided;
    Answer answer;
    answer.Add("Status", FiscalStatusText(document, tx.TrackStates(document.id)));
    return answer;
  });
}

}  // namespace

Answer VoidDocument(ServiceContext& context, const Call& call) {
  return SetVoided(context, call, true);
}

Answer UnVoidDocument(ServiceContext& context, const Call& call) {
  return SetVoided(context, call, false);
}

// Segments: environment, RUT, type, folio (a book's period code for a book).
Answer DeleteDocument(ServiceContext& context, const Call& call) {
  const auto& s = call.segments;
  const DocumentKey key = RequestedKey(s[0], s[1], s[2], s[3]);
  return context.store.Write([&](StoreTx& tx) {
    tx.DeleteDocument(RequireDocument(tx, key).id);
    return Answer{};
  });
}

}  // namespace QuarloSandbox
