#include "store/store.hpp"

namespace QuarloSandbox {

void StoreTx::AddTrackState(std::int64_t documentId, const TrackState& state) {
  Statement(db_,
            "INSERT INTO tracking (document_id, codigo, estado, comentario, time_stamp, track_id) "
            "VALUES (?, ?, ?, ?, ?, ?)")
      .Bind(1, documentId)
      .Bind(2, std::int64_t{state.codigo})
      .Bind(3, state.estado)
      .Bind(4, state.comentario)
      .Bind(5, state.timeStamp)
      .Bind(6, state.trackId)
      .Run();
}

std::vector<TrackState> StoreTx::TrackStates(std::int64_t documentId) {
  Statement query(db_,
                  "SELECT codigo, estado, comentario, time_stamp, track_id FROM tracking "
                  "WHERE document_id = ? ORDER BY id");
  query.Bind(1, documentId);
  std::vector<TrackState> states;
  while (query.Step()) {
    states.push_back(TrackState{static_cast<int>(query.Integer(0)), query.Text(1), query.Text(2),
                                query.Text(3), query.Integer(4)});
  }
  return states;
}

void StoreTx::RecordVoid(std::int64_t documentId, const std::string& action,
                         const std::string& comment, const std::string& now) {
  Statement(db_, "INSERT INTO voids (document_id, action, comment, time_stamp) VALUES (?, ?, ?, ?)")
      .Bind(1, documentId)
      .Bind(2, action)
      .Bind(3, comment)
      .Bind(4, now)
      .Run();
}

void StoreTx::RecordPrint(std::int64_t documentId, const std::string& printer,
                          const std::string& now) {
  Statement(db_, "INSERT INTO prints (document_id, printer, time_stamp) VALUES (?, ?, ?)")
      .Bind(1, documentId)
      .Bind(2, printer)
      .Bind(3, now)
      .Run();
}

}  // namespace QuarloSandbox
