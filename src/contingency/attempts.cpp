#include "contingency/attempts.hpp"

#include <algorithm>
#include <string_view>

namespace QuarloCliente::detail {

std::vector<std::int64_t> DueItemIds(const SqliteDb& db) {
  SqliteStatement rows(db,
                       "SELECT id FROM item AS i WHERE estado = 'pendiente' AND proximo <= ? "
                       "AND (clase = 'caf' OR NOT EXISTS (SELECT 1 FROM item AS c WHERE "
                       "c.clase = 'caf' AND c.estado = 'pendiente' AND c.rut = i.rut AND "
                       "c.tipo = i.tipo)) ORDER BY clase <> 'caf', id");
  rows.Bind(1, NowMillis());
  std::vector<std::int64_t> ids;
  while (rows.Step()) ids.push_back(rows.Integer(0));
  return ids;
}

std::optional<DueItem> StillDue(const SqliteDb& db, std::int64_t id) {
  SqliteStatement row(db,
                      "SELECT clase, rut, tipo, folio, contenido, ted, fecha, incierto, intentos "
                      "FROM item WHERE id = ? AND estado = 'pendiente' AND proximo <= ?");
  row.Bind(1, id).Bind(2, NowMillis());
  if (!row.Step()) return std::nullopt;
  return DueItem{id,          row.Text(0), row.Text(1), row.Integer(2),      row.Integer(3),
                 row.Blob(4), row.Text(5), row.Text(6), row.Integer(7) != 0, row.Integer(8)};
}

std::int64_t RecordStart(const SqliteDb& db, const DueItem& item, const char* operation) {
  const std::int64_t sending = std::string_view(operation) == "envio";
  SqliteStatement mark(db,
                       "UPDATE item SET intentos = intentos + ?, incierto = incierto OR ? "
                       "WHERE id = ?");
  mark.Bind(1, sending).Bind(2, sending).Bind(3, item.id).Run();
  SqliteStatement attempt(db, "INSERT INTO intento(item, operacion, inicio) VALUES (?, ?, ?)");
  attempt.Bind(1, item.id).Bind(2, operation).Bind(3, NowMillis()).Run();
  return sqlite3_last_insert_rowid(db.Handle());
}

namespace {

std::int64_t RetryDelay(const SqliteDb& db, std::mt19937_64& jitter, std::int64_t attempts) {
  const std::int64_t base = ReadIntegerSetting(db, "reintento_base_ms", 1000);
  const std::int64_t cap = ReadIntegerSetting(db, "reintento_tope_ms", 600000);
  std::int64_t delay = base;
  for (std::int64_t i = 1; i < attempts && delay < cap; ++i) delay *= 2;
  delay = std::min(delay, cap);
  // Senders that failed together must not come back together.
  std::uniform_int_distribution<std::int64_t> part(0, delay / 2);
  return delay - part(jitter);
}

}  // namespace

void RecordEnd(const SqliteDb& db, std::mt19937_64& jitter, const DueItem& item,
               std::int64_t attempt, const Exchange& exchange, EstadoItem result, bool uncertain) {
  const std::int64_t now = NowMillis();
  SqliteStatement end(db,
                      "UPDATE intento SET fin = ?, resultado = ?, fallo = ?, descripcion = ? "
                      "WHERE id = ?");
  end.Bind(1, now).Bind(2, StateText(result)).Bind(3, exchange.kind);
  end.Bind(4, exchange.description).Bind(5, attempt).Run();
  const std::int64_t next =
      result == EstadoItem::Pendiente ? now + RetryDelay(db, jitter, item.attempts + 1) : now;
  SqliteStatement update(db,
                         "UPDATE item SET estado = ?, incierto = ?, proximo = ?, motivo = ?, "
                         "seguimiento = CASE WHEN ? = '' THEN seguimiento ELSE ? END WHERE id = ?");
  update.Bind(1, StateText(result)).Bind(2, std::int64_t{uncertain}).Bind(3, next);
  update.Bind(4, result == EstadoItem::Aceptado ? std::string() : exchange.description);
  update.Bind(5, exchange.trackId).Bind(6, exchange.trackId).Bind(7, item.id).Run();
}

void ForgetStart(const SqliteDb& db, const DueItem& item, std::int64_t attempt) {
  SqliteStatement restore(db, "UPDATE item SET intentos = ?, incierto = ? WHERE id = ?");
  restore.Bind(1, item.attempts).Bind(2, std::int64_t{item.uncertain}).Bind(3, item.id).Run();
  SqliteStatement forget(db, "DELETE FROM intento WHERE id = ?");
  forget.Bind(1, attempt).Run();
}

}  // namespace QuarloCliente::detail
