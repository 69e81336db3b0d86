#include <charconv>
#include <quarlo/error.hpp>
#include <quarlo/pdf417.hpp>
#include <quarlo/timbre.hpp>

#include "binding/library_contexts.hpp"
#include "contingency/outbox.hpp"

namespace QuarloCliente {

namespace {

using detail::SqliteDb;
using detail::SqliteStatement;

[[noreturn]] void Refuse(const std::string& why) {
  throw Error("Bandeja de salida: " + why);
}

// The form of a DTE that carries its header, whichever of the three it holds.
std::shared_ptr<BindingElement> FormOf(const DteDocumentBinding& dte) {
  if (auto form = dte.Documento()) return form;
  if (auto form = dte.Exportaciones()) return form;
  if (auto form = dte.Liquidacion()) return form;
  Refuse("el DTE no tiene Documento, Exportaciones ni Liquidacion");
}
std::shared_ptr<BindingElement> FormOf(const BoletaDocumentBinding& boleta) {
  return boleta.Documento();
}

std::int64_t WholeNumber(const std::string& text, const char* what) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    Refuse(std::string("el documento no tiene un ") + what + " numérico");
  }
  return value;
}

// An amount of the totals, 0 when the document leaves it out (an exempt sale has no IVA).
std::int64_t Amount(const BindingElement& form, const char* name) {
  const std::string path = std::string("Encabezado/Totales/") + name;
  if (!form.Has(path)) return 0;
  std::int64_t value = 0;
  const std::string text = form.Get(path);
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// Who issues the document and which type it is, as the CAF must match them.
struct DocumentKey {
  std::string rut;
  std::int32_t tipo = 0;
  std::int64_t folio = 0;
};

DocumentKey KeyOf(const BindingElement& form) {
  return {form.Get("Encabezado/Emisor/RUTEmisor"),
          static_cast<std::int32_t>(WholeNumber(form.Get("Encabezado/IdDoc/TipoDTE"), "tipo")), 0};
}

// The folio and issue date an issue writes, put back unless the issue commits, so that a failed
// issue leaves the caller's document as it was.
class HeaderEdit {
 public:
  explicit HeaderEdit(BindingElement& form)
      : form_(form),
        hadFolio_(form.Has(kFolio)),
        folio_(hadFolio_ ? form.Get(kFolio) : ""),
        hadDate_(form.Has(kDate)) {}
  ~HeaderEdit() {
    if (kept_) return;
    if (hadFolio_)
      form_.Set(kFolio, folio_);
    else
      form_.Remove(kFolio);
    if (!hadDate_) form_.Remove(kDate);
  }
  HeaderEdit(const HeaderEdit&) = delete;
  HeaderEdit& operator=(const HeaderEdit&) = delete;

  // Today's date goes in only when the caller wrote none: a date it set is the sale's.
  void Write(std::int64_t folio) {
    form_.Set(kFolio, folio);
    if (!hadDate_) form_.Set(kDate, BindingDateTime::FromDate(Now()));
  }
  void Keep() { kept_ = true; }

 private:
  static constexpr const char* kFolio = "Encabezado/IdDoc/Folio";
  static constexpr const char* kDate = "Encabezado/IdDoc/FchEmis";
  BindingElement& form_;
  bool hadFolio_;
  std::string folio_;
  bool hadDate_;
  bool kept_ = false;
};

bool FolioQueued(const SqliteDb& db, const DocumentKey& key) {
  SqliteStatement queued(db,
                         "SELECT 1 FROM item WHERE rut = ? AND tipo = ? AND folio = ? "
                         "AND clase IN ('dte', 'boleta')");
  queued.Bind(1, key.rut).Bind(2, std::int64_t{key.tipo}).Bind(3, key.folio);
  return queued.Step();
}

struct FreeFolio {
  std::int64_t cafId = 0;
  std::int64_t folio = 0;
  Bytes cafBytes;
};

// The lowest free folio of the issuer and type, CAF by CAF in folio order. A folio already
// queued (stamped elsewhere and queued as it was) is passed over for good.
FreeFolio NextFreeFolio(const SqliteDb& db, DocumentKey key) {
  SqliteStatement next(db,
                       "SELECT id, siguiente, hasta, bytes FROM caf WHERE rut = ? AND tipo = ? "
                       "AND siguiente <= hasta ORDER BY desde");
  next.Bind(1, key.rut).Bind(2, std::int64_t{key.tipo});
  while (next.Step()) {
    for (key.folio = next.Integer(1); key.folio <= next.Integer(2); ++key.folio) {
      if (!FolioQueued(db, key)) return {next.Integer(0), key.folio, next.Blob(3)};
    }
  }
  Refuse("no quedan folios del tipo " + std::to_string(key.tipo) + " para el emisor " + key.rut +
         "; registre un CAF nuevo de ese emisor y tipo con RegistrarCaf");
}

std::string DocumentXml(const BindingDocument& document) {
  return document.ToXml(detail::StrictLoadingContext(), true);
}

// Queues a document with everything its later submission needs; the id of its item.
std::int64_t InsertDocument(const SqliteDb& db, const char* clase, const DocumentKey& key,
                            const BindingElement& form, const std::string& xml,
                            const std::string& ted) {
  if (FolioQueued(db, key)) {
    Refuse("ya hay un documento del tipo " + std::to_string(key.tipo) + " con folio " +
           std::to_string(key.folio) + " del emisor " + key.rut + " en la bandeja");
  }
  SqliteStatement insert(db,
                         "INSERT INTO item(clase, rut, tipo, folio, fecha, contenido, ted, "
                         "mnt_neto, mnt_iva, mnt_exento, mnt_total, creado) "
                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  insert.Bind(1, clase).Bind(2, key.rut).Bind(3, std::int64_t{key.tipo}).Bind(4, key.folio);
  insert.Bind(5, form.Get("Encabezado/IdDoc/FchEmis").substr(0, 10));
  insert.BindBlob(6, Bytes(xml.begin(), xml.end())).Bind(7, ted);
  insert.Bind(8, Amount(form, "MntNeto")).Bind(9, Amount(form, "IVA"));
  insert.Bind(10, Amount(form, "MntExe")).Bind(11, Amount(form, "MntTotal"));
  insert.Bind(12, detail::NowMillis()).Run();
  return sqlite3_last_insert_rowid(db.Handle());
}

const char* ClassOf(const DteDocumentBinding&) {
  return "dte";
}
const char* ClassOf(const BoletaDocumentBinding&) {
  return "boleta";
}

std::string Stamp(DteDocumentBinding& dte, const ArchivoCaf& caf, const BindingDateTime& at) {
  return TimbrarDte(dte, caf, at);
}
std::string Stamp(BoletaDocumentBinding& boleta, const ArchivoCaf& caf, const BindingDateTime& at) {
  return TimbrarBoleta(boleta, caf, at);
}

template <class Binding>
EmisionLocal Issue(BandejaSalida::Estado& state, const std::shared_ptr<Binding>& document) {
  if (!document) Refuse("no se indicó el documento");
  const auto form = FormOf(*document);
  std::lock_guard lock(state.mutex);
  detail::SqliteWriteTransaction transaction(state.db);
  detail::ReadSubmissionSettings(state.db);
  DocumentKey key = KeyOf(*form);
  const FreeFolio free = NextFreeFolio(state.db, key);
  key.folio = free.folio;
  HeaderEdit edit(*form);
  edit.Write(key.folio);
  EmisionLocal issued;
  issued.folio = key.folio;
  issued.ted =
      Stamp(*document, state.Caf(free.cafId, free.cafBytes), BindingDateTime::FromDateTime(Now()));
  issued.pdf417Png = CodigoPdf417Png(issued.ted);
  issued.item =
      InsertDocument(state.db, ClassOf(*document), key, *form, DocumentXml(*document), issued.ted);
  SqliteStatement advance(state.db, "UPDATE caf SET siguiente = ? WHERE id = ?");
  advance.Bind(1, key.folio + 1).Bind(2, free.cafId).Run();
  transaction.Commit();
  edit.Keep();
  issued.aviso = detail::LowFolioWarning(state.db, key.rut, key.tipo);
  return issued;
}

template <class Binding>
std::int64_t Queue(BandejaSalida::Estado& state, const std::shared_ptr<Binding>& document,
                   const std::string& ted) {
  if (!document) Refuse("no se indicó el documento");
  if (ted.empty()) Refuse("no se indicó el TED del documento");
  const auto form = FormOf(*document);
  DocumentKey key = KeyOf(*form);
  key.folio = WholeNumber(form->Get("Encabezado/IdDoc/Folio"), "folio");
  const std::string xml = DocumentXml(*document);
  std::lock_guard lock(state.mutex);
  detail::SqliteWriteTransaction transaction(state.db);
  detail::ReadSubmissionSettings(state.db);
  const std::int64_t item = InsertDocument(state.db, ClassOf(*document), key, *form, xml, ted);
  transaction.Commit();
  return item;
}

}  // namespace

EmisionLocal BandejaSalida::EmitirBoleta(const std::shared_ptr<BoletaDocumentBinding>& documento) {
  return Issue(*estado_, documento);
}

EmisionLocal BandejaSalida::EmitirDTE(const std::shared_ptr<DteDocumentBinding>& documento) {
  return Issue(*estado_, documento);
}

std::int64_t BandejaSalida::EncolarBoleta(const std::shared_ptr<BoletaDocumentBinding>& documento,
                                          const std::string& ted) {
  return Queue(*estado_, documento, ted);
}

std::int64_t BandejaSalida::EncolarDTE(const std::shared_ptr<DteDocumentBinding>& documento,
                                       const std::string& ted) {
  return Queue(*estado_, documento, ted);
}

DocumentoGuardado BandejaSalida::Documento(const std::string& rutEmisor, std::int32_t tipoDte,
                                           std::int64_t folio) const {
  std::lock_guard lock(estado_->mutex);
  SqliteStatement row(estado_->db,
                      "SELECT contenido, ted, estado FROM item WHERE rut = ? AND tipo = ? "
                      "AND folio = ? AND clase IN ('dte', 'boleta')");
  row.Bind(1, rutEmisor).Bind(2, std::int64_t{tipoDte}).Bind(3, folio);
  if (!row.Step()) {
    Refuse("no hay documento del tipo " + std::to_string(tipoDte) + " con folio " +
           std::to_string(folio) + " del emisor " + rutEmisor);
  }
  const Bytes xml = row.Blob(0);
  DocumentoGuardado stored{
      std::string(xml.begin(), xml.end()), row.Text(1), {}, detail::StateFromText(row.Text(2))};
  stored.pdf417Png = CodigoPdf417Png(stored.ted);
  return stored;
}

}  // namespace QuarloCliente
