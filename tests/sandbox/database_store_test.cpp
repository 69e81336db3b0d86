// The store: folios handed out once and never again, transactions that store all or nothing,
// and data that survives closing the database.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "sandbox_error.hpp"
#include "store/store.hpp"

namespace QuarloSandbox {
namespace {

DocumentRow Row(std::int64_t folio, std::int64_t trackId) {
  DocumentRow row;
  row.key = DocumentKey{"T", "76543210-3", "33", folio};
  row.xml = "<DTE/>";
  row.trackId = trackId;
  row.receiverRut = "77214903-4";
  row.issueDate = "2024-05-02";
  row.receivedAt = "2024-05-02T10:00:00";
  return row;
}

TEST(SandboxStore, FindsTheLowestFreeFolioAndKeepsUsedFoliosAfterDeletion) {
  Store store("");
  store.Write([](StoreTx& tx) {
    for (const std::int64_t folio : {10, 11, 13}) tx.MarkFolioUsed("T", "1-9", 33, folio);
    tx.MarkFolioUsed("P", "1-9", 33, 12);  // another environment does not count
  });
  store.Write([](StoreTx& tx) {
    EXPECT_EQ(tx.LowestFreeFolio("T", "1-9", 33, 10, 20), 12);
    EXPECT_EQ(tx.LowestFreeFolio("T", "1-9", 33, 13, 20), 14);
    EXPECT_EQ(tx.LowestFreeFolio("T", "1-9", 33, 10, 11), std::nullopt);
    EXPECT_EQ(tx.LowestFreeFolio("T", "1-9", 34, 10, 11), 10);
  });
  store.Write([](StoreTx& tx) {
    const auto trackId = tx.NewTrackId("T", DocumentKind::Dte, "2024-05-02T10:00:00");
    tx.MarkFolioUsed("T", "76543210-3", 33, 1);
    tx.DeleteDocument(tx.InsertDocument(Row(1, trackId)));
    EXPECT_TRUE(tx.FolioUsed("T", "76543210-3", 33, 1));
    EXPECT_FALSE(tx.FindDocument(Row(1, 0).key));
  });
}

TEST(SandboxStore, TheLowestFreeFolioStaysRightAsFoliosAreTakenInAndOutOfOrder) {
  Store store("");
  const auto lowest = [&store](std::int64_t desde, std::int64_t hasta) {
    return store.Write(
        [&](StoreTx& tx) { return tx.LowestFreeFolio("T", "1-9", 33, desde, hasta); });
  };
  const auto take = [&store](std::int64_t folio) {
    store.Write([&](StoreTx& tx) { tx.MarkFolioUsed("T", "1-9", 33, folio); });
  };
  for (std::int64_t folio = 1; folio <= 5; ++folio) {
    ASSERT_EQ(lowest(1, 100), folio);
    take(folio);
  }
  // Folios chosen by the caller ahead of the numbering are skipped when it gets there, and a
  // gap left behind a chosen folio is found again.
  take(6);
  take(7);
  take(9);
  EXPECT_EQ(lowest(1, 100), 8);
  take(8);
  EXPECT_EQ(lowest(1, 100), 10);
  // A narrower call on the same range start that finds nothing leaves the wider answer intact.
  EXPECT_EQ(lowest(1, 9), std::nullopt);
  EXPECT_EQ(lowest(1, 100), 10);
  EXPECT_EQ(lowest(4, 100), 10) << "another start searches on its own";
}

TEST(SandboxStore, OneStatementTextCanRunTwiceAtOnce) {
  // A query whose rows are read while the same query runs again, as nested lookups do, must not
  // share one prepared statement.
  Store store("");
  store.Write([](StoreTx& tx) {
    for (const std::int64_t folio : {1, 2, 3}) tx.MarkFolioUsed("T", "1-9", 33, folio);
    EXPECT_TRUE(tx.FolioUsed("T", "1-9", 33, 2));
    EXPECT_FALSE(tx.FolioUsed("T", "1-9", 33, 4));
  });
  Connection connection(":memory:");
  connection.Execute("CREATE TABLE n (v INTEGER); INSERT INTO n VALUES (1), (2), (3)");
  const char* sql = "SELECT v FROM n WHERE v >= ? ORDER BY v";
  Statement outer(connection, sql);
  outer.Bind(1, std::int64_t{1});
  std::vector<std::int64_t> pairs;
  while (outer.Step()) {
    Statement inner(connection, sql);
    inner.Bind(1, outer.Integer(0));
    while (inner.Step()) pairs.push_back(outer.Integer(0) * 10 + inner.Integer(0));
  }
  EXPECT_EQ(pairs, (std::vector<std::int64_t>{11, 12, 13, 22, 23, 33}));
  // And the cached statement starts from its first row, its old bindings gone, when used again.
  Statement again(connection, sql);
  again.Bind(1, std::int64_t{3});
  ASSERT_TRUE(again.Step());
  EXPECT_EQ(again.Integer(0), 3);
}

TEST(SandboxStore, AFailedRequestStoresNothing) {
  Store store("");
  EXPECT_THROW(store.Write([](StoreTx& tx) {
    const auto trackId = tx.NewTrackId("T", DocumentKind::Dte, "now");
    tx.AddTrackState(tx.InsertDocument(Row(5, trackId)), TrackState{1, "REC", "", "now", trackId});
    tx.MarkFolioUsed("T", "76543210-3", 33, 5);
    throw SandboxError(422, "refused after writing");
  }),
               SandboxError);
  store.Read([](StoreTx& tx) {
    EXPECT_FALSE(tx.FindDocument(Row(5, 0).key));
    EXPECT_FALSE(tx.FolioUsed("T", "76543210-3", 33, 5));
  });
  // The same key then inserts cleanly; a duplicate is refused by the database.
  store.Write(
      [](StoreTx& tx) { tx.InsertDocument(Row(5, tx.NewTrackId("T", DocumentKind::Dte, "now"))); });
  EXPECT_THROW(store.Write([](StoreTx& tx) {
    tx.InsertDocument(Row(5, tx.NewTrackId("T", DocumentKind::Dte, "now")));
  }),
               SandboxError);
}

TEST(SandboxStore, DeletingADocumentTakesItsHistoryAlong) {
  Store store("");
  store.Write([](StoreTx& tx) {
    const auto trackId = tx.NewTrackId("T", DocumentKind::Dte, "now");
    const auto id = tx.InsertDocument(Row(7, trackId));
    tx.AddTrackState(id, TrackState{1, "REC", "c", "now", trackId});
    tx.InsertCommercialResponse(id, CommercialResponse{"A", "4", "", "", "", "", "<x/>", "now"});
    tx.InsertCession(id, Cession{1, "76543210-3", "", "", "", "96666666-6", "", "", "1", "",
                                 "2024-05-03T00:00:00", "", "<AEC/>"});
    EXPECT_EQ(tx.CessionsFor("T", "77214903-4", "deudor", "2024-05-01", "2024-05-31").size(), 1u);
    tx.DeleteDocument(id);
    EXPECT_TRUE(tx.TrackStates(id).empty());
    EXPECT_TRUE(tx.CommercialResponses(id).empty());
    EXPECT_TRUE(
        tx.CessionsFor("T", "96666666-6", "cesionario", "2024-05-01", "2024-05-31").empty());
  });
}

TEST(SandboxStore, KeepsDataInAFileAcrossReopening) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("sandbox-store-" + std::to_string(::getpid()) + ".sqlite");
  std::filesystem::remove(path);
  {
    Store store(path.string());
    store.Write([](StoreTx& tx) {
      tx.InsertDocument(Row(9, tx.NewTrackId("T", DocumentKind::Dte, "now")));
      tx.UpsertFactoring(Factoring{0, "96666666-6", "Andes", "", "", ""});
    });
  }
  Store reopened(path.string());
  reopened.Read([](StoreTx& tx) {
    const auto row = tx.FindDocument(Row(9, 0).key);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->receiverRut, "77214903-4");
    EXPECT_EQ(tx.Factorings().size(), 1u);
  });
  // An upsert with the same RUT updates the entry instead of adding one.
  reopened.Write([](StoreTx& tx) {
    tx.UpsertFactoring(Factoring{0, "96666666-6", "Andes S.A.", "", "", ""});
    EXPECT_EQ(tx.Factorings().size(), 1u);
    EXPECT_EQ(tx.Factorings().front().razonSocial, "Andes S.A.");
  });
  std::filesystem::remove(path);
}

