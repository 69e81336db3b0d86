#pragma once

#include <optional>
#include <quarlo/servicio.hpp>
#include <stdexcept>
#include <string>

#include "exit_status.hpp"
#include "output.hpp"

namespace QuarloCli {

// How to reach the service, from the root's options or, when absent, the environment.
struct Connection {
  std::string uri;
  std::string llave;
  std::string llaveArchivo;
  std::string claveSiiArchivo;
  std::string ambiente = "T";
};

// A usage fault found after parsing (no service given, an argument out of range): the run ends
// with exit status 2 and its Spanish text.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What every subcommand shares: the root's options, where results go and what they add up to.
class Context {
 public:
  Connection connection;
  bool json = false;
  ExitTally tally;

  // The service the options or QUARLO_URI and QUARLO_API_KEY name; UsageError saying what is
  // missing. The key read from --llave-archivo or the environment never reaches argv.
  QuarloCliente::Servicio OpenService() const;
  // The SII password for a reconciliation, from --clave-sii-archivo or QUARLO_SII_CLAVE;
  // UsageError when neither gives one.
  std::string SiiPassword() const;
  // Standard output, as --json asks.
  Printer& Out();
  // Prints the record and counts its outcome.
  void Report(const Record& record, QuarloCliente::TipoFallo fallo);
  // Says on stderr, in Spanish, what went wrong with one item of the run.
  static void Warn(const std::string& text);

 private:
  std::optional<Printer> printer_;
};

// The first line of a file that holds a secret, without its line end; UsageError when the file
// cannot be read or is empty.
std::string ReadSecretFile(const std::string& path, const std::string& what);
// The value of an environment variable, "" when unset.
std::string Environment(const char* name);

}  // namespace QuarloCli
