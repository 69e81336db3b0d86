#pragma once

#include "store/sqlite.hpp"

namespace QuarloSandbox {

// Creates the sandbox's tables in the connection's database when they are absent; a database
// made by another version of the schema is refused with SandboxError(500, ...).
void EnsureSchema(Connection& connection);

}  // namespace QuarloSandbox
