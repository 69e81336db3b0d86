#pragma once

#include <string>

#include "contingency/sqlite.hpp"

namespace QuarloCliente::detail {

// The schema version this library writes; a file with a higher one is refused.
inline constexpr int kOutboxSchemaVersion = 1;

// Opens the outbox file at path, creating it with mode 0600 (its -wal and -shm files take the
// same mode), checks it is an intact SQLite file of a known version, and sets WAL with full
// sync. Throws Error otherwise, leaving the file as it was.
SqliteDb OpenOutboxFile(const std::string& path);

}  // namespace QuarloCliente::detail
