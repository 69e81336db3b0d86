#include "context.hpp"

#include <cstdlib>
#include <fstream>
#include <iostream>

namespace QuarloCli {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string ReadSecretFile(const std::string& path, const std::string& what) {
  std::ifstream file(path);
  std::string line;
  if (!file || !std::getline(file, line)) {
    throw UsageError("no se pudo leer " + what + " del fichero '" + path + "'");
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty()) throw UsageError("el fichero '" + path + "' no contiene " + what);
  return line;
}

QuarloCliente::Servicio Context::OpenService() const {
  const std::string uri = connection.uri.empty() ? Environment("QUARLO_URI") : connection.uri;
  std::string key = connection.llave;
  if (key.empty() && !connection.llaveArchivo.empty()) {
    key = ReadSecretFile(connection.llaveArchivo, "la llave de la API");
  }
  if (key.empty()) key = Environment("QUARLO_API_KEY");
  if (uri.empty()) {
    throw UsageError("falta la dirección del servicio: use --uri o la variable QUARLO_URI");
  }
  if (key.empty()) {
    throw UsageError("falta la llave de la API: use --llave-archivo o la variable QUARLO_API_KEY");
  }
  QuarloCliente::Servicio servicio;
  servicio.Configurar(uri, key);
  return servicio;
}

std::string Context::SiiPassword() const {
  if (!connection.claveSiiArchivo.empty()) {
    return ReadSecretFile(connection.claveSiiArchivo, "la clave del SII");
  }
  const std::string password = Environment("QUARLO_SII_CLAVE");
  if (password.empty()) {
    throw UsageError(
        "falta la clave del SII: use --clave-sii-archivo o la variable QUARLO_SII_CLAVE");
  }
  return password;
}

Printer& Context::Out() {
  if (!printer_) printer_.emplace(std::cout, json);
  return *printer_;
}

void Context::Report(const Record& record, QuarloCliente::TipoFallo fallo) {
  Out().Print(record);
  tally.Note(fallo);
}

void Context::Warn(const std::string& text) {
  std::cerr << "quarlo: " << text << '\n';
}

}  // namespace QuarloCli
