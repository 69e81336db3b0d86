#include "console/page.hpp"
#include "console/pages.hpp"
#include "console/pretty_xml.hpp"
#include "console/view_text.hpp"
#include "render/pdf.hpp"
#include "sandbox_error.hpp"
#include "service/commercial_state.hpp"
#include "service/context.hpp"
#include "service/envelope.hpp"
#include "service/lookup.hpp"
#include "service/tracking.hpp"
#include "stamping/mono_png.hpp"

namespace QuarloSandbox {

namespace {

namespace qd = QuarloCliente::detail;

// A stored document with everything its page shows.
struct DocumentRecord {
  DocumentRow row;
  std::vector<TrackState> history;
  std::vector<CommercialResponse> responses;
  std::vector<Cession> cessions;
};

DocumentKey KeyOf(const std::vector<std::string>& segments) {
  return RequestedKey(segments[0], segments[1], segments[2], segments[3]);
}

DocumentRecord ReadRecord(Store& store, const DocumentKey& key) {
  return store.Read([&](StoreTx& tx) {
    DocumentRecord record;
    record.row = RequireDocument(tx, key);
    record.history = tx.TrackStates(record.row.id);
    record.responses = tx.CommercialResponses(record.row.id);
    record.cessions = tx.Cessions(record.row.id);
    return record;
  });
}

bool Printable(const DocumentRow& row) {
  return row.kind == DocumentKind::Dte || row.kind == DocumentKind::Boleta;
}

DocumentRow PrintableRow(Store& store, const std::vector<std::string>& segments) {
  const DocumentKey key = KeyOf(segments);
  DocumentRow row = store.Read([&](StoreTx& tx) { return RequireDocument(tx, key); });
  if (!Printable(row)) {
    throw SandboxError(422, "el documento " + Describe(key) +
                                " es un libro o un informe y no tiene timbre ni representación "
                                "impresa");
  }
  return row;
}

void AddField(View& fields, const char* name, const std::string& value) {
  if (value.empty()) return;
  View field;
  field.set("nombre", name);
  field.set("valor", value);
  fields.push_back(field);
}

View FieldsView(const DocumentRecord& record) {
  const DocumentRow& d = record.row;
  View fields = ListView();
  AddField(fields, "Ambiente", d.key.environment == "P" ? "Producción (P)" : "Certificación (T)");
  AddField(fields, "Clase", KindText(d.kind));
  AddField(fields, "Tipo", d.key.tipo + (Printable(d) ? " · " + DocumentTitle(d.key.tipo) : ""));
  AddField(fields, Printable(d) ? "Folio" : "Período o folio", std::to_string(d.key.folio));
  AddField(fields, "Emisor", d.key.rut + (d.issuerName.empty() ? "" : " · " + d.issuerName));
  AddField(fields, "Receptor",
           d.receiverRut + (d.receiverName.empty() ? "" : " · " + d.receiverName));
  AddField(fields, "Fecha de emisión", d.issueDate);
  AddField(fields, "Primer ítem", d.itemName);
  AddField(fields, "Monto total", PesoAmount(d.total));
  AddField(fields, "Estado", FiscalStatusText(d, record.history));
  AddField(fields, "Estado comercial", StatusOf(record.responses).description);
  AddField(fields, "Track ID", std::to_string(d.trackId));
  AddField(fields, "Recibido", SpacedTimestamp(d.receivedAt));
  AddField(fields, "Resolución",
           d.resolutionDate.empty() ? "" : d.resolutionDate + " n.º " + d.resolutionNumber);
  AddField(fields, "Conciliado", d.reconciled ? "sí" : "no");
  return fields;
}

View TrackingView(const std::vector<TrackState>& history) {
  View states = ListView();
  for (const auto& state : history) {
    View item;
    item.set("codigo", std::to_string(state.codigo));
    item.set("estado", state.estado);
    item.set("comentario", state.comentario);
    item.set("fecha", SpacedTimestamp(state.timeStamp));
    item.set("track", std::to_string(state.trackId));
    states.push_back(item);
  }
  return states;
}

View ResponsesView(const std::vector<CommercialResponse>& responses) {
  View list = ListView();
  for (const auto& response : responses) {
    const CommercialAction& action = ActionOf(response.action);
    View item;
    item.set("accion", std::string(action.code) + " · " + action.description);
    item.set("contacto", response.contactName);
    item.set("correo", response.contactEmail);
    item.set("observaciones", response.observations);
    item.set("fecha", SpacedTimestamp(response.timeStamp));
    list.push_back(item);
  }
  return list;
}

View CessionsView(const std::vector<Cession>& cessions) {
  View list = ListView();
  for (const auto& cession : cessions) {
    View item;
    item.set("secuencia", std::to_string(cession.seq));
    item.set("cedente", cession.cedenteRut + " · " + cession.cedenteName);
    item.set("cesionario", cession.cesionarioRut + " · " + cession.cesionarioName);
    item.set("monto", PesoAmount(cession.amount));
    item.set("vencimiento", cession.dueDate);
    item.set("fecha", SpacedTimestamp(cession.cededAt));
    list.push_back(item);
  }
  return list;
}

View DocumentView(const DocumentRecord& record) {
  const DocumentRow& d = record.row;
  View view;
  view.set("nombre", Printable(d)
                         ? DocumentTitle(d.key.tipo) + " n.º " + std::to_string(d.key.folio)
                         : KindText(d.kind) + " " + std::to_string(d.key.folio));
  view.set("campos", FieldsView(record));
  view.set("xml", PrettyXml(d.xml));
  view.set("timbrado", Printable(d) && !d.ted.empty());
  view.set("ted", PrettyXml(d.ted));
  view.set("enlace", DocumentLink(d.key));
  view.set("seguimiento", TrackingView(record.history));
  view.set("hay_seguimiento", !record.history.empty());
  view.set("respuestas", ResponsesView(record.responses));
  view.set("hay_respuestas", !record.responses.empty());
  view.set("cesiones", CessionsView(record.cessions));
  view.set("hay_cesiones", !record.cessions.empty());
  return view;
}

}  // namespace

ConsoleAnswer DocumentPage(Store& store, const PageFrame& frame,
                           const std::vector<std::string>& key) {
  const DocumentRecord record = ReadRecord(store, KeyOf(key));
  PageFrame titled = frame;
  titled.title = Printable(record.row) ? DocumentTitle(record.row.key.tipo) : "Libro o informe";
  return HtmlAnswer(200, RenderPage(titled, "documento", DocumentView(record)));
}

ConsoleAnswer DocumentBarcode(Store& store, const std::vector<std::string>& key) {
  // The symbol the printed form carries, drawn as a submission's PNG answer draws one.
  const PdfDocument printed = PrintableDocument(PrintableRow(store, key));
  const Bytes png = qd::WriteMonoPng(qd::DrawPdf417(printed.timbre));
  return ConsoleAnswer{200, "image/png", std::string(png.begin(), png.end()), {}};
}

ConsoleAnswer DocumentPdf(Store& store, const std::vector<std::string>& key) {
  const Bytes pdf = RenderPdf(PrintableDocument(PrintableRow(store, key)));
  return ConsoleAnswer{200, "application/pdf", std::string(pdf.begin(), pdf.end()), {}};
}

}  // namespace QuarloSandbox
