#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "context.hpp"

namespace QuarloCli {

// A subcommand with its Spanish description and, at the end of its --help, an example.
CLI::App* NewCommand(CLI::App& parent, const std::string& name, const std::string& description,
                     const std::string& example);

// The exit statuses, as `quarlo --help` lists them.
std::string ExitStatusHelp();

// The root command: its options (connection, --json), Spanish help texts and usage errors.
void ConfigureRoot(CLI::App& app, Context& context);
// Writes CLI11's remaining English labels and value names in Spanish, once every subcommand
// has been added.
void SpanishLabels(CLI::App& app);
// The Spanish text of a parsing failure.
std::string UsageMessage(const CLI::Error& error);

}  // namespace QuarloCli
