#include "store/store.hpp"

namespace QuarloSandbox {

namespace {

Cession ReadCession(const Statement& row, int first) {
  Cession c;
  c.seq = row.Integer(first);
  c.cedenteRut = row.Text(first + 1);
  c.cedenteName = row.Text(first + 2);
  c.cedenteEmail = row.Text(first + 3);
  c.cedenteAddress = row.Text(first + 4);
  c.cesionarioRut = row.Text(first + 5);
  c.cesionarioName = row.Text(first + 6);
  c.cesionarioEmail = row.Text(first + 7);
  c.amount = row.Text(first + 8);
  c.dueDate = row.Text(first + 9);
  c.cededAt = row.Text(first + 10);
  c.previousAec = row.Text(first + 11);
  c.aecXml = row.Text(first + 12);
  return c;
}

constexpr const char* kCessionColumns =
    "c.seq, c.cedente_rut, c.cedente_name, c.cedente_email, c.cedente_address, "
    "c.cesionario_rut, c.cesionario_name, c.cesionario_email, c.amount, c.due_date, c.ceded_at, "
    "c.previous_aec, c.aec_xml";

Factoring ReadFactoring(const Statement& row) {
  return Factoring{row.Integer(0), row.Text(1), row.Text(2), row.Text(3), row.Text(4), row.Text(5)};
}

constexpr const char* kFactoringColumns =
    "SELECT id, rut, razon_social, nombre_fantasia, email, address FROM factorings ";

}  // namespace

void StoreTx::InsertCommercialResponse(std::int64_t documentId, const CommercialResponse& r) {
  Statement insert(db_,
                   "INSERT INTO commercial_responses (document_id, response_type, action, "
                   "contact_name, contact_phone, contact_email, observations, ack_xml, "
                   "time_stamp) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
  insert.Bind(1, documentId).Bind(2, r.responseType).Bind(3, r.action).Bind(4, r.contactName);
  insert.Bind(5, r.contactPhone).Bind(6, r.contactEmail).Bind(7, r.observations);
  insert.Bind(8, r.ackXml).Bind(9, r.timeStamp);
  insert.Run();
}

std::vector<CommercialResponse> StoreTx::CommercialResponses(std::int64_t documentId) {
  Statement query(db_,
                  "SELECT response_type, action, contact_name, contact_phone, contact_email, "
                  "observations, ack_xml, time_stamp FROM commercial_responses "
                  "WHERE document_id = ? ORDER BY id");
  query.Bind(1, documentId);
  std::vector<CommercialResponse> responses;
  while (query.Step()) {
    responses.push_back(CommercialResponse{query.Text(0), query.Text(1), query.Text(2),
                                           query.Text(3), query.Text(4), query.Text(5),
                                           query.Text(6), query.Text(7)});
  }
  return responses;
}

void StoreTx::InsertCession(std::int64_t documentId, const Cession& c) {
  Statement insert(db_,
                   "INSERT INTO cessions (document_id, seq, cedente_rut, cedente_name, "
                   "cedente_email, cedente_address, cesionario_rut, cesionario_name, "
                   "cesionario_email, amount, due_date, ceded_at, previous_aec, aec_xml) "
                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  insert.Bind(1, documentId).Bind(2, c.seq).Bind(3, c.cedenteRut).Bind(4, c.cedenteName);
  insert.Bind(5, c.cedenteEmail).Bind(6, c.cedenteAddress).Bind(7, c.cesionarioRut);
  insert.Bind(8, c.cesionarioName).Bind(9, c.cesionarioEmail).Bind(10, c.amount);
  insert.Bind(11, c.dueDate).Bind(12, c.cededAt).Bind(13, c.previousAec).Bind(14, c.aecXml);
  insert.Run();
}

std::vector<Cession> StoreTx::Cessions(std::int64_t documentId) {
  Statement query(db_, std::string("SELECT ") + kCessionColumns +
                           " FROM cessions c WHERE c.document_id = ? ORDER BY c.seq");
  query.Bind(1, documentId);
  std::vector<Cession> cessions;
  while (query.Step()) cessions.push_back(ReadCession(query, 0));
  return cessions;
}

std::vector<CessionView> StoreTx::CessionsFor(const std::string& environment,
                                              const std::string& rut, const std::string& role,
                                              const std::string& from, const std::string& to) {
  const std::string column = role == "deudor"    ? "d.receiver_rut"
                             : role == "cedente" ? "c.cedente_rut"
                                                 : "c.cesionario_rut";
  Statement query(db_, std::string("SELECT d.id, ") + kCessionColumns +
                           " FROM cessions c JOIN documents d ON d.id = c.document_id "
                           "WHERE d.environment = ? AND " +
                           column +
                           " = ? AND substr(c.ceded_at, 1, 10) BETWEEN ? AND ? "
                           "ORDER BY c.ceded_at, c.id");
  query.Bind(1, environment).Bind(2, rut).Bind(3, from).Bind(4, to);
  std::vector<std::pair<std::int64_t, Cession>> found;
  while (query.Step()) found.emplace_back(query.Integer(0), ReadCession(query, 1));
  std::vector<CessionView> views;
  for (auto& [documentId, cession] : found) {
    Statement document(db_, "SELECT environment, rut, tipo, folio FROM documents WHERE id = ?");
    document.Bind(1, documentId);
    document.Step();
    const DocumentKey key{document.Text(0), document.Text(1), document.Text(2),
                          document.Integer(3)};
    views.push_back(CessionView{std::move(cession), *FindDocument(key)});
  }
  return views;
}

std::vector<Factoring> StoreTx::Factorings() {
  Statement query(db_, std::string(kFactoringColumns) + "ORDER BY id");
  std::vector<Factoring> factorings;
  while (query.Step()) factorings.push_back(ReadFactoring(query));
  return factorings;
}

std::optional<Factoring> StoreTx::FactoringById(std::int64_t id) {
  Statement query(db_, std::string(kFactoringColumns) + "WHERE id = ?");
  query.Bind(1, id);
  if (!query.Step()) return std::nullopt;
  return ReadFactoring(query);
}

std::optional<Factoring> StoreTx::FactoringByRut(const std::string& rut) {
  Statement query(db_, std::string(kFactoringColumns) + "WHERE rut = ?");
  query.Bind(1, rut);
  if (!query.Step()) return std::nullopt;
  return ReadFactoring(query);
}

std::int64_t StoreTx::UpsertFactoring(const Factoring& f) {
  Statement(db_,
            "INSERT INTO factorings (rut, razon_social, nombre_fantasia, email, address) "
            "VALUES (?, ?, ?, ?, ?) ON CONFLICT (rut) DO UPDATE SET "
            "razon_social = excluded.razon_social, nombre_fantasia = excluded.nombre_fantasia, "
            "email = excluded.email, address = excluded.address")
      .Bind(1, f.rut)
      .Bind(2, f.razonSocial)
      .Bind(3, f.nombreFantasia)
      .Bind(4, f.email)
      .Bind(5, f.address)
      .Run();
  return FactoringByRut(f.rut)->id;
}

bool StoreTx::DeleteFactoring(const std::string& rut) {
  Statement(db_, "DELETE FROM factorings WHERE rut = ?").Bind(1, rut).Run();
  return sqlite3_changes(db_.Handle()) > 0;
}

}  // namespace QuarloSandbox
