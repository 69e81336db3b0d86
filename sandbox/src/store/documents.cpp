#include "sandbox_error.hpp"
#include "store/store.hpp"

namespace QuarloSandbox {

namespace {

constexpr const char* kDocumentColumns =
    "SELECT id, environment, grp, rut, tipo, folio, kind, xml, ted, resolution_date, "
    "resolution_number, issuer_name, receiver_rut, receiver_name, item_name, issue_date, total, "
    "search_text, track_id, confirmed, voided, reconciled, received_at FROM documents ";

DocumentRow ReadDocument(const Statement& row) {
  DocumentRow d;
  d.id = row.Integer(0);
  d.key = DocumentKey{row.Text(1), row.Text(3), row.Text(4), row.Integer(5)};
  d.group = row.Text(2);
  d.kind = KindFromText(row.Text(6));
  d.xml = row.Text(7);
  d.ted = row.Text(8);
  d.resolutionDate = row.Text(9);
  d.resolutionNumber = row.Text(10);
  d.issuerName = row.Text(11);
  d.receiverRut = row.Text(12);
  d.receiverName = row.Text(13);
  d.itemName = row.Text(14);
  d.issueDate = row.Text(15);
  d.total = row.Text(16);
  d.searchText = row.Text(17);
  d.trackId = row.Integer(18);
  d.confirmed = row.Integer(19) != 0;
  d.voided = row.Integer(20) != 0;
  d.reconciled = row.Integer(21) != 0;
  d.receivedAt = row.Text(22);
  return d;
}

std::vector<DocumentRow> ReadAll(Statement& query) {
  std::vector<DocumentRow> rows;
  while (query.Step()) rows.push_back(ReadDocument(query));
  return rows;
}

void BindParams(Statement& query, int first, const std::vector<StoreTx::SearchParam>& params) {
  int index = first;
  for (const auto& param : params) {
    if (param.isNumber) {
      query.Bind(index++, param.number);
    } else {
      query.Bind(index++, param.text);
    }
  }
}

// Search and reconciliation see documents, not books or folio reports.
constexpr const char* kDocumentsOnly = "kind IN ('DTE', 'BOLETA')";

}  // namespace

std::string KindText(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::Dte:
      return "DTE";
    case DocumentKind::Boleta:
      return "BOLETA";
    case DocumentKind::ConsumoFolios:
      return "CONSUMO_FOLIOS";
    case DocumentKind::LibroCompraVenta:
      return "LIBRO_COMPRA_VENTA";
    case DocumentKind::LibroGuia:
      return "LIBRO_GUIA";
    case DocumentKind::LibroBoleta:
      return "LIBRO_BOLETA";
  }
  return "DTE";
}

DocumentKind KindFromText(const std::string& text) {
  for (const auto kind :
       {DocumentKind::Dte, DocumentKind::Boleta, DocumentKind::ConsumoFolios,
        DocumentKind::LibroCompraVenta, DocumentKind::LibroGuia, DocumentKind::LibroBoleta}) {
    if (KindText(kind) == text) return kind;
  }
  throw SandboxError(500, "clase de documento desconocida en la base de datos: " + text);
}

std::int64_t StoreTx::NewTrackId(const std::string& environment, DocumentKind kind,
                                 const std::string& now) {
  Statement(db_, "INSERT INTO submissions (environment, kind, received_at) VALUES (?, ?, ?)")
      .Bind(1, environment)
      .Bind(2, KindText(kind))
      .Bind(3, now)
      .Run();
  return LastInsertId(db_);
}

