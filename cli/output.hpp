#pragma once

#include <cstdint>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <quarlo/resultados.hpp>
#include <string>
#include <vector>

namespace QuarloCli {

// One result as the command line shows it: named fields in a fixed order. Every record of a
// service exchange starts with the same four fields (operacion, ok, fallo, descripcion), so
// that a script reads every subcommand family the same way.
class Record {
 public:
  explicit Record(const std::string& operacion);
  // The outcome of an exchange: ok, the failure kind's name ("" on success) and the text.
  Record& Outcome(const QuarloCliente::ResultadoServicio& resultado);
  // A local failure (a file or document at fault), before anything was sent.
  Record& LocalFailure(const std::string& descripcion);
  Record& Field(const std::string& name, const std::string& value);
  // A literal is text: without this it would pick the bool overload.
  Record& Field(const std::string& name, const char* value) {
    return Field(name, std::string(value));
  }
  Record& Field(const std::string& name, std::int64_t value);
  Record& Field(const std::string& name, bool value);
  Record& Field(const std::string& name, nlohmann::ordered_json value);
  const nlohmann::ordered_json& Json() const { return fields_; }
  bool Ok() const;

 private:
  nlohmann::ordered_json fields_;
};

// Where records go: one JSON object per line with --json, otherwise "campo: valor" lines with a
// blank line between records, or an aligned table for a list.
class Printer {
 public:
  Printer(std::ostream& out, bool json) : out_(out), json_(json) {}
  void Print(const Record& record);
  // Many records of one kind: JSON lines, or a table whose columns are the first record's fields.
  void PrintTable(const std::vector<Record>& records);
  bool Json() const { return json_; }

 private:
  std::ostream& out_;
  bool json_;
  bool first_ = true;
};

// The width a UTF-8 text takes on a terminal, one column per character.
std::size_t DisplayWidth(const std::string& text);

}  // namespace QuarloCli
