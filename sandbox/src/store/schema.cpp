#include "store/schema.hpp"

#include <string>

#include "sandbox_error.hpp"

namespace QuarloSandbox {

namespace {

constexpr std::int64_t kSchemaVersion = 1;

// Folios stay used after their document is deleted: the tax authority never lets a folio be
// issued twice. Every child table cascades with its document. A folio hint is where the search
// for a range's lowest free folio starts: used folios are never freed, so the lowest free one
// only moves up. A database without the table, or without a hint, searches from the range's
// first folio. The listing index holds every column a search filters on, in the order it lists
// documents, so that counting and paging never read a document's XML.
constexpr const char* kTables = R"sql(
CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS cafs (
  id INTEGER PRIMARY KEY,
  environment TEXT NOT NULL, rut TEXT NOT NULL, tipo INTEGER NOT NULL,
  desde INTEGER NOT NULL, hasta INTEGER NOT NULL,
  xml TEXT NOT NULL, uploaded_at TEXT NOT NULL,
  UNIQUE (environment, rut, tipo, desde));
CREATE TABLE IF NOT EXISTS used_folios (
  environment TEXT NOT NULL, rut TEXT NOT NULL, tipo INTEGER NOT NULL, folio INTEGER NOT NULL,
  PRIMARY KEY (environment, rut, tipo, folio)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS folio_hints (
  environment TEXT NOT NULL, rut TEXT NOT NULL, tipo INTEGER NOT NULL, desde INTEGER NOT NULL,
  next INTEGER NOT NULL,
  PRIMARY KEY (environment, rut, tipo, desde)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS submissions (
  track_id INTEGER PRIMARY KEY AUTOINCREMENT,
  environment TEXT NOT NULL, kind TEXT NOT NULL, received_at TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS documents (
  id INTEGER PRIMARY KEY,
  environment TEXT NOT NULL, grp TEXT NOT NULL, rut TEXT NOT NULL, tipo TEXT NOT NULL,
  folio INTEGER NOT NULL, kind TEXT NOT NULL,
  xml TEXT NOT NULL, ted TEXT NOT NULL,
  resolution_date TEXT NOT NULL, resolution_number TEXT NOT NULL,
  issuer_name TEXT NOT NULL, receiver_rut TEXT NOT NULL, receiver_name TEXT NOT NULL,
  item_name TEXT NOT NULL, issue_date TEXT NOT NULL, total TEXT NOT NULL,
  search_text TEXT NOT NULL,
  track_id INTEGER NOT NULL REFERENCES submissions (track_id),
  confirmed INTEGER NOT NULL, voided INTEGER NOT NULL, reconciled INTEGER NOT NULL,
  received_at TEXT NOT NULL,
  UNIQUE (environment, rut, tipo, folio));
CREATE INDEX IF NOT EXISTS documents_by_receiver
  ON documents (environment, receiver_rut, issue_date);
CREATE INDEX IF NOT EXISTS documents_by_day ON documents (environment, rut, kind, issue_date);
CREATE INDEX IF NOT EXISTS documents_listing ON documents (
  environment, received_at, id, kind, tipo, issue_date, total, voided, rut, receiver_rut, folio,
  search_text);
CREATE TABLE IF NOT EXISTS tracking (
  id INTEGER PRIMARY KEY,
  document_id INTEGER NOT NULL REFERENCES documents (id) ON DELETE CASCADE,
  codigo INTEGER NOT NULL, estado TEXT NOT NULL, comentario TEXT NOT NULL,
  time_stamp TEXT NOT NULL, track_id INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS tracking_by_document ON tracking (document_id);
CREATE TABLE IF NOT EXISTS voids (
  id INTEGER PRIMARY KEY,
  document_id INTEGER NOT NULL REFERENCES documents (id) ON DELETE CASCADE,
  action TEXT NOT NULL, comment TEXT NOT NULL, time_stamp TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS commercial_responses (
  id INTEGER PRIMARY KEY,
  document_id INTEGER NOT NULL REFERENCES documents (id) ON DELETE CASCADE,
  response_type TEXT NOT NULL, action TEXT NOT NULL,
  contact_name TEXT NOT NULL, contact_phone TEXT NOT NULL, contact_email TEXT NOT NULL,
  observations TEXT NOT NULL, ack_xml TEXT NOT NULL, time_stamp TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS commercial_by_document ON commercial_responses (document_id);
CREATE TABLE IF NOT EXISTS cessions (
  id INTEGER PRIMARY KEY,
  document_id INTEGER NOT NULL REFERENCES documents (id) ON DELETE CASCADE,
  seq INTEGER NOT NULL,
  cedente_rut TEXT NOT NULL, cedente_name TEXT NOT NULL, cedente_email TEXT NOT NULL,
  cedente_address TEXT NOT NULL,
  cesionario_rut TEXT NOT NULL, cesionario_name TEXT NOT NULL, cesionario_email TEXT NOT NULL,
  amount TEXT NOT NULL, due_date TEXT NOT NULL, ceded_at TEXT NOT NULL,
  previous_aec TEXT NOT NULL, aec_xml TEXT NOT NULL,
  UNIQUE (document_id, seq));
CREATE TABLE IF NOT EXISTS factorings (
  id INTEGER PRIMARY KEY,
  rut TEXT NOT NULL UNIQUE, razon_social TEXT NOT NULL, nombre_fantasia TEXT NOT NULL,
  email TEXT NOT NULL, address TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS prints (
  id INTEGER PRIMARY KEY,
  document_id INTEGER NOT NULL REFERENCES documents (id) ON DELETE CASCADE,
  printer TEXT NOT NULL, time_stamp TEXT NOT NULL);
)sql";

}  // namespace

void EnsureSchema(Connection& connection) {
  Transaction transaction(connection, Transaction::Kind::Write);
  connection.Execute(kTables);
  std::int64_t found = 0;
  {
    Statement version(connection, "SELECT version FROM schema_version");
    if (version.Step()) found = version.Integer(0);
  }
  if (found == 0) {
    Statement(connection, "INSERT INTO schema_version (version) VALUES (?)")
        .Bind(1, kSchemaVersion)
        .Run();
  } else if (found != kSchemaVersion) {
    throw SandboxError(500, "la base de datos es de otra versión del sandbox (esquema " +
                                std::to_string(found) + ")");
  }
  transaction.Commit();
}

}  // namespace QuarloSandbox
