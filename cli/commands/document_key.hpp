#pragma once

// The document a status or retrieval subcommand names, read the same way by each of them.

#include <CLI/CLI.hpp>
#include <string>

#include "output.hpp"

namespace QuarloCli {

// Which document a query names: issuer, type and folio, issued or received.
struct DocumentKey {
  std::string rut;
  std::string tipo;
  std::string folio;
  std::string grupo = "E";
};

// The RUT TIPO FOLIO positionals, for an operation that takes no group.
inline void AddDocumentPositionals(CLI::App& command, DocumentKey& key) {
  command.add_option("RUT", key.rut, "RUT del emisor, con guion y dígito verificador")->required();
  command.add_option("TIPO", key.tipo, "Tipo de documento (33, 39, 61...)")->required();
  command.add_option("FOLIO", key.folio, "Folio del documento")->required();
}

// The positionals and --grupo.
inline void AddDocumentKey(CLI::App& command, DocumentKey& key) {
  AddDocumentPositionals(command, key);
  command.add_option("--grupo", key.grupo, "E (emitidos, por omisión) o R (recibidos)")
      ->check(CLI::IsMember({"E", "R"}));
}

// A record of the operation that starts with the document's rut, tipo and folio.
inline Record KeyRecord(const std::string& operacion, const DocumentKey& key) {
  Record record(operacion);
  record.Field("rut", key.rut).Field("tipo", key.tipo).Field("folio", key.folio);
  return record;
}

}  // namespace QuarloCli
