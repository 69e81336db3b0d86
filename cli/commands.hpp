#pragma once

#include <CLI/CLI.hpp>

#include "context.hpp"

namespace QuarloCli {

// Each family of subcommands adds itself to the root; its callbacks run with the context.

// estado.
void AddStatusCommands(CLI::App& app, Context& context);
// enviar.
void AddSendCommands(CLI::App& app, Context& context);
// seguimiento, xml, pdf, anular, buscar, conciliar.
void AddRetrievalCommands(CLI::App& app, Context& context);

}  // namespace QuarloCli
