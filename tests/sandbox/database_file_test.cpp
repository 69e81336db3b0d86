// The database file holds the CAFs' private keys: it and SQLite's -wal and -shm files beside it
// are readable by their owner only, whether the sandbox created them or found them.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "store/store.hpp"

namespace QuarloSandbox {
namespace {

namespace fs = std::filesystem;

// The permission bits, as an octal number reads them.
int PermissionsOf(const fs::path& path) {
  return static_cast<int>(fs::status(path).permissions() & fs::perms::mask);
}

void StoreAFolio(Store& store, std::int64_t folio) {
  store.Write([&](StoreTx& tx) { tx.MarkFolioUsed("T", "76543210-3", 33, folio); });
}

TEST(SandboxDatabaseFile, KeepsTheDatabaseAndItsJournalsPrivate) {
  const fs::path dir = fs::temp_directory_path() / ("sandbox-mode-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directory(dir);
  const std::string db = (dir / "sandbox.sqlite").string();
  const auto expectPrivate = [&](const char* when) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
      ASSERT_TRUE(fs::exists(db + suffix)) << db + suffix << " " << when;
      EXPECT_EQ(PermissionsOf(db + suffix), 0600) << db + suffix << " " << when;
    }
  };
  {
    Store store(db);
    StoreAFolio(store, 1);
    expectPrivate("after creating the database");
  }
  // A database and journals left readable by others are tightened when the sandbox opens them.
  for (const char* suffix : {"", "-wal", "-shm"}) {
    if (!fs::exists(db + suffix)) std::ofstream(db + suffix).flush();
    fs::permissions(db + suffix, fs::perms::owner_read | fs::perms::owner_write |
                                     fs::perms::group_read | fs::perms::others_read);
  }
  {
    Store store(db);
    StoreAFolio(store, 2);
    expectPrivate("after reopening it");
    store.Read([](StoreTx& tx) { EXPECT_TRUE(tx.FolioUsed("T", "76543210-3", 33, 1)); });
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace QuarloSandbox
