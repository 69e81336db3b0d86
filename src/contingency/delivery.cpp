#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <optional>
#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>
#include <set>
#include <thread>
#include <vector>

#include "contingency/attempts.hpp"
#include "contingency/outbox.hpp"
#include "core/servicio_access.hpp"

namespace QuarloCliente {

namespace {

using detail::DeliveryOutcome;
using detail::DueItem;
using detail::Exchange;
using detail::SqliteWriteTransaction;
using State = BandejaSalida::Estado;

// Items claimed at once: their starts share one durable write, and so do their ends.
constexpr std::size_t kBatch = 64;

// One item of a batch and what became of it.
struct Slot {
  DueItem item;
  // The submission's attempt, recorded before the exchange; 0 until one is.
  std::int64_t attempt = 0;
  // The submission's outcome, recorded with the batch's end.
  std::optional<Exchange> sent;
  EstadoItem state = EstadoItem::Pendiente;
  bool uncertain = false;
  // Settled by a question alone, and recorded then.
  bool settled = false;
  // A failure of the library itself: the item is left as a crash would leave it.
  std::exception_ptr failure;
  int exchanges = 0;
};

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

// An attempt that may have reached the service is never followed by a blind resend.
bool AskedFirst(const DueItem& item) {
  return item.uncertain && item.clase != "caf";
}

// One drain: batches of due items, each claimed in one write, exchanged over several
// connections at once, and recorded in one write.
class Drain {
 public:
  Drain(State& state, Servicio& servicio) : state_(state), servicio_(servicio) {}

  ResumenEnvio Run() {
    {
      std::lock_guard lock(state_.mutex);
      settings_ = detail::ReadSubmissionSettings(state_.db);
      connections_ = static_cast<std::size_t>(
          detail::ReadIntegerSetting(state_.db, "envios_simultaneos", kDefaultConnections));
    }
    while (!unreachable_) {
      std::vector<Slot> batch = Claim();
      if (batch.empty()) break;
      ExchangeAll(batch);
      Finish(batch);
      for (const Slot& slot : batch) {
        if (slot.failure) std::rethrow_exception(slot.failure);
      }
    }
    return summary_;
  }

  static constexpr std::int64_t kDefaultConnections = 4;

 private:
  // The next due items not yet tried in this drain, their submissions' starts recorded.
  std::vector<Slot> Claim() {
    std::lock_guard lock(state_.mutex);
    SqliteWriteTransaction transaction(state_.db);
    // The due list is read again only once it is used up: by then delivered CAFs have made
    // their documents due, and the items tried are left out.
    if (queue_.empty()) {
      for (const std::int64_t id : detail::DueItemIds(state_.db)) {
        if (!tried_.count(id)) queue_.push_back(id);
      }
    }
    std::vector<Slot> batch;
    while (batch.size() < kBatch && !queue_.empty()) {
      const std::int64_t id = queue_.front();
      queue_.pop_front();
      if (!tried_.insert(id).second) continue;
      std::optional<DueItem> item = detail::StillDue(state_.db, id);
      if (!item) continue;
      Slot slot;
      slot.item = std::move(*item);
      if (!AskedFirst(slot.item)) slot.attempt = detail::RecordStart(state_.db, slot.item, "envio");
      batch.push_back(std::move(slot));
    }
    transaction.Commit();
    return batch;
  }

  void ExchangeAll(std::vector<Slot>& batch) {
    std::atomic<std::size_t> next{0};
    const auto work = [&](Servicio& servicio) {
      for (std::size_t i = next++; i < batch.size() && !unreachable_; i = next++) {
        try {
          Deliver(servicio, batch[i]);
        } catch (...) {
          batch[i].failure = std::current_exception();
          unreachable_ = true;
        }
      }
    };
    const std::size_t helpers = std::min(std::max<std::size_t>(connections_, 1), batch.size()) - 1;
    while (twins_.size() < helpers) twins_.push_back(detail::ServicioAccess::Twin(servicio_));
    std::vector<std::jthread> threads;
    for (std::size_t t = 0; t < helpers; ++t) {
      threads.emplace_back([&, t] { work(twins_[t]); });
    }
    work(servicio_);
  }

