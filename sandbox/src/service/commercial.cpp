#include "protocol/request.hpp"
#include "sandbox_error.hpp"
#include "service/commercial_state.hpp"
#include "service/lookup.hpp"
#include "service/operations.hpp"

namespace QuarloSandbox {

namespace {

CommercialResponse ReadResponse(const RequestBody& request) {
  CommercialResponse r;
  r.responseType = request.Field("ResponseType");
  r.action = request.Field("Action");
  r.contactName = request.Field("ContactName");
  r.contactPhone = request.Field("ContactPhone");
  r.contactEmail = request.Field("ContactEmail");
  r.observations = request.Field("Observations");
  if (r.responseType != "A" && r.responseType != "R") {
    throw SandboxError(
        400, "ResponseType debe ser A (aceptación) o R (rechazo), no '" + r.responseType + "'");
  }
  const CommercialAction& action = ActionOf(r.action);
  if (action.claim != (r.responseType == "R")) {
    throw SandboxError(400, std::string("la acción ") + r.action + " (" + action.description +
                                ") no corresponde a una respuesta de tipo " + r.responseType);
  }
  return r;
}

// A receipt of goods is given once; an acceptance or a claim closes the document.
void CheckAllowed(const DocumentRow& document, const std::vector<CommercialResponse>& earlier,
                  const CommercialResponse& response) {
  if (document.kind != DocumentKind::Dte) {
    throw SandboxError(
        422, "solo un DTE recibe respuesta comercial, no el documento " + Describe(document.key));
  }
  if (document.voided) {
    throw SandboxError(422, "el documento " + Describe(document.key) + " está anulado");
  }
  for (const auto& before : earlier) {
    if (before.action != "0" || response.action == "0") {
      throw SandboxError(409, "el documento " + Describe(document.key) +
                                  " ya tiene la respuesta comercial " +
                                  ActionOf(before.action).code);
    }
  }
}

}  // namespace

Answer SendComercialResponse(ServiceContext& context, const Call& call) {
  const RequestBody request(call.body, "ACKStatusRequest");
  const DocumentKey key = RequestedKey(request.Field("Environment"), request.Field("RutEmisor"),
                                       request.Field("DTEType"), request.Field("Folio"));
  CommercialResponse response = ReadResponse(request);
  return context.store.Write([&](StoreTx& tx) {
    const DocumentRow document = RequireDocument(tx, key);
    const auto earlier = tx.CommercialResponses(document.id);
    CheckAllowed(document, earlier, response);
    response.timeStamp = NowText();
    response.ackXml =
        AcknowledgementXml(document, response, static_cast<std::int64_t>(earlier.size()) + 1);
    tx.InsertCommercialResponse(document.id, response);
    return Answer{};
  });
}

// Segments: environment, group, RUT, type, folio, and "1" to add the AEC of a ceded document.
Answer ComercialStatusOfDocument(ServiceContext& context, const Call& call) {
  const auto& s = call.segments;
  RequireGroup(s[1]);
  const DocumentKey key = RequestedKey(s[0], s[2], s[3], s[4]);
  if (s[5] != "0" && s[5] != "1") {
    throw SandboxError(400, "el último segmento debe ser 1 (con el AEC) o 0, no '" + s[5] + "'");
  }
  return context.store.Read([&](StoreTx& tx) {
    const DocumentRow document = RequireDocument(tx, key);
    const auto responses = tx.CommercialResponses(document.id);
    const CommercialStatus status = StatusOf(responses);
    const CommercialResponse none;
    const CommercialResponse& last = status.last ? *status.last : none;
    Answer answer;
    answer.Add("StatusCode", status.code).Add("StatusDescription", status.description);
    answer.Add("ContactEmail", last.contactEmail).Add("ContactName", last.contactName);
    answer.Add("ContactPhone", last.contactPhone).Add("Observations", last.observations);
    answer.Add("ACKXml", last.ackXml).Add("ClaimAction", status.claimAction);
    answer.Add("Codigo", last.action).Add("Comentario", last.observations);
    answer.Add("Estado", status.state).Add("Responsable", last.contactName);
    answer.Add("TimeStamp", last.timeStamp);
    if (s[5] == "1") {
      const auto cessions = tx.Cessions(document.id);
      answer.Add("AECXml", cessions.empty() ? std::string{} : cessions.back().aecXml);
    }
    return answer;
  });
}

}  // namespace QuarloSandbox
