#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "store/group_commit.hpp"
#include "store/pool.hpp"
#include "store/records.hpp"
#include "store/sqlite.hpp"

namespace QuarloSandbox {

// The operations of one transaction on the sandbox's database. Made only by Store::Read and
// Store::Write; every method throws SandboxError(500, ...) when the database fails.
class StoreTx {
 public:
  explicit StoreTx(Connection& connection) : db_(connection) {}

  // CAFs (store/cafs.cpp).
  std::vector<CafRow> Cafs(const std::string& environment, const std::string& rut, int tipo);
  std::optional<CafRow> CafCovering(const std::string& environment, const std::string& rut,
                                    int tipo, std::int64_t folio);
  // A CAF of the issuer and type whose range shares a folio with desde..hasta.
  std::optional<CafRow> CafOverlapping(const std::string& environment, const std::string& rut,
                                       int tipo, std::int64_t desde, std::int64_t hasta);
  void InsertCaf(const std::string& environment, const std::string& rut, int tipo,
                 const CafRow& caf, const std::string& now);

  // Folios, never reused once taken (store/cafs.cpp).
  bool FolioUsed(const std::string& environment, const std::string& rut, int tipo,
                 std::int64_t folio);
  void MarkFolioUsed(const std::string& environment, const std::string& rut, int tipo,
                     std::int64_t folio);
  // The lowest folio of desde..hasta not used yet, or nullopt when all are; moves the range's
  // hint, so it runs in a write transaction.
  std::optional<std::int64_t> LowestFreeFolio(const std::string& environment,
                                              const std::string& rut, int tipo, std::int64_t desde,
                                              std::int64_t hasta);

  // Submissions and documents (store/documents.cpp).
  std::int64_t NewTrackId(const std::string& environment, DocumentKind kind,
                          const std::string& now);
  // Inserts the row (its id is ignored) and returns the new id.
  std::int64_t InsertDocument(const DocumentRow& row);
  std::optional<DocumentRow> FindDocument(const DocumentKey& key);
  void DeleteDocument(std::int64_t id);
  void SetVoided(std::int64_t id, bool voided);
  void SetConfirmed(std::int64_t id);
  void SetReconciled(std::int64_t id);
  // The boletas (39 and 41) an issuer stored for one issue date, by type and folio.
  std::vector<DocumentRow> BoletasOfDay(const std::string& environment, const std::string& rut,
                                        const std::string& date);
  // The DTEs and boletas issued to a receiver with issue dates from..to (AAAA-MM-DD, inclusive).
  std::vector<DocumentRow> IssuedTo(const std::string& environment, const std::string& receiver,
                                    const std::string& from, const std::string& to);
  // A page of the DTEs and boletas of the environment matching an SQL condition over the
  // documents table (with `?` parameters given as texts or numbers), newest first.
  struct SearchParam {
    bool isNumber = false;
    std::string text;
    std::int64_t number = 0;
  };
  std::vector<DocumentRow> SearchDocuments(const std::string& environment,
                                           const std::string& condition,
                                           const std::vector<SearchParam>& params,
                                           std::int64_t offset, std::int64_t limit);
  std::int64_t CountDocuments(const std::string& environment, const std::string& condition,
                              const std::vector<SearchParam>& params);

  // History (store/history.cpp): tracking, voids, prints.
  void AddTrackState(std::int64_t documentId, const TrackState& state);
  std::vector<TrackState> TrackStates(std::int64_t documentId);
  void RecordVoid(std::int64_t documentId, const std::string& action, const std::string& comment,
                  const std::string& now);
  void RecordPrint(std::int64_t documentId, const std::string& printer, const std::string& now);

  // Commercial responses, cessions and factoring companies (store/commerce.cpp).
  void InsertCommercialResponse(std::int64_t documentId, const CommercialResponse& response);
  std::vector<CommercialResponse> CommercialResponses(std::int64_t documentId);
  void InsertCession(std::int64_t documentId, const Cession& cession);
  std::vector<Cession> Cessions(std::int64_t documentId);
  // The cessions whose date falls in from..to (AAAA-MM-DD) in which the RUT has the role:
  // "deudor" (the document's receiver), "cedente" or "cesionario".
  std::vector<CessionView> CessionsFor(const std::string& environment, const std::string& rut,
                                       const std::string& role, const std::string& from,
                                       const std::string& to);
  std::vector<Factoring> Factorings();
  std::optional<Factoring> FactoringById(std::int64_t id);
  std::optional<Factoring> FactoringByRut(const std::string& rut);
  // Inserts, or updates the entry with the same RUT; returns its id.
  std::int64_t UpsertFactoring(const Factoring& factoring);
  bool DeleteFactoring(const std::string& rut);

  // What the console lists (store/listings.cpp).
  // Every CAF of the environment by issuer, type and range, with how many of its folios are used;
  // never its XML, which holds the CAF's private key.
  std::vector<CafUsage> CafUsages(const std::string& environment);
  // The books and folio reports of the environment whose period code starts with `period`
  // ("202405", or "" for all), by kind, issuer and period.
  std::vector<DocumentRow> Reports(const std::string& environment, const std::string& period);

 private:
  Connection& db_;
};

// The sandbox's database: a pool of connections and the transactions run on them.
class Store {
 public:
  // Opens (creating when absent) the database at path; "" or ":memory:" keeps it in memory.
  explicit Store(std::string path);

  // Runs fn(StoreTx&) in a write transaction and returns once it is committed, perhaps together
  // with other threads' writes; an exception rolls back everything fn wrote, so a request stores
  // all or nothing. fn must not itself call Write or Read.
  template <class Fn>
  auto Write(Fn&& fn) {
    using Result = decltype(fn(std::declval<StoreTx&>()));
    if constexpr (std::is_void_v<Result>) {
      commits_.Run([&fn](StoreTx& tx) { fn(tx); });
    } else {
      std::optional<Result> result;
      commits_.Run([&fn, &result](StoreTx& tx) { result.emplace(fn(tx)); });
      return std::move(*result);
    }
  }
  // Runs fn(StoreTx&) in a read transaction, one consistent view of the data.
  template <class Fn>
  auto Read(Fn&& fn) {
    auto lease = pool_.Acquire();
    Transaction transaction(*lease, Transaction::Kind::Read);
    StoreTx tx(*lease);
    if constexpr (std::is_void_v<decltype(fn(tx))>) {
      fn(tx);
      transaction.Commit();
    } else {
      auto result = fn(tx);
      transaction.Commit();
      return result;
    }
  }

 private:
  ConnectionPool pool_;
  GroupCommit commits_{pool_};
};

}  // namespace QuarloSandbox
