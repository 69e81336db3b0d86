#pragma once

#include <string>

namespace QuarloSandbox {

// Leaves the database file at path, and the -wal and -shm files SQLite keeps beside it, readable
// and writable by their owner only, as the file holds the CAFs' private keys. Creates the database
// file (empty, which SQLite takes for a new database) when absent, since SQLite gives its -wal and
// -shm files the database file's mode. Throws SandboxError(500, ...) when a file cannot be
// created or its mode changed.
void MakeDatabaseFilesPrivate(const std::string& path);

}  // namespace QuarloSandbox
