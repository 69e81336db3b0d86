#pragma once

// What the bandeja subcommands share: their options and the outbox they name.

#include <CLI/CLI.hpp>
#include <memory>
#include <quarlo/bandeja.hpp>
#include <string>
#include <vector>

#include "context.hpp"

namespace QuarloCli {

// The options of every bandeja subcommand.
struct OutboxArgs {
  std::string archivo;
  std::string estado;
  std::string folio;
  std::string tipo = "39";
  std::string rut;
  std::string png;
  std::string salida;
};

// The outbox the options or QUARLO_BANDEJA name; UsageError when neither names one, and
// QuarloCliente::Error when it does not exist (it is never created) or cannot be opened.
std::unique_ptr<QuarloCliente::BandejaSalida> OpenOutbox(const OutboxArgs& args);
// An item's state as the command line writes it: pendiente, aceptado, rechazado.
std::string StateName(QuarloCliente::EstadoItem estado);
// The states named by --estado, or all of them when it is "".
std::vector<QuarloCliente::EstadoItem> ListedStates(const std::string& estado);

// bandeja reimprimir: a stored stamp written again.
void AddReprintCommand(CLI::App& bandeja, Context& context,
                       const std::shared_ptr<OutboxArgs>& args);

}  // namespace QuarloCli
