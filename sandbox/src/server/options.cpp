#include "server/options.hpp"

#include <algorithm>
#include <charconv>
#include <limits>

#include "server/routes.hpp"

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

// A share written as a decimal fraction with a point ("0.3"), whatever the locale.
double Share(const std::string& text, const std::string& option) {
  double value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || !(value >= 0 && value <= 1)) {
    throw UsageError(option + " espera una fracción entre 0 y 1 (por ejemplo 0.3), no '" + text +
                     "'");
  }
  return value;
}

// "a,b,c" as its items; "" is one empty item, which the readers below refuse.
std::vector<std::string> CommaList(const std::string& text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    items.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

// "respuesta-perdida,503": the faults named, each once.
std::vector<Fault> FaultList(const std::string& text, const std::string& option) {
  std::vector<Fault> faults;
  for (const std::string& name : CommaList(text)) {
    const auto fault = FaultNamed(name);
    if (!fault) {
      throw UsageError(option + ": tipo de falla desconocido '" + name +
                       "' (respuesta-perdida, 503, estancamiento, reinicio, "
                       "reinicio-tras-proceso)");
    }
    if (std::find(faults.begin(), faults.end(), *fault) == faults.end()) faults.push_back(*fault);
  }
  return faults;
}

// "SendDTEDocument,SendBoletaDocument": paths of the protocol.
std::vector<std::string> OperationList(const std::string& text, const std::string& option) {
  std::vector<std::string> operations = CommaList(text);
  for (const std::string& name : operations) {
    if (FindRoute(name) == nullptr) {
      throw UsageError(option + ": '" + name + "' no es una operación del protocolo");
    }
  }
  return operations;
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
    } else if (option == "--fallas") {
      line.serve.faults.share = Share(value, option);
    } else if (option == "--semilla") {
      line.serve.faults.seed = static_cast<std::uint64_t>(
          Number(value, option, 0, std::numeric_limits<long long>::max()));
      line.serve.seedGiven = true;
    } else if (option == "--tipos-falla") {
      line.serve.faults.kinds = FaultList(value, option);
    } else if (option == "--operaciones-falla") {
      line.serve.faults.operations = OperationList(value, option);
    } else if (option == "--estancamiento-ms") {
      line.serve.faults.stall = std::chrono::milliseconds(Number(value, option, 1, 3'600'000));
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
         "                 [--fallas P [--semilla N] [--tipos-falla T,...] [--estancamiento-ms "
         "N]]\n"
         "      sirve el protocolo en http://DIRECCION:N (127.0.0.1:8080; --port 0 toma un\n"
         "      puerto libre); sin --db los datos viven en memoria; sin --api-key acepta\n"
         "      cualquier llave\n"
         "      --fallas inyecta fallas en esa fracción (0 a 1) de las solicitudes del protocolo,\n"
         "      repetibles con --semilla; tipos (todos por omisión): respuesta-perdida, 503,\n"
         "      estancamiento (la respuesta se retiene --estancamiento-ms, 90000 por omisión),\n"
         "      reinicio (antes de procesar), reinicio-tras-proceso; --operaciones-falla\n"
         "      SendDTEDocument,... limita las fallas a esas operaciones\n"
         "      GET /_sandbox/envios[/ambiente/rut/tipo/folio] informa los envíos por folio\n"
         "  quarlo-sandbox caf --rut RUT --tipo T --desde D --hasta H [--razon-social TEXTO]\n"
         "                 [--authority-key ARCHIVO] > caf.xml\n"
         "      emite un CAF de prueba firmado por la autoridad del sandbox\n"
         "La autoridad se guarda por omisión en ~/.quarlo-sandbox/authority.pem.\n";
}

}  // namespace QuarloSandbox
