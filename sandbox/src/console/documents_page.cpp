#include "console/page.hpp"
#include "console/pages.hpp"
#include "console/view_text.hpp"
#include "protocol/request.hpp"
#include "sandbox_error.hpp"
#include "service/envelope.hpp"
#include "service/query.hpp"
#include "service/summary.hpp"
#include "service/tracking.hpp"

namespace QuarloSandbox {

namespace {

constexpr std::int64_t kPageSize = 50;
constexpr std::int64_t kMaxPage = 1'000'000;
constexpr const char* kTypes[] = {"33", "34", "39", "41",  "43",  "46",
                                  "52", "56", "61", "110", "111", "112"};

// What the filter form holds, as the browser sent it.
struct DocumentFilter {
  std::string environment;
  std::string tipo;
  std::string desde;
  std::string hasta;
  std::string texto;
  std::int64_t page = 1;
};

DocumentFilter ReadFilter(const FormFields& query) {
  DocumentFilter filter;
  filter.environment = QueryEnvironment(query);
  filter.tipo = FieldOr(query, "tipo");
  filter.desde = FieldOr(query, "desde");
  filter.hasta = FieldOr(query, "hasta");
  filter.texto = FieldOr(query, "texto");
  const std::string page = FieldOr(query, "pagina");
  if (!page.empty()) filter.page = RequireNumber(page, "pagina", 1, kMaxPage);
  return filter;
}

// The filter in PaginatedSearch's language, so that the console finds what a search finds. The
// form's own fields are checked first, so that none of them can add a term of its own; the
// text is the language itself.
std::string SearchQuery(const DocumentFilter& filter) {
  std::string query;
  if (!filter.tipo.empty()) {
    query += "tipo:" + std::to_string(RequireNumber(filter.tipo, "tipo", 1, 999)) + " ";
  }
  const std::string desde = filter.desde.empty() ? "" : RequireDate(filter.desde, "desde");
  const std::string hasta = filter.hasta.empty() ? "" : RequireDate(filter.hasta, "hasta");
  if (!desde.empty() || !hasta.empty()) query += "fecha:" + desde + ".." + hasta + " ";
  return query + filter.texto;
}

// The link to another page of the same filter.
std::string PageLink(const DocumentFilter& filter, std::int64_t page) {
  return "/consola/documentos?ambiente=" + UrlEncode(filter.environment) +
         "&tipo=" + UrlEncode(filter.tipo) + "&desde=" + UrlEncode(filter.desde) +
         "&hasta=" + UrlEncode(filter.hasta) + "&texto=" + UrlEncode(filter.texto) +
         "&pagina=" + std::to_string(page);
}

View Options(const std::vector<std::string>& values, const std::string& chosen) {
  View options = ListView();
  for (const auto& value : values) {
    View option;
    option.set("valor", value);
    option.set("elegido", value == chosen);
    options.push_back(option);
  }
  return options;
}

View FilterView(const DocumentFilter& filter) {
  View view;
  view.set("ambientes", Options({"T", "P"}, filter.environment));
  view.set("tipos",
           Options(std::vector<std::string>(std::begin(kTypes), std::end(kTypes)), filter.tipo));
  view.set("desde", filter.desde);
  view.set("hasta", filter.hasta);
  view.set("texto", filter.texto);
  return view;
}

View RowView(const DocumentFacts& facts) {
  const DocumentRow& d = facts.row;
  View row;
  row.set("emisor", d.key.rut);
  row.set("razon_social", d.issuerName);
  row.set("tipo", d.key.tipo);
  row.set("titulo", DocumentTitle(d.key.tipo));
  row.set("folio", std::to_string(d.key.folio));
  row.set("fecha", d.issueDate);
  row.set("receptor", d.receiverName);
  row.set("monto", PesoAmount(d.total));
  row.set("estado", FiscalStatusText(d, facts.history));
  row.set("anulado", d.voided);
  row.set("enlace", DocumentLink(d.key));
  return row;
}

struct Found {
  std::int64_t total = 0;
  std::vector<DocumentFacts> documents;
};

Found Search(Store& store, const DocumentFilter& filter, const SqlFilter& sql) {
  return store.Read([&](StoreTx& tx) {
    Found found;
    found.total = tx.CountDocuments(filter.environment, sql.condition, sql.params);
    for (auto& row : tx.SearchDocuments(filter.environment, sql.condition, sql.params,
                                        (filter.page - 1) * kPageSize, kPageSize)) {
      found.documents.push_back(GatherFacts(tx, std::move(row)));
    }
    return found;
  });
}

void AddPaging(View& view, const DocumentFilter& filter, const Found& found) {
  const std::int64_t first = (filter.page - 1) * kPageSize;
  const std::int64_t pages = (found.total + kPageSize - 1) / kPageSize;
  view.set("total", std::to_string(found.total));
  view.set("pagina", std::to_string(filter.page));
  view.set("paginas", std::to_string(std::max<std::int64_t>(pages, 1)));
  view.set("primera_fila", std::to_string(found.documents.empty() ? 0 : first + 1));
  view.set("ultima_fila",
           std::to_string(first + static_cast<std::int64_t>(found.documents.size())));
  view.set("hay_anterior", filter.page > 1);
  view.set("anterior",
           PageLink(filter, std::min(filter.page - 1, std::max<std::int64_t>(pages, 1))));
  view.set("hay_siguiente", filter.page < pages);
  view.set("siguiente", PageLink(filter, filter.page + 1));
}

}  // namespace

std::string QueryEnvironment(const FormFields& query) {
  const std::string environment = FieldOr(query, "ambiente");
  return environment.empty() ? "T" : RequireEnvironment(environment);
}

ConsoleAnswer DocumentsPage(Store& store, const PageFrame& frame, const FormFields& query) {
  const DocumentFilter filter = ReadFilter(query);
  View view = FilterView(filter);
  int status = 200;
  Found found;
  try {
    found = Search(store, filter, CompileQuery(SearchQuery(filter)));
  } catch (const SandboxError& refusal) {
    if (refusal.status() != 400) throw;
    // A filter the search refuses is the developer's to fix: the form stays as it was.
    status = 400;
    view.set("error", refusal.description());
  }
  View rows = ListView();
  for (const auto& facts : found.documents) rows.push_back(RowView(facts));
  view.set("filas", rows);
  view.set("hay_filas", !found.documents.empty());
  AddPaging(view, filter, found);
  return HtmlAnswer(status, RenderPage(frame, "documentos", std::move(view)));
}

}  // namespace QuarloSandbox
