#include "server/options.hpp"

#include <charconv>
#include <limits>

namespace QuarloSandbox {

namespace {

long long Number(const std::string& text, const std::string& option, long long min, long long max) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value < min || value > max) {
    throw UsageError(option + " espera un número entre " + std::to_string(min) + " y " +
                     std::to_string(max) + ", no '" + text + "'");
  }
  return value;
}

// Walks "--name value" pairs.
class Arguments {
 public:
  Arguments(const std::vector<std::string>& args, std::size_t first) : args_(args), at_(first) {}
  bool Next(std::string& option, std::string& value) {
    if (at_ >= args_.size()) return false;
    option = args_[at_++];
    if (option == "--help" || option == "-h") return true;
    if (option.rfind("--", 0) != 0) throw UsageError("argumento inesperado: " + option);
    if (at_ >= args_.size()) throw UsageError(option + " necesita un valor");
    value = args_[at_++];
    return true;
  }

 private:
  const std::vector<std::string>& args_;
  std::size_t at_;
};

void ParseServe(const std::vector<std::string>& args, CommandLine& line) {
  Arguments arguments(args, 0);
  std::string option;
  std::string value;
  while (arguments.Next(option, value)) {
    if (option == "--help" || option == "-h") {
      line.command = CommandLine::Command::Help;
    } else if (option == "--port") {
      line.serve.port = static_cast<int>(Number(value, option, 0, 65535));
    } else if (option == "--host") {
      line.serve.host = value;
    } else if (option == "--api-key") {
      if (value.empty()) throw UsageError("--api-key no puede estar vacía");
      line.serve.apiKeys.push_back(value);
    } else if (option == "--db") {
      line.serve.db = value;
    } else if (option == "--authority-key") {
      line.serve.authorityKey = value;
    } else {
      throw UsageError("opción desconocida: " + option);
    }
  }
}

void ParseCaf(const std::vector<std::string>& args, CommandLine& line) {
  Arguments arguments(args, 1);
  std::string option;
  std::string value;
  bool tipo = false;
  bool desde = false;
  bool hasta = false;
  while (arguments.Next(option, value)) {
    if (option == "--help" || option == "-h") {
      line.command = CommandLine::Command::Help;
      return;
    } else if (option == "--rut") {
      line.caf.rut = value;
    } else if (option == "--razon-social") {
      line.caf.razonSocial = value;
    } else if (option == "--tipo") {
      line.caf.tipo = static_cast<int>(Number(value, option, 1, 999));
      tipo = true;
    } else if (option == "--desde") {
      line.caf.desde =
          static_cast<long>(Number(value, option, 1, std::numeric_limits<long>::max()));
      desde = true;
    } else if (option == "--hasta") {
      line.caf.hasta =
          static_cast<long>(Number(value, option, 1, std::numeric_limits<long>::max()));
      hasta = true;
    } else if (option == "--authority-key") {
      line.caf.authorityKey = value;
    } else {
      throw UsageError("opción desconocida para caf: " + option);
    }
  }
  if (line.caf.rut.empty() || !tipo || !desde || !hasta) {
    throw UsageError("caf necesita --rut, --tipo, --desde y --hasta");
  }
  if (line.caf.desde > line.caf.hasta) throw UsageError("--desde es mayor que --hasta");
  if (line.caf.razonSocial.empty()) line.caf.razonSocial = "Contribuyente " + line.caf.rut;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args,
                             const std::string& defaultAuthorityKey) {
  CommandLine line;
  line.serve.authorityKey = defaultAuthorityKey;
  line.caf.authorityKey = defaultAuthorityKey;
  if (!args.empty() && args.front() == "caf") {
    line.command = CommandLine::Command::Caf;
    ParseCaf(args, line);
  } else {
    ParseServe(args, line);
  }
  return line;
}

std::string Usage() {
  return "uso:\n"
         "  quarlo-sandbox [--port N] [--host DIRECCION] [--api-key LLAVE]... [--db ARCHIVO]\n"
         "                 [--authority-key ARCHIVO]\n"
         "      sirve el protocolo en http://DIRECCION:N (127.0.0.1:8080; --port 0 toma un\n"
         "      puerto libre); sin --db los datos viven en memoria; sin --api-key acepta\n"
         "      cualquier llave\n"
         "  quarlo-sandbox caf --rut RUT --tipo T --desde D --hasta H [--razon-social TEXTO]\n"
         "                 [--authority-key ARCHIVO] > caf.xml\n"
         "      emite un CAF de prueba firmado por la autoridad del sandbox\n"
         "La autoridad se guarda por omisión en ~/.quarlo-sandbox/authority.pem.\n";
}

}  // namespace QuarloSandbox
