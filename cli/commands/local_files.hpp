#pragma once

// What the subcommands that work on local files share: reading and writing them, and reporting a
// file or document at fault.

#include <CLI/CLI.hpp>
#include <optional>
#include <quarlo/caf.hpp>
#include <quarlo/types.hpp>
#include <string>
#include <string_view>

#include "context.hpp"

namespace QuarloCli {

// The bytes of a file of at most 64 MiB; throws QuarloCliente::Error saying, in Spanish, why it
// cannot be read.
QuarloCliente::Bytes ReadLocalFile(const std::string& path);
// Writes the bytes into the file, replacing it; throws QuarloCliente::Error when it cannot.
void WriteLocalFile(const std::string& path, const QuarloCliente::Bytes& bytes);
// The same for a text.
void WriteLocalFile(const std::string& path, const std::string& text);
// The CAF a file holds; throws QuarloCliente::Error naming the file when it is not one.
QuarloCliente::ArchivoCaf ReadCaf(const std::string& path);
// The local name of an XML text's root element (after any declaration, comment, instruction or
// DOCTYPE), "" when the text holds no element.
std::string RootName(std::string_view xml);
// The first TED element of a stamped document's text, "" when it holds none.
std::string TedOf(const std::string& xml);
// True for the boleta types (39, 41), whose documents are boleta bindings.
bool IsBoletaType(std::int64_t tipo);

// Adds the issuer, type and folio a TED's DD names (rut, tipo, folio; "" when absent).
void TedFields(Record& record, const std::string& ted);

// Says on stderr what went wrong, and reports the record as a local failure (exit status 4).
void ReportLocalFailure(Context& context, Record& record, const std::string& descripcion);

// ted verificar: a TED checked offline.
void AddTedCommands(CLI::App& app, Context& context);
// validar: every fault of local documents against the schema model.
void AddValidateCommand(CLI::App& app, Context& context);

}  // namespace QuarloCli