  void Deliver(Servicio& servicio, Slot& slot) {
    if (slot.attempt == 0 && !AskFirst(servicio, slot)) return;
    Exchange sent = detail::SubmitItem(servicio, state_.ruta, settings_, slot.item);
    ++slot.exchanges;
    slot.state = StateAfter(sent.outcome);
    slot.uncertain = sent.outcome == DeliveryOutcome::Uncertain ||
                     (sent.outcome == DeliveryOutcome::NotSent && slot.item.uncertain);
    if (sent.outcome == DeliveryOutcome::NotSent) unreachable_ = true;
    // A refusal may answer a resend of what an earlier attempt already delivered.
    if (slot.state == EstadoItem::Rechazado && AskedFirst(slot.item)) {
      const Exchange asked = detail::AskAboutItem(servicio, settings_, slot.item);
      ++slot.exchanges;
      if (asked.outcome == DeliveryOutcome::Accepted) {
        slot.state = EstadoItem::Aceptado;
        sent.trackId = asked.trackId;
      }
    }
    slot.sent = std::move(sent);
  }

  // Asks whether the service holds an item an earlier attempt may have delivered; true when it
  // answers that it does not, with the resend's start recorded.
  bool AskFirst(Servicio& servicio, Slot& slot) {
    const std::int64_t question =
        Write([&] { return detail::RecordStart(state_.db, slot.item, "consulta"); });
    const Exchange asked = detail::AskAboutItem(servicio, settings_, slot.item);
    ++slot.exchanges;
    if (asked.outcome == DeliveryOutcome::NotSent) unreachable_ = true;
    // Only a yes settles the item: a question that failed, here or on the way, proves nothing.
    slot.state =
        asked.outcome == DeliveryOutcome::Accepted ? EstadoItem::Aceptado : EstadoItem::Pendiente;
    const bool resend = asked.outcome == DeliveryOutcome::Refused && !unreachable_;
    slot.attempt = Write([&] {
      detail::RecordEnd(state_.db, state_.jitter, slot.item, question, asked, slot.state, true);
      return resend ? detail::RecordStart(state_.db, slot.item, "envio") : std::int64_t{0};
    });
    slot.settled = !resend;
    return resend;
  }

  // Records each submission's end; an item never begun is as it was, and one whose exchange
  // failed inside the library is left started, to be asked about next time.
  void Finish(std::vector<Slot>& batch) {
    Write([&] {
      for (const Slot& slot : batch) {
        if (slot.failure || slot.settled || slot.attempt == 0) continue;
        if (slot.sent) {
          detail::RecordEnd(state_.db, state_.jitter, slot.item, slot.attempt, *slot.sent,
                            slot.state, slot.uncertain);
        } else {
          detail::ForgetStart(state_.db, slot.item, slot.attempt);
        }
      }
      return 0;
    });
    for (const Slot& slot : batch) {
      summary_.intercambios += slot.exchanges;
      if (slot.sent || slot.settled) Count(slot.state);
    }
  }

  // Runs a write under the outbox's mutex, in one transaction.
  template <class Work>
  auto Write(Work work) -> decltype(work()) {
    std::lock_guard lock(state_.mutex);
    SqliteWriteTransaction transaction(state_.db);
    auto result = work();
    transaction.Commit();
    return result;
  }

  void Count(EstadoItem state) {
    if (state == EstadoItem::Aceptado) ++summary_.aceptados;
    if (state == EstadoItem::Rechazado) ++summary_.rechazados;
    if (state == EstadoItem::Pendiente) ++summary_.pendientes;
  }

  State& state_;
  Servicio& servicio_;
  // Connections of their own for the exchanges beside the caller's, kept for the whole drain.
  std::vector<Servicio> twins_;
  detail::SubmissionSettings settings_;
  std::size_t connections_ = 1;
  std::set<std::int64_t> tried_;
  std::deque<std::int64_t> queue_;
  std::atomic<bool> unreachable_{false};
  ResumenEnvio summary_;
};

}  // namespace

ResumenEnvio BandejaSalida::Enviar(Servicio& servicio) {
  std::lock_guard drain(estado_->drain);
  const detail::DrainLock::Hold hold(estado_->drainLock);
  return Drain(*estado_, servicio).Run();
}

void BandejaSalida::ConfigurarEnviosSimultaneos(int envios) {
  if (envios < 1 || envios > 16) {
    throw Error("Bandeja de salida: los envíos simultáneos deben ser de 1 a 16");
  }
  std::lock_guard lock(estado_->mutex);
  SqliteWriteTransaction transaction(estado_->db);
  detail::WriteSetting(estado_->db, "envios_simultaneos", std::to_string(envios));
  transaction.Commit();
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
