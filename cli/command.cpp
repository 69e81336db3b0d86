#include "command.hpp"

#include <map>
#include <quarlo/version.hpp>
#include <regex>

namespace QuarloCli {

std::string ExitStatusHelp() {
  return "Estado de salida:\n"
         "  0  todo se hizo\n"
         "  1  el servicio rechazó algo\n"
         "  2  error de uso (opciones o argumentos)\n"
         "  3  no se pudo comunicar con el servicio\n"
         "  4  un fichero o documento local tiene un problema (también si además hubo rechazos)";
}

CLI::App* NewCommand(CLI::App& parent, const std::string& name, const std::string& description,
                     const std::string& example) {
  CLI::App* command = parent.add_subcommand(name, description);
  command->footer("Ejemplo:\n  " + example + "\n\n" + ExitStatusHelp());
  return command;
}

void ConfigureRoot(CLI::App& app, Context& context) {
  app.option_defaults()->group("Opciones");
  app.set_help_flag("-h,--help", "Muestra esta ayuda y termina");
  // The version of the library loaded, which a newer libquarlo0 changes under the same program.
  app.set_version_flag("--version", "quarlo " + QuarloCliente::VersionBiblioteca(),
                       "Muestra la versión de la biblioteca y termina");
  app.fallthrough();
  app.require_subcommand(1);
  app.failure_message([](const CLI::App*, const CLI::Error& error) {
    return "quarlo: " + UsageMessage(error) + "\nVea «quarlo --help».\n";
  });
  app.add_option("--uri", context.connection.uri,
                 "Dirección del servicio (o la variable QUARLO_URI)");
  app.add_option("--llave", context.connection.llave,
                 "Llave de la API; visible en la lista de procesos: prefiera --llave-archivo o "
                 "la variable QUARLO_API_KEY");
  app.add_option("--llave-archivo", context.connection.llaveArchivo,
                 "Fichero cuya primera línea es la llave de la API");
  app.add_option("--clave-sii-archivo", context.connection.claveSiiArchivo,
                 "Fichero cuya primera línea es la clave del SII, para conciliar (o la variable "
                 "QUARLO_SII_CLAVE)");
  app.add_option("--ambiente", context.connection.ambiente,
                 "T (certificación, por omisión) o P (producción)")
      ->check(CLI::IsMember({"T", "P"}));
  app.add_flag("--json", context.json, "Un objeto JSON por resultado, uno por línea");
  app.footer(ExitStatusHelp());
}

namespace {

const std::map<std::string, std::string>& TypeNames() {
  static const std::map<std::string, std::string> names{
      {"TEXT", "TEXTO"},    {"INT", "ENTERO"},   {"UINT", "NATURAL"}, {"FLOAT", "NÚMERO"},
      {"BOOLEAN", "SÍ/NO"}, {"FILE", "FICHERO"}, {"DIR", "CARPETA"},  {"PATH", "RUTA"}};
  return names;
}

void SpanishValueNames(CLI::App& app) {
  for (CLI::Option* option : app.get_options()) {
    // What follows a colon is the validator's own text ({T,P}); the name is before it.
    const std::string shown = option->get_type_name();
    const auto found = TypeNames().find(shown.substr(0, shown.find(':')));
    if (found != TypeNames().end()) option->type_name(found->second);
    // A subcommand makes its help flag before it inherits the root's default group.
    if (option->get_group() == "Options") option->group("Opciones");
  }
  for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
    sub->group("Subórdenes");
    SpanishValueNames(*sub);
  }
}

}  // namespace

void SpanishLabels(CLI::App& app) {
  const auto formatter = app.get_formatter();
  formatter->label("Usage", "Uso");
  formatter->label("OPTIONS", "OPCIONES");
  formatter->label("SUBCOMMAND", "SUBORDEN");
  formatter->label("SUBCOMMANDS", "SUBÓRDENES");
  formatter->label("Positionals", "Argumentos");
  formatter->label("REQUIRED", "OBLIGATORIO");
  formatter->label("Env", "Variable");
  formatter->label("Needs", "Necesita");
  formatter->label("Excludes", "Excluye");
  formatter->column_width(34);
  SpanishValueNames(app);
}

namespace {

// The part of a CLI11 message a pattern captures, or "" when it does not match.
std::string Capture(const std::string& text, const char* pattern) {
  std::smatch match;
  const std::regex expression(pattern);
  return std::regex_search(text, match, expression) && match.size() > 1 ? match[1].str() : "";
}

}  // namespace

std::string UsageMessage(const CLI::Error& error) {
  // Told by type: CLI11 fills some errors' name with the program's.
  const std::string text = error.what();
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
    if (text.rfind("A subcommand", 0) == 0) return "falta la suborden";
    const std::string what = Capture(text, "^(.*) is required");
    return what.empty() ? "faltan opciones obligatorias" : "falta " + what;
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
    return "argumentos no esperados: " + Capture(text, "not expected: ?(.*)$");
  }
  if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr ||
      dynamic_cast<const CLI::ValidationError*>(&error) != nullptr) {
    const std::string what = Capture(text, "^([^:]+):");
    return what.empty() ? "valor no válido" : "valor no válido para " + what;
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    const std::string what = Capture(text, "arguments to (\\S+)");
    return "número de argumentos incorrecto" + (what.empty() ? "" : " para " + what);
  }
  if (dynamic_cast<const CLI::RequiresError*>(&error) != nullptr) {
    return Capture(text, "^(.*) requires") + " necesita otra opción";
  }
  if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr) {
    return Capture(text, "^(.*) excludes") + " excluye otra opción";
  }
  return "argumentos no válidos";
}

}  // namespace QuarloCli
