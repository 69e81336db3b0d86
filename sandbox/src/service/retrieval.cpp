#include "protocol/payload.hpp"
#include "protocol/request.hpp"
#include "protocol/xml_writer.hpp"
#include "render/pdf.hpp"
#include "sandbox_error.hpp"
#include "service/envelope.hpp"
#include "service/lookup.hpp"
#include "service/operations.hpp"

namespace QuarloSandbox {

namespace {

// The key of a RecoverXMLRequest or RecoverAckListRequest body.
DocumentKey BodyKey(const RequestBody& request) {
  RequireGroup(request.Field("Group"));
  return RequestedKey(request.Field("Environment"), request.Field("Rut"), request.Field("DocType"),
                      request.Field("Folio"));
}

bool Printable(const DocumentRow& document) {
  return document.kind == DocumentKind::Dte || document.kind == DocumentKind::Boleta;
}

// What an acknowledgement list holds for each one: its XML, Base64 of ISO-8859-1 bytes.
std::string AckList(const std::vector<CommercialResponse>& responses) {
  XmlWriter xml;
  xml.Open("AckList");
  for (const auto& response : responses) {
    xml.Element("ack",
                IsoBase64("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + response.ackXml));
  }
  xml.Close("AckList");
  return xml.Text();
}

}  // namespace

Answer RecoverXml(ServiceContext& context, const Call& call) {
  const RequestBody request(call.body, "RecoverXMLRequest");
  const DocumentKey key = BodyKey(request);
  const bool forDistribution = request.Flag("IsForDistribution");
  const DocumentRow document =
      context.store.Read([&](StoreTx& tx) { return RequireDocument(tx, key); });
  Answer answer;
  answer.Add("Data", IsoBase64(RetrievalXml(document, forDistribution)));
  return answer;
}

Answer RecoverAckList(ServiceContext& context, const Call& call) {
  const RequestBody request(call.body, "RecoverAckListRequest");
  const DocumentKey key = BodyKey(request);
  const auto responses = context.store.Read(
      [&](StoreTx& tx) { return tx.CommercialResponses(RequireDocument(tx, key).id); });
  Answer answer;
  // "?" is how the protocol says that a document has no acknowledgement.
  answer.Add("Data", responses.empty() ? std::string("?") : IsoBase64(AckList(responses)));
  return answer;
}

// Segments: environment, group, RUT, type, folio.
Answer RecoverPdf(ServiceContext& context, const Call& call) {
  const auto& s = call.segments;
  RequireGroup(s[1]);
  const DocumentKey key = RequestedKey(s[0], s[2], s[3], s[4]);
  const DocumentRow document =
      context.store.Read([&](StoreTx& tx) { return RequireDocument(tx, key); });
  if (!Printable(document)) {
    throw SandboxError(422, "el documento " + Describe(key) +
                                " es un libro o un informe y no "
                                "tiene representación impresa");
  }
  Answer answer;
  answer.Add("Data", Base64(RenderPdf(PrintableDocument(document))));
  return answer;
}

// Segments: environment, RUT, type, folio, printer.
Answer Print(ServiceContext& context, const Call& call) {
  const auto& s = call.segments;
  const DocumentKey key = RequestedKey(s[0], s[1], s[2], s[3]);
  const std::string& printer = s[4];
  if (printer.empty()) throw SandboxError(400, "falta el nombre de la impresora");
  return context.store.Write([&](StoreTx& tx) {
    const DocumentRow document = RequireDocument(tx, key);
    if (!Printable(document)) {
      throw SandboxError(422, "el documento " + Describe(key) + " no tiene representación impresa");
    }
    tx.RecordPrint(document.id, printer, NowText());
    Answer answer;
    answer.Add("Printer", printer);
    return answer;
  });
}

}  // namespace QuarloSandbox
