#include <map>
#include <quarlo/error.hpp>

#include "binding/library_contexts.hpp"
#include "contingency/outbox.hpp"

namespace QuarloCliente {

namespace {

using detail::SqliteStatement;

// The boletas of one type issued on the day: folios in order and the sums of their amounts.
struct TypeTotals {
  std::vector<std::int64_t> folios;
  std::int64_t neto = 0;
  std::int64_t iva = 0;
  std::int64_t exento = 0;
  std::int64_t total = 0;
};

std::map<std::int64_t, TypeTotals> DayTotals(const detail::SqliteDb& db, const std::string& rut,
                                             const std::string& day) {
  SqliteStatement rows(db,
                       "SELECT tipo, folio, mnt_neto, mnt_iva, mnt_exento, mnt_total FROM item "
                       "WHERE clase = 'boleta' AND rut = ? AND fecha = ? ORDER BY tipo, folio");
  rows.Bind(1, rut).Bind(2, day);
  std::map<std::int64_t, TypeTotals> totals;
  while (rows.Step()) {
    TypeTotals& type = totals[rows.Integer(0)];
    type.folios.push_back(rows.Integer(1));
    type.neto += rows.Integer(2);
    type.iva += rows.Integer(3);
    type.exento += rows.Integer(4);
    type.total += rows.Integer(5);
  }
  return totals;
}

// The folios as runs of consecutive numbers, each one RangoUtilizados.
void AddRanges(ResumenConsumoFolios& resumen, const std::vector<std::int64_t>& folios) {
  std::size_t start = 0;
  for (std::size_t i = 1; i <= folios.size(); ++i) {
    if (i == folios.size() || folios[i] != folios[i - 1] + 1) {
      resumen.AgregarRangoUtilizados(BindingInteger(folios[start]), BindingInteger(folios[i - 1]));
      start = i;
    }
  }
}

void AddSummary(DocumentoConsumoFolios& documento, std::int64_t tipo, const TypeTotals& totals) {
  auto resumen = documento.AgregarResumen();
  resumen->SetTipoDocumento(BindingInteger(tipo));
  resumen->Set("MntNeto", totals.neto).Set("MntIva", totals.iva);
  if (totals.iva != 0) resumen->Set("TasaIVA", "19");
  resumen->Set("MntExento", totals.exento);
  resumen->SetMntTotal(BindingInteger(totals.total));
  const auto count = static_cast<std::int64_t>(totals.folios.size());
  // The outbox voids nothing: every folio it used was issued.
  resumen->Set("FoliosEmitidos", count).Set("FoliosAnulados", std::int64_t{0});
  resumen->Set("FoliosUtilizados", count);
  AddRanges(*resumen, totals.folios);
}

}  // namespace

std::shared_ptr<ConsumoFoliosBinding> BandejaSalida::ConsumoFoliosDelDia(
    const std::string& rutEmisor, Date fecha) const {
  std::lock_guard lock(estado_->mutex);
  const detail::SubmissionSettings settings = detail::ReadSubmissionSettings(estado_->db);
  const std::string day = FormatDate(fecha, "yyyy-MM-dd");
  auto report = std::make_shared<ConsumoFoliosBinding>();
  auto documento = report->DocumentoConsumoFolios();
  documento->SetID("RCOF_" + day);
  const BindingDateTime date = BindingDateTime::FromDate(fecha);
  documento->Caratula()
      ->SetRutEmisor(rutEmisor)
      .SetRutEnvia(rutEmisor)
      .SetFchResol(BindingDateTime::Parse(settings.fechaResolucion))
      .SetNroResol(BindingInteger(settings.nroResolucion))
      .SetFchInicio(date)
      .SetFchFinal(date)
      .SetSecEnvio(BindingInteger(1))
      .SetTmstFirmaEnv(BindingDateTime::FromDateTime(Now()));
  for (const auto& [tipo, totals] : DayTotals(estado_->db, rutEmisor, day)) {
    AddSummary(*documento, tipo, totals);
  }
  return report;
}

std::int64_t BandejaSalida::EncolarConsumoFolios(const std::string& rutEmisor, Date fecha) {
  const std::string xml =
      ConsumoFoliosDelDia(rutEmisor, fecha)->ToXml(detail::StrictLoadingContext(), true);
  const std::string day = FormatDate(fecha, "yyyy-MM-dd");
  std::lock_guard lock(estado_->mutex);
  detail::SqliteWriteTransaction transaction(estado_->db);
  SqliteStatement queued(estado_->db,
                         "SELECT 1 FROM item WHERE clase = 'consumo' AND rut = ? AND fecha = ? "
                         "AND estado <> 'rechazado'");
  queued.Bind(1, rutEmisor).Bind(2, day);
  if (queued.Step()) {
    throw Error("Bandeja de salida: el consumo de folios del " + day + " del emisor " + rutEmisor +
                " ya está en la bandeja");
  }
  SqliteStatement insert(estado_->db,
                         "INSERT INTO item(clase, rut, tipo, folio, fecha, contenido, creado) "
                         "VALUES ('consumo', ?, 0, 0, ?, ?, ?)");
  insert.Bind(1, rutEmisor).Bind(2, day).BindBlob(3, Bytes(xml.begin(), xml.end()));
  insert.Bind(4, detail::NowMillis()).Run();
  const std::int64_t item = sqlite3_last_insert_rowid(estado_->db.Handle());
  transaction.Commit();
  return item;
}

}  // namespace QuarloCliente