std::int64_t StoreTx::InsertDocument(const DocumentRow& d) {
  Statement insert(db_,
                   "INSERT INTO documents (environment, grp, rut, tipo, folio, kind, xml, ted, "
                   "resolution_date, resolution_number, issuer_name, receiver_rut, "
                   "receiver_name, item_name, issue_date, total, search_text, track_id, "
                   "confirmed, voided, reconciled, received_at) "
                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  insert.Bind(1, d.key.environment).Bind(2, d.group).Bind(3, d.key.rut).Bind(4, d.key.tipo);
  insert.Bind(5, d.key.folio).Bind(6, KindText(d.kind)).Bind(7, d.xml).Bind(8, d.ted);
  insert.Bind(9, d.resolutionDate).Bind(10, d.resolutionNumber).Bind(11, d.issuerName);
  insert.Bind(12, d.receiverRut).Bind(13, d.receiverName).Bind(14, d.itemName);
  insert.Bind(15, d.issueDate).Bind(16, d.total).Bind(17, d.searchText).Bind(18, d.trackId);
  insert.Bind(19, std::int64_t{d.confirmed}).Bind(20, std::int64_t{d.voided});
  insert.Bind(21, std::int64_t{d.reconciled}).Bind(22, d.receivedAt);
  insert.Run();
  return LastInsertId(db_);
}

std::optional<DocumentRow> StoreTx::FindDocument(const DocumentKey& key) {
  Statement query(db_, std::string(kDocumentColumns) +
                           "WHERE environment = ? AND rut = ? AND tipo = ? AND folio = ?");
  query.Bind(1, key.environment).Bind(2, key.rut).Bind(3, key.tipo).Bind(4, key.folio);
  if (!query.Step()) return std::nullopt;
  return ReadDocument(query);
}

void StoreTx::DeleteDocument(std::int64_t id) {
  Statement(db_, "DELETE FROM documents WHERE id = ?").Bind(1, id).Run();
}

void StoreTx::SetVoided(std::int64_t id, bool voided) {
  Statement(db_, "UPDATE documents SET voided = ? WHERE id = ?")
      .Bind(1, std::int64_t{voided})
      .Bind(2, id)
      .Run();
}

void StoreTx::SetConfirmed(std::int64_t id) {
  Statement(db_, "UPDATE documents SET confirmed = 1 WHERE id = ?").Bind(1, id).Run();
}

void StoreTx::SetReconciled(std::int64_t id) {
  Statement(db_, "UPDATE documents SET reconciled = 1 WHERE id = ?").Bind(1, id).Run();
}

std::vector<DocumentRow> StoreTx::BoletasOfDay(const std::string& environment,
                                               const std::string& rut, const std::string& date) {
  Statement query(db_, std::string(kDocumentColumns) +
                           "WHERE environment = ? AND rut = ? AND kind = 'BOLETA' AND "
                           "issue_date = ? ORDER BY tipo, folio");
  query.Bind(1, environment).Bind(2, rut).Bind(3, date);
  return ReadAll(query);
}

std::vector<DocumentRow> StoreTx::IssuedTo(const std::string& environment,
                                           const std::string& receiver, const std::string& from,
                                           const std::string& to) {
  Statement query(db_, std::string(kDocumentColumns) + "WHERE environment = ? AND " +
                           kDocumentsOnly +
                           " AND receiver_rut = ? AND issue_date BETWEEN ? AND ? "
                           "ORDER BY issue_date, rut, tipo, folio");
  query.Bind(1, environment).Bind(2, receiver).Bind(3, from).Bind(4, to);
  return ReadAll(query);
}

std::vector<DocumentRow> StoreTx::SearchDocuments(const std::string& environment,
                                                  const std::string& condition,
                                                  const std::vector<SearchParam>& params,
                                                  std::int64_t offset, std::int64_t limit) {
  // The page's ids first, from the listing index alone; only then the page's own rows, whose
  // XML would otherwise be read for every document the page skips or the filter drops.
  Statement page(db_, std::string("SELECT id FROM documents WHERE environment = ? AND ") +
                          kDocumentsOnly + " AND (" + condition +
                          ") ORDER BY received_at DESC, id DESC LIMIT ? OFFSET ?");
  page.Bind(1, environment);
  BindParams(page, 2, params);
  const int next = 2 + static_cast<int>(params.size());
  page.Bind(next, limit).Bind(next + 1, offset);
  std::vector<std::int64_t> ids;
  while (page.Step()) ids.push_back(page.Integer(0));
  std::vector<DocumentRow> rows;
  rows.reserve(ids.size());
  for (const std::int64_t id : ids) {
    Statement row(db_, std::string(kDocumentColumns) + "WHERE id = ?");
    row.Bind(1, id);
    if (row.Step()) rows.push_back(ReadDocument(row));
  }
  return rows;
}

std::int64_t StoreTx::CountDocuments(const std::string& environment, const std::string& condition,
                                     const std::vector<SearchParam>& params) {
  Statement query(db_, std::string("SELECT COUNT(*) FROM documents WHERE environment = ? AND ") +
                           kDocumentsOnly + " AND (" + condition + ")");
  query.Bind(1, environment);
  BindParams(query, 2, params);
  query.Step();
  return query.Integer(0);
}

}  // namespace QuarloSandbox
