// Whatever query a search carries, it compiles into a condition the store runs, or it is refused
// with 400: the database never refuses what the compiler let through, and a page never holds
// more documents than the count says. The input is the query text as the search decodes it.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sandbox_error.hpp"
#include "service/query.hpp"
#include "service/search_text.hpp"
#include "store/store.hpp"

namespace {

using namespace QuarloSandbox;

DocumentRow Document(std::int64_t folio, const char* tipo, const std::string& receiver,
                     const std::string& date, const std::string& total) {
  DocumentRow row;
  row.key = DocumentKey{"T", "76543210-3", tipo, folio};
  row.kind = std::string_view(tipo) == "39" ? DocumentKind::Boleta : DocumentKind::Dte;
  row.xml = "<DTE/>";
  row.issuerName = "Comercializadora Ñuñoa Ltda.";
  row.receiverRut = "77214903-4";
  row.receiverName = receiver;
  row.itemName = "Cemento 25 kg al 10% _x_";
  row.issueDate = date;
  row.total = total;
  row.searchText = FoldForSearch(row.issuerName + " " + receiver + " " + row.itemName);
  row.receivedAt = date + "T10:00:00";
  return row;
}

void Fill(Store& store) {
  store.Write([](StoreTx& tx) {
    DocumentRow voided = Document(7, "39", "\"Comillas\"", "2023-12-31", "2380");
    voided.voided = true;
    for (DocumentRow row :
         {Document(1, "33", "Constructora Los Peñascos SpA", "2024-05-02", "1448706"),
          Document(2, "33", "O'Higgins & Cía", "2024-05-31", "0"), voided}) {
      row.trackId = tx.NewTrackId("T", row.kind, row.receivedAt);
      tx.InsertDocument(row);
    }
  });
}

// A store with a few documents, made once; the searches only read it.
Store& SearchedStore() {
  static Store store("");
  static const bool filled = (Fill(store), true);
  (void)filled;
  return store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view query(reinterpret_cast<const char*>(data), size);
  SqlFilter filter;
  try {
    filter = CompileQuery(query);
  } catch (const SandboxError& error) {
    if (error.status() == 400) return 0;
    std::fprintf(stderr, "the query was refused with %d: %s\n", error.status(), error.what());
    std::abort();
  }
  try {
    SearchedStore().Read([&](StoreTx& tx) {
      const std::int64_t total = tx.CountDocuments("T", filter.condition, filter.params);
      const auto page = tx.SearchDocuments("T", filter.condition, filter.params, 0, 10);
      if (total < 0 || static_cast<std::int64_t>(page.size()) > total || total > 3) std::abort();
    });
  } catch (const SandboxError& error) {
    std::fprintf(stderr, "the store refused a compiled query (%d): %s\n", error.status(),
                 error.what());
    std::abort();
  }
  return 0;
}
