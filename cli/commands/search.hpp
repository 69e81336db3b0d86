#pragma once

#include <CLI/CLI.hpp>

#include "context.hpp"

namespace QuarloCli {

// buscar and conciliar, which the retrieval family adds beside its per-document subcommands.
void AddSearchCommands(CLI::App& app, Context& context);

}  // namespace QuarloCli
