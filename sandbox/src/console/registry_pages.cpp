#include "console/page.hpp"
#include "console/pages.hpp"
#include "console/view_text.hpp"
#include "protocol/request.hpp"
#include "service/context.hpp"
#include "service/tracking.hpp"

namespace QuarloSandbox {

namespace {

// "AAAA-MM" (or "AAAAMM") as the prefix of the period codes of that month; "" for every period.
std::string PeriodPrefix(const std::string& period) {
  if (period.empty()) return {};
  const std::string date = RequireDate(period + (period.size() == 7 ? "-01" : "01"), "periodo");
  return date.substr(0, 4) + date.substr(5, 2);
}

View CafView(const CafUsage& caf) {
  const std::int64_t size = caf.hasta - caf.desde + 1;
  const std::int64_t used = std::min(caf.used, size);
  // Whole percents name the bar's width in the style sheet, so no inline style is needed.
  const std::int64_t percent = size > 0 ? used * 100 / size : 0;
  View view;
  view.set("emisor", caf.rut);
  view.set("tipo", std::to_string(caf.tipo));
  view.set("desde", std::to_string(caf.desde));
  view.set("hasta", std::to_string(caf.hasta));
  view.set("usados", std::to_string(used));
  view.set("libres", std::to_string(size - used));
  view.set("porcentaje", std::to_string(percent));
  view.set("cargado", SpacedTimestamp(caf.uploadedAt));
  return view;
}

std::string ReportName(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::ConsumoFolios:
      return "Informe de consumo de folios";
    case DocumentKind::LibroCompraVenta:
      return "Libro de compra/venta";
    case DocumentKind::LibroGuia:
      return "Libro de guías";
    case DocumentKind::LibroBoleta:
      return "Libro de boletas";
    case DocumentKind::Dte:
    case DocumentKind::Boleta:
      break;
  }
  return KindText(kind);
}

View ReportView(StoreTx& tx, const DocumentRow& report) {
  View view;
  view.set("clase", ReportName(report.kind));
  view.set("emisor", report.key.rut);
  view.set("tipo", report.key.tipo);
  view.set("periodo", std::to_string(report.key.folio));
  view.set("track", std::to_string(report.trackId));
  view.set("estado", FiscalStatusText(report, tx.TrackStates(report.id)));
  view.set("recibido", SpacedTimestamp(report.receivedAt));
  view.set("enlace", DocumentLink(report.key));
  return view;
}

}  // namespace

ConsoleAnswer CafsPage(Store& store, const PageFrame& frame, const FormFields& query) {
  const std::string environment = QueryEnvironment(query);
  const auto cafs = store.Read([&](StoreTx& tx) { return tx.CafUsages(environment); });
  View rows = ListView();
  for (const auto& caf : cafs) rows.push_back(CafView(caf));
  View view;
  view.set("ambiente", environment);
  view.set("certificacion", environment == "T");
  view.set("cafs", rows);
  view.set("hay_cafs", !cafs.empty());
  return HtmlAnswer(200, RenderPage(frame, "cafs", std::move(view)));
}

ConsoleAnswer ReportsPage(Store& store, const PageFrame& frame, const FormFields& query) {
  const std::string environment = QueryEnvironment(query);
  const std::string period = FieldOr(query, "periodo");
  const std::string prefix = PeriodPrefix(period);
  View rows = store.Read([&](StoreTx& tx) {
    View list = ListView();
    for (const auto& report : tx.Reports(environment, prefix))
      list.push_back(ReportView(tx, report));
    return list;
  });
  View view;
  view.set("ambiente", environment);
  view.set("certificacion", environment == "T");
  view.set("periodo", period);
  view.set("hay_informes", !rows.is_empty_list());
  view.set("informes", rows);
  return HtmlAnswer(200, RenderPage(frame, "libros", std::move(view)));
}

}  // namespace QuarloSandbox
