#include <algorithm>

#include "store/store.hpp"

namespace QuarloSandbox {

namespace {

constexpr const char* kCafColumns = "SELECT id, desde, hasta, xml FROM cafs ";

CafRow ReadCaf(const Statement& row) {
  return CafRow{row.Integer(0), row.Integer(1), row.Integer(2), row.Text(3)};
}

}  // namespace

std::vector<CafRow> StoreTx::Cafs(const std::string& environment, const std::string& rut,
                                  int tipo) {
  Statement query(db_, std::string(kCafColumns) +
                           "WHERE environment = ? AND rut = ? AND tipo = ? ORDER BY desde");
  query.Bind(1, environment).Bind(2, rut).Bind(3, std::int64_t{tipo});
  std::vector<CafRow> cafs;
  while (query.Step()) cafs.push_back(ReadCaf(query));
  return cafs;
}

std::optional<CafRow> StoreTx::CafCovering(const std::string& environment, const std::string& rut,
                                           int tipo, std::int64_t folio) {
  return CafOverlapping(environment, rut, tipo, folio, folio);
}

std::optional<CafRow> StoreTx::CafOverlapping(const std::string& environment,
                                              const std::string& rut, int tipo, std::int64_t desde,
                                              std::int64_t hasta) {
  Statement query(db_, std::string(kCafColumns) +
                           "WHERE environment = ? AND rut = ? AND tipo = ? AND desde <= ? "
                           "AND hasta >= ? ORDER BY desde LIMIT 1");
  query.Bind(1, environment).Bind(2, rut).Bind(3, std::int64_t{tipo}).Bind(4, hasta).Bind(5, desde);
  if (!query.Step()) return std::nullopt;
  return ReadCaf(query);
}

void StoreTx::InsertCaf(const std::string& environment, const std::string& rut, int tipo,
                        const CafRow& caf, const std::string& now) {
  Statement(db_,
            "INSERT INTO cafs (environment, rut, tipo, desde, hasta, xml, uploaded_at) "
            "VALUES (?, ?, ?, ?, ?, ?, ?)")
      .Bind(1, environment)
      .Bind(2, rut)
      .Bind(3, std::int64_t{tipo})
      .Bind(4, caf.desde)
      .Bind(5, caf.hasta)
      .Bind(6, caf.xml)
      .Bind(7, now)
      .Run();
}

bool StoreTx::FolioUsed(const std::string& environment, const std::string& rut, int tipo,
                        std::int64_t folio) {
  Statement query(db_,
                  "SELECT 1 FROM used_folios WHERE environment = ? AND rut = ? AND tipo = ? "
                  "AND folio = ?");
  query.Bind(1, environment).Bind(2, rut).Bind(3, std::int64_t{tipo}).Bind(4, folio);
  return query.Step();
}

void StoreTx::MarkFolioUsed(const std::string& environment, const std::string& rut, int tipo,
                            std::int64_t folio) {
  Statement(db_,
            "INSERT OR IGNORE INTO used_folios (environment, rut, tipo, folio) "
            "VALUES (?, ?, ?, ?)")
      .Bind(1, environment)
      .Bind(2, rut)
      .Bind(3, std::int64_t{tipo})
      .Bind(4, folio)
      .Run();
}

std::optional<std::int64_t> StoreTx::LowestFreeFolio(const std::string& environment,
                                                     const std::string& rut, int tipo,
                                                     std::int64_t desde, std::int64_t hasta) {
  // Starting at the hint, the walk passes each used folio once over the range's life instead of
  // scanning all of them on every request.
  std::int64_t candidate = desde;
  {
    Statement hint(db_,
                   "SELECT next FROM folio_hints WHERE environment = ? AND rut = ? AND tipo = ? "
                   "AND desde = ?");
    hint.Bind(1, environment).Bind(2, rut).Bind(3, std::int64_t{tipo}).Bind(4, desde);
    if (hint.Step()) candidate = std::max(candidate, hint.Integer(0));
  }
  while (candidate <= hasta && FolioUsed(environment, rut, tipo, candidate)) ++candidate;
  Statement(db_,
            "INSERT INTO folio_hints (environment, rut, tipo, desde, next) VALUES (?, ?, ?, ?, ?) "
            "ON CONFLICT DO UPDATE SET next = excluded.next")
      .Bind(1, environment)
      .Bind(2, rut)
      .Bind(3, std::int64_t{tipo})
      .Bind(4, desde)
      .Bind(5, candidate)
      .Run();
  if (candidate > hasta) return std::nullopt;
  return candidate;
}

}  // namespace QuarloSandbox
