#include "output.hpp"

#include <algorithm>
#include <ostream>

namespace QuarloCli {

Record::Record(const std::string& operacion) {
  fields_["operacion"] = operacion;
  fields_["ok"] = true;
  fields_["fallo"] = "";
  fields_["descripcion"] = "";
}

Record& Record::Outcome(const QuarloCliente::ResultadoServicio& resultado) {
  const bool ok = resultado.Fallo == QuarloCliente::TipoFallo::Ninguno;
  fields_["ok"] = ok;
  fields_["fallo"] = ok ? std::string() : QuarloCliente::NombreFallo(resultado.Fallo);
  fields_["descripcion"] = resultado.Descripcion;
  return *this;
}

Record& Record::LocalFailure(const std::string& descripcion) {
  fields_["ok"] = false;
  fields_["fallo"] = QuarloCliente::NombreFallo(QuarloCliente::TipoFallo::ErrorLocal);
  fields_["descripcion"] = descripcion;
  return *this;
}

Record& Record::Field(const std::string& name, const std::string& value) {
  fields_[name] = value;
  return *this;
}

Record& Record::Field(const std::string& name, std::int64_t value) {
  fields_[name] = value;
  return *this;
}

Record& Record::Field(const std::string& name, bool value) {
  fields_[name] = value;
  return *this;
}

Record& Record::Field(const std::string& name, nlohmann::ordered_json value) {
  fields_[name] = std::move(value);
  return *this;
}

bool Record::Ok() const {
  return fields_.at("ok").get<bool>();
}

namespace {

// A field as text: strings as they stand, booleans in Spanish, anything else as JSON.
std::string Text(const nlohmann::ordered_json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_boolean()) return value.get<bool>() ? "sí" : "no";
  return value.dump();
}

// Invalid UTF-8 from a file or the service is replaced rather than aborting the output.
std::string Dump(const nlohmann::ordered_json& json) {
  return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

void Printer::Print(const Record& record) {
  if (json_) {
    out_ << Dump(record.Json()) << '\n';
    return;
  }
  if (!first_) out_ << '\n';
  first_ = false;
  std::size_t width = 0;
  for (const auto& [name, value] : record.Json().items()) width = std::max(width, name.size());
  for (const auto& [name, value] : record.Json().items()) {
    const std::string text = Text(value);
    if (text.empty()) continue;
    out_ << name << ':' << std::string(width - name.size() + 1, ' ') << text << '\n';
  }
}

void Printer::PrintTable(const std::vector<Record>& records) {
  if (json_ || records.empty()) {
    for (const Record& record : records) Print(record);
    return;
  }
  std::vector<std::string> columns;
  for (const auto& [name, value] : records.front().Json().items()) columns.push_back(name);
  std::vector<std::size_t> widths;
  for (const std::string& column : columns) widths.push_back(DisplayWidth(column));
  std::vector<std::vector<std::string>> rows;
  for (const Record& record : records) {
    std::vector<std::string> row;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const auto found = record.Json().find(columns[c]);
      row.push_back(found == record.Json().end() ? std::string() : Text(*found));
      widths[c] = std::max(widths[c], DisplayWidth(row.back()));
    }
    rows.push_back(std::move(row));
  }
  const auto line = [&](const std::vector<std::string>& cells) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
      out_ << cells[c];
      if (c + 1 < cells.size()) out_ << std::string(widths[c] - DisplayWidth(cells[c]) + 2, ' ');
    }
    out_ << '\n';
  };
  line(columns);
  for (const auto& row : rows) line(row);
}

std::size_t DisplayWidth(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

}  // namespace QuarloCli
