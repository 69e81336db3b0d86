#pragma once

#include <cstdint>
#include <quarlo/servicio.hpp>
#include <string>

#include "contingency/outbox.hpp"
#include "contingency/outcome.hpp"

namespace QuarloCliente::detail {

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

// Sends the item to the service: a CAF's upload, a folio report, or a document with its TED
// and its folio as issued. An accepted document is asked about once more for its track id,
// which the submission's answer lacks. A stored item the library cannot load is a LocalError.
Exchange SubmitItem(Servicio& servicio, const std::string& outbox,
                    const SubmissionSettings& settings, const DueItem& item);
// Whether the service holds the item: Accepted (with its track id) when it does, Refused when
// it answers that it does not, anything else when the question itself failed.
Exchange AskAboutItem(Servicio& servicio, const SubmissionSettings& settings, const DueItem& item);

}  // namespace QuarloCliente::detail