TEST(SandboxStore, WritersOnManyConnectionsNeverLoseAnInsert) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("sandbox-writers-" + std::to_string(::getpid()) + ".sqlite");
  std::filesystem::remove(path);
  {
    Store store(path.string());
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 6; ++writer) {
      writers.emplace_back([&] {
        for (int i = 0; i < 20; ++i) {
          try {
            store.Write([&](StoreTx& tx) {
              // Read-then-write inside one transaction: the race a folio assignment has.
              const auto free = tx.LowestFreeFolio("T", "1-9", 33, 1, 1000);
              tx.MarkFolioUsed("T", "1-9", 33, *free);
              tx.InsertDocument(Row(*free, tx.NewTrackId("T", DocumentKind::Dte, "now")));
            });
          } catch (const SandboxError&) {
            ++failures;
          }
        }
      });
    }
    for (auto& writer : writers) writer.join();
    EXPECT_EQ(failures, 0);
    store.Write([](StoreTx& tx) {
      EXPECT_EQ(tx.LowestFreeFolio("T", "1-9", 33, 1, 1000), 121) << "120 folios, no gap";
      EXPECT_EQ(tx.CountDocuments("T", "1", {}), 120);
    });
  }
  std::filesystem::remove(path);
}

TEST(SandboxStore, WritesCommittedTogetherKeepEachOnesResultAndFailure) {
  // Sixteen threads at once share commits; every third write fails after writing, and only its
  // own writes may disappear with it.
  const auto path = std::filesystem::temp_directory_path() /
                    ("sandbox-batches-" + std::to_string(::getpid()) + ".sqlite");
  std::filesystem::remove(path);
  {
    Store store(path.string());
    constexpr int kThreads = 16;
    constexpr int kWrites = 30;
    std::vector<std::vector<std::int64_t>> kept(kThreads);
    std::vector<int> refused(kThreads, 0);
    std::vector<std::thread> writers;
    for (int writer = 0; writer < kThreads; ++writer) {
      writers.emplace_back([&, writer] {
        for (int i = 0; i < kWrites; ++i) {
          const std::int64_t folio = writer * 1000 + i + 1;
          try {
            const std::int64_t returned = store.Write([&](StoreTx& tx) {
              tx.MarkFolioUsed("T", "1-9", 33, folio);
              tx.InsertDocument(Row(folio, tx.NewTrackId("T", DocumentKind::Dte, "now")));
              if (i % 3 == 2) throw SandboxError(422, "refused after writing");
              return folio;
            });
            EXPECT_EQ(returned, folio) << "each write gets its own result";
            kept[static_cast<std::size_t>(writer)].push_back(folio);
          } catch (const SandboxError& error) {
            EXPECT_EQ(error.status(), 422);
            ++refused[static_cast<std::size_t>(writer)];
          }
        }
      });
    }
    for (auto& writer : writers) writer.join();
    store.Read([&](StoreTx& tx) {
      for (int writer = 0; writer < kThreads; ++writer) {
        EXPECT_EQ(refused[static_cast<std::size_t>(writer)], kWrites / 3);
        for (int i = 0; i < kWrites; ++i) {
          const std::int64_t folio = writer * 1000 + i + 1;
          const bool stored = tx.FindDocument(Row(folio, 0).key).has_value();
          EXPECT_EQ(stored, i % 3 != 2) << "folio " << folio;
          EXPECT_EQ(tx.FolioUsed("T", "1-9", 33, folio), stored) << "folio " << folio;
        }
      }
    });
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace QuarloSandbox
