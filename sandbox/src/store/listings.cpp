#include "store/store.hpp"

namespace QuarloSandbox {

std::vector<CafUsage> StoreTx::CafUsages(const std::string& environment) {
  // The count walks the primary key of used_folios, one range at a time.
  Statement query(db_,
                  "SELECT c.rut, c.tipo, c.desde, c.hasta, c.uploaded_at, "
                  "(SELECT COUNT(*) FROM used_folios u WHERE u.environment = c.environment "
                  "AND u.rut = c.rut AND u.tipo = c.tipo AND u.folio BETWEEN c.desde AND c.hasta) "
                  "FROM cafs c WHERE c.environment = ? ORDER BY c.rut, c.tipo, c.desde");
  query.Bind(1, environment);
  std::vector<CafUsage> cafs;
  while (query.Step()) {
    cafs.push_back(CafUsage{query.Text(0), static_cast<int>(query.Integer(1)), query.Integer(2),
                            query.Integer(3), query.Integer(5), query.Text(4)});
  }
  return cafs;
}

std::vector<DocumentRow> StoreTx::Reports(const std::string& environment,
                                          const std::string& period) {
  std::vector<DocumentRow> reports;
  Statement query(db_,
                  "SELECT environment, rut, tipo, folio FROM documents WHERE environment = ? "
                  "AND kind NOT IN ('DTE', 'BOLETA') AND substr(CAST(folio AS TEXT), 1, ?) = ? "
                  "ORDER BY kind, rut, folio DESC, tipo");
  query.Bind(1, environment).Bind(2, static_cast<std::int64_t>(period.size())).Bind(3, period);
  std::vector<DocumentKey> keys;
  while (query.Step()) {
    keys.push_back(DocumentKey{query.Text(0), query.Text(1), query.Text(2), query.Integer(3)});
  }
  for (const auto& key : keys) reports.push_back(*FindDocument(key));
  return reports;
}

}  // namespace QuarloSandbox
