#include <ctime>

#include "console/page.hpp"
#include "console/pages.hpp"

namespace QuarloSandbox {

namespace {

// The local time of day with milliseconds, enough to follow a test run.
std::string TimeOfDay(std::chrono::system_clock::time_point at) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[16];
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count() % 1000;
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(millis));
  return text;
}

View RowsView(const RequestRing& requests) {
  View rows = ListView();
  for (const auto& record : requests.Newest()) {
    View row;
    row.set("numero", std::to_string(record.number));
    row.set("hora", TimeOfDay(record.at));
    row.set("metodo", record.method);
    row.set("operacion", record.operation);
    row.set("estado", std::to_string(record.status));
    row.set("fallida", record.status >= 400);
    row.set("ms", std::to_string(record.milliseconds));
    rows.push_back(row);
  }
  View view;
  view.set("solicitudes", rows);
  view.set("hay_solicitudes", !rows.is_empty_list());
  return view;
}

}  // namespace

ConsoleAnswer RequestsPage(const RequestRing& requests, const PageFrame& frame) {
  View view = RowsView(requests);
  view.set("solicitudes_filas", TemplatePartial("solicitudes_filas"));
  return HtmlAnswer(200, RenderPage(frame, "solicitudes", std::move(view)));
}

ConsoleAnswer RequestRows(const RequestRing& requests) {
  return HtmlAnswer(200, RenderTemplate("solicitudes_filas", RowsView(requests)));
}

}  // namespace QuarloSandbox
