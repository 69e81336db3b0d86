#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>
#include <set>
#include <vector>

#include "binding/library_contexts.hpp"
#include "contingency/outbox.hpp"
#include "contingency/outcome.hpp"

namespace QuarloCliente {

namespace {

using detail::DeliveryOutcome;
using detail::SqliteStatement;
using detail::SqliteWriteTransaction;
using State = BandejaSalida::Estado;

// An item as the sender reads it, with everything its exchange needs.
struct DueItem {
  std::int64_t id = 0;
  std::string clase;
  std::string rut;
  std::int64_t tipo = 0;
  std::int64_t folio = 0;
  Bytes contenido;
  std::string ted;
  std::string fecha;
  bool uncertain = false;
  std::int64_t attempts = 0;
};

// What one exchange gave: how it ended, the failure kind and text, and the track id if any.
struct Exchange {
  DeliveryOutcome outcome = DeliveryOutcome::Uncertain;
  std::string kind;
  std::string description;
  std::string trackId;
};

Exchange FromResult(const ResultadoServicio& result, std::string trackId = {}) {
  return {detail::ClassifyResult(result), detail::FailureKindName(result), result.Descripcion,
          std::move(trackId)};
}

// The pending items due now, CAFs first and then in the order they were queued. A document
// waits while a CAF of its issuer and type has not been delivered.
std::vector<std::int64_t> DueItems(const detail::SqliteDb& db) {
  SqliteStatement rows(db,
                       "SELECT id FROM item AS i WHERE estado = 'pendiente' AND proximo <= ? "
                       "AND (clase = 'caf' OR NOT EXISTS (SELECT 1 FROM item AS c WHERE "
                       "c.clase = 'caf' AND c.estado = 'pendiente' AND c.rut = i.rut AND "
                       "c.tipo = i.tipo)) ORDER BY clase <> 'caf', id");
  rows.Bind(1, detail::NowMillis());
  std::vector<std::int64_t> ids;
  while (rows.Step()) ids.push_back(rows.Integer(0));
  return ids;
}

// The item, read again under the lock: another process may have delivered it or started an
// attempt since the list was made.
std::optional<DueItem> StillDue(const detail::SqliteDb& db, std::int64_t id) {
  SqliteStatement row(db,
                      "SELECT clase, rut, tipo, folio, contenido, ted, fecha, incierto, intentos "
                      "FROM item WHERE id = ? AND estado = 'pendiente' AND proximo <= ?");
  row.Bind(1, id).Bind(2, detail::NowMillis());
  if (!row.Step()) return std::nullopt;
  return DueItem{id,          row.Text(0), row.Text(1), row.Integer(2),      row.Integer(3),
                 row.Blob(4), row.Text(5), row.Text(6), row.Integer(7) != 0, row.Integer(8)};
}

std::int64_t RetryDelay(State& state, std::int64_t attempts) {
  const std::int64_t base = detail::ReadIntegerSetting(state.db, "reintento_base_ms", 1000);
  const std::int64_t cap = detail::ReadIntegerSetting(state.db, "reintento_tope_ms", 600000);
  std::int64_t delay = base;
  for (std::int64_t i = 1; i < attempts && delay < cap; ++i) delay *= 2;
  delay = std::min(delay, cap);
  // Senders that failed together must not come back together.
  std::uniform_int_distribution<std::int64_t> jitter(0, delay / 2);
  return delay - jitter(state.jitter);
}

// Records, durably and before the exchange, that an attempt starts: a crash from here on leaves
// an item that may have arrived, held for the cap so no other sender overlaps it.
std::int64_t RecordStart(State& state, const DueItem& item, const char* operation) {
  std::lock_guard lock(state.mutex);
  SqliteWriteTransaction transaction(state.db);
  const std::int64_t now = detail::NowMillis();
  const std::int64_t hold = detail::ReadIntegerSetting(state.db, "reintento_tope_ms", 600000);
  SqliteStatement item_(state.db,
                        "UPDATE item SET proximo = ?, intentos = intentos + ?, "
                        "incierto = incierto OR ? WHERE id = ?");
  const bool sending = std::string_view(operation) == "envio";
  item_.Bind(1, now + hold).Bind(2, std::int64_t{sending}).Bind(3, std::int64_t{sending});
  item_.Bind(4, item.id).Run();
  SqliteStatement attempt(state.db,
                          "INSERT INTO intento(item, operacion, inicio) VALUES (?, ?, ?)");
  attempt.Bind(1, item.id).Bind(2, operation).Bind(3, now).Run();
  const std::int64_t id = sqlite3_last_insert_rowid(state.db.Handle());
  transaction.Commit();
  return id;
}

// Records the end of an attempt and where it leaves the item, in one transaction.
void RecordEnd(State& state, const DueItem& item, std::int64_t attempt, const Exchange& exchange,
               EstadoItem result, bool uncertain) {
  std::lock_guard lock(state.mutex);
  SqliteWriteTransaction transaction(state.db);
  const std::int64_t now = detail::NowMillis();
  SqliteStatement end(state.db,
                      "UPDATE intento SET fin = ?, resultado = ?, fallo = ?, descripcion = ? "
                      "WHERE id = ?");
  end.Bind(1, now).Bind(2, detail::StateText(result)).Bind(3, exchange.kind);
  end.Bind(4, exchange.description).Bind(5, attempt).Run();
  const std::int64_t next =
      result == EstadoItem::Pendiente ? now + RetryDelay(state, item.attempts + 1) : now;
  SqliteStatement update(state.db,
                         "UPDATE item SET estado = ?, incierto = ?, proximo = ?, motivo = ?, "
                         "seguimiento = CASE WHEN ? = '' THEN seguimiento ELSE ? END WHERE id = ?");
  update.Bind(1, detail::StateText(result)).Bind(2, std::int64_t{uncertain}).Bind(3, next);
  update.Bind(4, result == EstadoItem::Aceptado ? std::string() : exchange.description);
  update.Bind(5, exchange.trackId).Bind(6, exchange.trackId).Bind(7, item.id).Run();
  transaction.Commit();
}

template <class Binding>
std::shared_ptr<Binding> LoadStored(const DueItem& item) {
  auto document = std::make_shared<Binding>();
  document->Load(item.contenido, detail::StrictLoadingContext());
  return document;
}

// A CAF goes to the service as a file: written beside the outbox, readable by its owner alone
// (it holds the private key), and removed right after.
class PrivateCafFile {
 public:
  PrivateCafFile(const std::string& outbox, const Bytes& bytes) : path_(outbox + ".caf-XXXXXX") {
    const int fd = ::mkstemp(path_.data());
    if (fd < 0) throw Error("no se pudo escribir el CAF para subirlo");
    const bool written =
        ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    if (!written) {
      ::unlink(path_.c_str());
      throw Error("no se pudo escribir el CAF para subirlo");
    }
  }
  ~PrivateCafFile() { ::unlink(path_.c_str()); }
  PrivateCafFile(const PrivateCafFile&) = delete;
  PrivateCafFile& operator=(const PrivateCafFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Whether the service holds the document: Accepted (with its track id) when it does, Refused
// when it answers that it does not, anything else when the question itself failed.
Exchange AskService(Servicio& servicio, const detail::SubmissionSettings& settings,
                    const DueItem& item) {
  if (item.clase == "consumo") {
    const auto report = servicio.EstadoFiscalConsumoFolios(
        item.rut, settings.ambiente, BindingDateTime::Parse(item.fecha).ToDate());
    return FromResult(*report->ResultadoServicio, report->IdSeguimiento);
  }
  const auto status =
      servicio.EstadoFiscal(settings.ambiente, Variant(servicio.Grupo_Emitido), item.rut,
                            std::to_string(item.tipo), std::to_string(item.folio));
  return FromResult(*status->ResultadoServicio, status->IdSeguimiento);
}

Exchange Submit(State& state, Servicio& servicio, const detail::SubmissionSettings& settings,
                const DueItem& item) {
  const auto nro = static_cast<Integer>(settings.nroResolucion);
  if (item.clase == "caf") {
    const PrivateCafFile file(state.ruta, item.contenido);
    return FromResult(*servicio.EnviarCAF(settings.ambiente, file.Path()));
  }
  if (item.clase == "consumo") {
    return FromResult(*servicio
                           .EnviarConsumoFolio(LoadStored<ConsumoFoliosBinding>(item),
                                               settings.ambiente, settings.fechaResolucion, nro,
                                               item.rut, item.fecha, item.fecha)
                           ->ResultadoServicio);
  }
  std::shared_ptr<ResultadoEnviarDocumento> sent;
  if (item.clase == "boleta") {
    sent = servicio.EnviarDocumentoBoleta_TED(LoadStored<BoletaDocumentBinding>(item),
                                              settings.ambiente, settings.fechaResolucion, nro,
                                              servicio.TipoPDF417_Grafico, item.ted);
  } else {
    sent = servicio.EnviarDocumentoDTE_TED(LoadStored<DteDocumentBinding>(item), settings.ambiente,
                                           settings.fechaResolucion, nro,
                                           servicio.TipoPDF417_Grafico, item.ted);
  }
  Exchange exchange = FromResult(*sent->ResultadoServicio);
  // The submission's result carries no track id; the status of the accepted document does.
  if (exchange.outcome == DeliveryOutcome::Accepted) {
    const Exchange status = AskService(servicio, settings, item);
    if (status.outcome == DeliveryOutcome::Accepted) exchange.trackId = status.trackId;
  }
  return exchange;
}

// Where an outcome leaves the item.
EstadoItem StateAfter(DeliveryOutcome outcome) {
  switch (outcome) {
    case DeliveryOutcome::Accepted:
      return EstadoItem::Aceptado;
    case DeliveryOutcome::Refused:
    case DeliveryOutcome::LocalError:
      return EstadoItem::Rechazado;
    case DeliveryOutcome::NotSent:
    case DeliveryOutcome::Uncertain:
      break;
  }
  return EstadoItem::Pendiente;
}

class Drain {
 public:
  Drain(State& state, Servicio& servicio) : state_(state), servicio_(servicio) {}

  // Delivers one item; false when the service cannot be reached, which ends the drain.
  bool Deliver(const DueItem& item) {
    const detail::SubmissionSettings settings = Settings();
    // An attempt that may have arrived is never followed by a blind resend.
    if (item.uncertain && item.clase != "caf") {
      const std::int64_t question = RecordStart(state_, item, "consulta");
      const Exchange asked = AskService(servicio_, settings, item);
      ++summary.intercambios;
      if (asked.outcome != DeliveryOutcome::Refused) {
        // Only a yes settles the item: a question that failed, here or on the way, proves nothing.
        const EstadoItem state = asked.outcome == DeliveryOutcome::Accepted ? EstadoItem::Aceptado
                                                                            : EstadoItem::Pendiente;
        RecordEnd(state_, item, question, asked, state, true);
        Count(state);
        return asked.outcome != DeliveryOutcome::NotSent;
      }
      RecordEnd(state_, item, question, asked, EstadoItem::Pendiente, true);
    }
    const std::int64_t attempt = RecordStart(state_, item, "envio");
    Exchange sent = Submit(state_, servicio_, settings, item);
    ++summary.intercambios;
    EstadoItem state = StateAfter(sent.outcome);
    bool uncertain = sent.outcome == DeliveryOutcome::Uncertain;
    if (sent.outcome == DeliveryOutcome::NotSent) uncertain = item.uncertain;
    // A refusal may answer a resend of what an earlier attempt already delivered.
    if (state == EstadoItem::Rechazado && item.uncertain && item.clase != "caf") {
      const Exchange asked = AskService(servicio_, settings, item);
      ++summary.intercambios;
      if (asked.outcome == DeliveryOutcome::Accepted) {
        state = EstadoItem::Aceptado;
        sent.trackId = asked.trackId;
      }
    }
    RecordEnd(state_, item, attempt, sent, state, uncertain);
    Count(state);
    return sent.outcome != DeliveryOutcome::NotSent;
  }

  std::optional<DueItem> Next(std::int64_t id) {
    std::lock_guard lock(state_.mutex);
    return StillDue(state_.db, id);
  }

  std::vector<std::int64_t> Due() {
    std::lock_guard lock(state_.mutex);
    return DueItems(state_.db);
  }

  ResumenEnvio summary;

 private:
  detail::SubmissionSettings Settings() {
    std::lock_guard lock(state_.mutex);
    return detail::ReadSubmissionSettings(state_.db);
  }

  void Count(EstadoItem state) {
    if (state == EstadoItem::Aceptado) ++summary.aceptados;
    if (state == EstadoItem::Rechazado) ++summary.rechazados;
    if (state == EstadoItem::Pendiente) ++summary.pendientes;
  }

  State& state_;
  Servicio& servicio_;
};

}  // namespace

ResumenEnvio BandejaSalida::Enviar(Servicio& servicio) {
  std::lock_guard drain(estado_->drain);
  Drain run(*estado_, servicio);
  // The list is read again after each item: a CAF delivered makes its documents due, and another
  // process may have taken an item meanwhile. Each item is tried once per drain.
  std::set<std::int64_t> tried;
  for (;;) {
    const std::vector<std::int64_t> due = run.Due();
    const auto next =
        std::find_if(due.begin(), due.end(), [&](std::int64_t id) { return !tried.count(id); });
    if (next == due.end()) break;
    tried.insert(*next);
    const auto item = run.Next(*next);
    if (item && !run.Deliver(*item)) break;
  }
  return run.summary;
}

void BandejaSalida::IniciarEnvio(const std::string& uri, const std::string& llave,
                                 std::chrono::milliseconds intervalo) {
  DetenerEnvio();
  Estado& state = *estado_;
  state.senderStop = false;
  state.sender = std::thread([this, &state, uri, llave, intervalo] {
    Servicio servicio;
    servicio.Configurar(uri, llave);
    std::unique_lock lock(state.senderMutex);
    while (!state.senderStop) {
      lock.unlock();
      // A failure of the file is met again next round; what was sent is already recorded.
      try {
        Enviar(servicio);
      } catch (...) {
      }
      lock.lock();
      state.senderWake.wait_for(lock, intervalo, [&] { return state.senderStop; });
    }
  });
}

void BandejaSalida::DetenerEnvio() {
  {
    std::lock_guard lock(estado_->senderMutex);
    estado_->senderStop = true;
  }
  estado_->senderWake.notify_all();
  if (estado_->sender.joinable()) estado_->sender.join();
}

}  // namespace QuarloCliente
