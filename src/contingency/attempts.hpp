#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "contingency/exchange.hpp"

namespace QuarloCliente::detail {

// The record of each exchange about an item, written before the exchange and after it. The
// callers hold the outbox's mutex and a write transaction around each call.

// The ids of the pending items due now, CAFs first and then in the order they were queued. A
// document waits while a CAF of its issuer and type has not been delivered.
std::vector<std::int64_t> DueItemIds(const SqliteDb& db);
// The item, when it is still pending and due.
std::optional<DueItem> StillDue(const SqliteDb& db, std::int64_t id);

// Records that an attempt ("envio" or "consulta") starts; the attempt's id. A submission marks
// the item as one that may have arrived, so that a crash from here on leads to a question
// before any resend.
std::int64_t RecordStart(const SqliteDb& db, const DueItem& item, const char* operation);
// Records how an attempt ended and where it leaves the item; a pending item waits a backoff
// that grows with its attempts, up to the configured cap, shortened by a random part.
void RecordEnd(const SqliteDb& db, std::mt19937_64& jitter, const DueItem& item,
               std::int64_t attempt, const Exchange& exchange, EstadoItem result, bool uncertain);
// Undoes the record of an attempt that never began: the item is as it was before.
void ForgetStart(const SqliteDb& db, const DueItem& item, std::int64_t attempt);

}  // namespace QuarloCliente::detail
