#include "service/tracking.hpp"

#include <array>

#include "protocol/xml_writer.hpp"

namespace QuarloSandbox {

namespace {

struct StepInfo {
  int codigo;
  const char* estado;
  const char* comentario;
  const char* status;
};

constexpr std::array<StepInfo, 3> kSteps{{
    {1, "REC", "Envío recibido por el servicio y puesto en cola para el SII", "RECIBIDO"},
    {2, "SOK", "Esquema del envío validado por el SII", "VALIDADO"},
    {3, "EPR", "Envío procesado por el SII: documento aceptado", "ACEPTADO"},
}};

constexpr StepInfo kPending{0, "PEN", "Generado por el servicio; espera ConfirmDocument",
                            "PENDIENTE"};

TrackState StateOf(const StepInfo& step, std::int64_t trackId, const std::string& now) {
  return TrackState{step.codigo, step.estado, step.comentario, now, trackId};
}

}  // namespace

TrackState FirstTrackState(std::int64_t trackId, bool confirmed, const std::string& now) {
  return StateOf(confirmed ? kSteps[0] : kPending, trackId, now);
}

std::vector<TrackState> AdvanceTracking(StoreTx& tx, const DocumentRow& document,
                                        const std::string& now) {
  auto history = tx.TrackStates(document.id);
  if (!document.confirmed || history.empty()) return history;
  const int last = history.back().codigo;
  for (const auto& step : kSteps) {
    if (step.codigo == last + 1) {
      history.push_back(StateOf(step, document.trackId, now));
      tx.AddTrackState(document.id, history.back());
      break;
    }
  }
  return history;
}

bool ConfirmSubmission(StoreTx& tx, const DocumentRow& document, const std::string& now) {
  if (document.confirmed) return false;
  tx.SetConfirmed(document.id);
  tx.AddTrackState(document.id, StateOf(kSteps[0], document.trackId, now));
  return true;
}

std::string FiscalStatusText(const DocumentRow& document, const std::vector<TrackState>& history) {
  if (document.voided) return "ANULADO";
  if (!document.confirmed || history.empty()) return kPending.status;
  for (const auto& step : kSteps) {
    if (step.codigo == history.back().codigo) return step.status;
  }
  return kPending.status;
}

std::string TrackingXml(std::int64_t trackId, const std::vector<TrackState>& history) {
  XmlWriter xml;
  xml.Open("Tracking").Attribute("id", std::to_string(trackId));
  for (const auto& state : history) {
    xml.Open("EstadoTrack");
    xml.Element("Codigo", std::to_string(state.codigo)).Element("Comentario", state.comentario);
    xml.Element("Estado", state.estado).Element("TimeStamp", state.timeStamp);
    xml.Element("TrackId", std::to_string(state.trackId));
    xml.Close("EstadoTrack");
  }
  xml.Close("Tracking");
  return xml.Text();
}

}  // namespace QuarloSandbox
