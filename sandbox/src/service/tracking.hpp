#pragma once

#include <string>
#include <vector>

#include "store/store.hpp"

namespace QuarloSandbox {

// The tracking history of a submission moves one step through the tax authority's states at
// every status or tracking query of its document, so that a caller sees a document "travel"
// deterministically: REC (received by the service), SOK (schema validated by the SII), EPR
// (processed: accepted). A generated folio report waiting for ConfirmDocument stays at PEN.

// The first state of a submission: REC, or PEN for a report that waits for confirmation.
TrackState FirstTrackState(std::int64_t trackId, bool confirmed, const std::string& now);

// Records the next state of a confirmed document when it has not reached the last one, and
// returns the whole history.
std::vector<TrackState> AdvanceTracking(StoreTx& tx, const DocumentRow& document,
                                        const std::string& now);

// Confirms a report waiting for confirmation (PEN), recording REC; false when it was confirmed.
bool ConfirmSubmission(StoreTx& tx, const DocumentRow& document, const std::string& now);

// The document's fiscal status as FiscalStatus, ConfirmDocument and the void operations report
// it: ANULADO, PENDIENTE, RECIBIDO, VALIDADO or ACEPTADO.
std::string FiscalStatusText(const DocumentRow& document, const std::vector<TrackState>& history);

// The tracking history as the service sends it: <Tracking id="track id"><EstadoTrack>...
std::string TrackingXml(std::int64_t trackId, const std::vector<TrackState>& history);

}  // namespace QuarloSandbox
