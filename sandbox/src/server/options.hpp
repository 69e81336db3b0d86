#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/faults.hpp"

namespace QuarloSandbox {

// A command line the sandbox cannot follow; main prints the message and the usage.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// quarlo-sandbox [--port N] [--host H] [--api-key K]... [--db PATH] [--authority-key PATH]
//                [--fallas P [--semilla N] [--tipos-falla T,...] [--operaciones-falla O,...]
//                 [--estancamiento-ms N]]
struct ServeOptions {
  int port = 8080;
  std::string host = "127.0.0.1";
  std::vector<std::string> apiKeys;
  std::string db;  // "" keeps the data in memory
  std::string authorityKey;
  FaultSettings faults;    // its seed is set only when seedGiven
  bool seedGiven = false;  // else the server draws one and says which
};

// quarlo-sandbox caf --rut R --razon-social S --tipo T --desde D --hasta H [--authority-key P]
struct CafOptions {
  std::string rut;
  std::string razonSocial;
  int tipo = 0;
  long desde = 0;
  long hasta = 0;
  std::string authorityKey;
};

struct CommandLine {
  enum class Command { Serve, Caf, Help } command = Command::Serve;
  ServeOptions serve;
  CafOptions caf;
};

// Reads the arguments after the program name; UsageError says what is wrong. The authority key
// defaults to `defaultAuthorityKey`.
CommandLine ParseCommandLine(const std::vector<std::string>& args,
                             const std::string& defaultAuthorityKey);

// The usage text.
std::string Usage();

}  // namespace QuarloSandbox
