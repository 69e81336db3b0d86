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
// caf, ted, timbrar, validar: CAFs, stamps and documents worked on locally.
void AddLocalCommands(CLI::App& app, Context& context);
// bandeja: a point of sale's outbox.
void AddOutboxCommands(CLI::App& app, Context& context);

}  // namespace QuarloCli
