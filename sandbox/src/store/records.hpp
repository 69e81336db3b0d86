#pragma once

#include <cstdint>
#include <string>

namespace QuarloSandbox {

// How the sandbox names one stored document: environment ("T" or "P"), the issuer's RUT, the
// type ("33", or a book's "VENTA"; see README) and the folio (a book's period code).
struct DocumentKey {
  std::string environment;
  std::string rut;
  std::string tipo;
  std::int64_t folio = 0;
};

// What is stored of each document, report and book.
enum class DocumentKind { Dte, Boleta, ConsumoFolios, LibroCompraVenta, LibroGuia, LibroBoleta };

// The stored text of a kind ("DTE", "BOLETA", ...), and back; FromText throws on an unknown text.
std::string KindText(DocumentKind kind);
DocumentKind KindFromText(const std::string& text);

struct DocumentRow {
  std::int64_t id = 0;
  DocumentKey key;
  std::string group = "E";
  DocumentKind kind = DocumentKind::Dte;
  std::string xml;  // the document element, UTF-8, in the SII namespace, without declaration
  std::string ted;  // the TED element text of a DTE or boleta
  std::string resolutionDate;
  std::string resolutionNumber;
  // Copies of the fields the search and the reconciliation filter on.
  std::string issuerName;
  std::string receiverRut;
  std::string receiverName;
  std::string itemName;
  std::string issueDate;   // AAAA-MM-DD
  std::string total;       // MntTotal as written
  std::string searchText;  // folded names for free-text search
  std::int64_t trackId = 0;
  bool confirmed = true;  // false for a generated folio report awaiting ConfirmDocument
  bool voided = false;
  bool reconciled = false;
  std::string receivedAt;  // AAAA-MM-DDTHH:MM:SS
};

// One state of a document's tracking history.
struct TrackState {
  int codigo = 0;
  std::string estado;
  std::string comentario;
  std::string timeStamp;
  std::int64_t trackId = 0;
};

struct CafRow {
  std::int64_t id = 0;
  std::int64_t desde = 0;
  std::int64_t hasta = 0;
  std::string xml;
};

struct CommercialResponse {
  std::string responseType;  // "A" or "R"
  std::string action;        // "0".."4"
  std::string contactName;
  std::string contactPhone;
  std::string contactEmail;
  std::string observations;
  std::string ackXml;
  std::string timeStamp;
};

struct Factoring {
  std::int64_t id = 0;
  std::string rut;
  std::string razonSocial;
  std::string nombreFantasia;
  std::string email;
  std::string address;
};

struct Cession {
  std::int64_t seq = 0;
  std::string cedenteRut;
  std::string cedenteName;
  std::string cedenteEmail;
  std::string cedenteAddress;
  std::string cesionarioRut;
  std::string cesionarioName;
  std::string cesionarioEmail;
  std::string amount;
  std::string dueDate;
  std::string cededAt;  // AAAA-MM-DDTHH:MM:SS
  std::string previousAec;
  std::string aecXml;
};

// One CAF as the console shows it: its issuer, type and range, and the folios of the range used.
struct CafUsage {
  std::string rut;
  int tipo = 0;
  std::int64_t desde = 0;
  std::int64_t hasta = 0;
  std::int64_t used = 0;
  std::string uploadedAt;
};

// A cession with the document it cedes, as the cession reconciliation lists it.
struct CessionView {
  Cession cession;
  DocumentRow document;
};

}  // namespace QuarloSandbox
