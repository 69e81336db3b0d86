#include "protocol/payload.hpp"
#include "protocol/request.hpp"
#include "sandbox_error.hpp"
#include "service/aec.hpp"
#include "service/commercial_state.hpp"
#include "service/lookup.hpp"
#include "service/operations.hpp"
#include "service/sii_xml.hpp"

namespace QuarloSandbox {

namespace {

bool Cedible(const DocumentRow& document) {
  if (document.kind != DocumentKind::Dte) return false;
  for (const char* tipo : {"33", "34", "43", "46"}) {
    if (document.key.tipo == tipo) return true;
  }
  return false;
}

// A cession may go ahead for an existing, unvoided, unclaimed factura.
void CheckCedible(StoreTx& tx, const DocumentRow& document) {
  if (!Cedible(document)) {
    throw SandboxError(
        422, "solo se ceden facturas (33, 34, 43 y 46), no el documento " + Describe(document.key));
  }
  if (document.voided) {
    throw SandboxError(
        422, "el documento " + Describe(document.key) + " está anulado y no se puede ceder");
  }
  const CommercialStatus status = StatusOf(tx.CommercialResponses(document.id));
  if (status.claimAction == "RCD" || status.claimAction == "RFT") {
    throw SandboxError(422, "el documento " + Describe(document.key) + " tiene el reclamo " +
                                status.claimAction + " y no se puede ceder");
  }
}

// The assignee: the registry's entry of the given id, or of the given RUT, or the bare RUT.
Factoring Assignee(StoreTx& tx, const std::string& rutText, std::int64_t id) {
  if (id > 0) {
    auto found = tx.FactoringById(id);
    if (!found) throw SandboxError(404, "no existe el factoring " + std::to_string(id));
    if (!rutText.empty() && RequireRut(rutText, "FactoringRut") != found->rut) {
      throw SandboxError(400, "FactoringRut " + rutText + " no es el RUT del factoring " +
                                  std::to_string(id) + " (" + found->rut + ")");
    }
    return *found;
  }
  const std::string rut = RequireRut(rutText, "FactoringRut");
  if (auto found = tx.FactoringByRut(rut)) return *found;
  Factoring bare;
  bare.rut = rut;
  bare.razonSocial = rut;
  return bare;
}

void CheckPreviousAec(const std::string& base64) {
  if (base64.empty()) return;
  ParseDocumentBytes(DecodeBase64Field(base64, "PrevAecInBase64"), "PrevAecInBase64");
}

}  // namespace

Answer GenerateAec(ServiceContext& context, const Call& call) {
  const RequestBody request(call.body, "GenerateAecRequest");
  const DocumentKey key = RequestedKey(request.Field("Environment"), request.Field("Rut"),
                                       request.Field("Type"), request.Field("Folio"));
  const std::int64_t factoringId = request.Number("FactoringEnterpriseID", 0, 2147483647);
  const std::string& dueText = request.Field("UltimoVencimiento");
  const std::string due = dueText.empty() ? dueText : RequireDate(dueText, "UltimoVencimiento");
  CheckPreviousAec(request.Field("PrevAecInBase64"));
  return context.store.Write([&](StoreTx& tx) {
    const DocumentRow document = RequireDocument(tx, key);
    CheckCedible(tx, document);
    const Factoring assignee = Assignee(tx, request.Field("FactoringRut"), factoringId);
    Cession c;
    c.seq = static_cast<std::int64_t>(tx.Cessions(document.id).size()) + 1;
    c.cedenteRut = document.key.rut;
    c.cedenteName = document.issuerName;
    c.cedenteEmail = request.Field("EmailCedente");
    c.cedenteAddress = request.Field("DireccionCedente");
    c.cesionarioRut = assignee.rut;
    c.cesionarioName = assignee.razonSocial;
    c.cesionarioEmail = assignee.email;
    c.amount = document.total;
    c.dueDate = due;
    c.cededAt = NowText();
    c.previousAec = request.Field("PrevAecInBase64");
    c.aecXml = AecXml(document, c);
    tx.InsertCession(document.id, c);
    Answer answer;
    answer.Add("SeqCesion", std::to_string(c.seq)).Add("RutCesionario", assignee.rut);
    return answer;
  });
}

}  // namespace QuarloSandbox
