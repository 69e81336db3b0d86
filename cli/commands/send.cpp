// enviar: documents, boletas, folio reports and books from their files, one record per file.

#include <filesystem>
#include <memory>
#include <regex>
#include <vector>

#include "command.hpp"
#include "commands.hpp"
#include "send_files.hpp"
#include "send_progress.hpp"

namespace QuarloCli {

namespace {

// The command line of one run, before the environment fills what it leaves out.
struct SendArguments {
  std::vector<std::string> archivos;
  bool autofoliado = false;
  std::string fechaResolucion;
  std::string numeroResolucion;
  std::string pdf417 = "ninguno";
  std::string carpetaSalida;
};

// The option's value, else the environment variable's.
std::string OptionOrEnvironment(const std::string& option, const char* variable) {
  return option.empty() ? Environment(variable) : option;
}

QuarloCliente::Integer ResolutionNumber(const std::string& text) {
  static const std::regex digits("[0-9]{1,5}");
  const int value = std::regex_match(text, digits) ? std::stoi(text) : 0;
  if (value < 1 || value > 32767) {
    throw UsageError("número de resolución no válido: '" + text + "' (de 1 a 32767)");
  }
  return static_cast<QuarloCliente::Integer>(value);
}

std::string ResolutionDate(const std::string& text) {
  static const std::regex date("[0-9]{4}-[0-9]{2}-[0-9]{2}");
  if (!std::regex_match(text, date)) {
    throw UsageError("fecha de resolución no válida: '" + text + "' (AAAA-MM-DD)");
  }
  return text;
}

// True when one of the files is a document, which needs the resolution; files that cannot be
// read or told are left for the run to report.
bool AnyDocument(const std::vector<std::string>& archivos) {
  for (const std::string& archivo : archivos) {
    try {
      if (NeedsResolution(Classify(ReadWholeFile(archivo)))) return true;
    } catch (const LocalFault&) {
    }
  }
  return false;
}

// The run's settings; UsageError for a resolution that is wrong, or absent while a document
// needs it.
SendSettings Settings(const Context& context, const SendArguments& arguments) {
  SendSettings settings;
  settings.ambiente = context.connection.ambiente;
  settings.autofoliado = arguments.autofoliado;
  settings.pdf417 = arguments.pdf417;
  // The service always draws a barcode; the font rows cost it least when none is wanted.
  settings.tipoPdf417 = arguments.pdf417 == "grafico" ? 2 : 1;
  settings.carpetaSalida = arguments.carpetaSalida;
  const std::string fecha =
      OptionOrEnvironment(arguments.fechaResolucion, "QUARLO_FECHA_RESOLUCION");
  const std::string numero =
      OptionOrEnvironment(arguments.numeroResolucion, "QUARLO_NUMERO_RESOLUCION");
  if (!fecha.empty()) settings.fechaResolucion = ResolutionDate(fecha);
  if (!numero.empty()) settings.numeroResolucion = ResolutionNumber(numero);
  if ((fecha.empty() || numero.empty()) && AnyDocument(arguments.archivos)) {
    throw UsageError(
        "los documentos necesitan la resolución: use --fecha-resolucion y --numero-resolucion "
        "o las variables QUARLO_FECHA_RESOLUCION y QUARLO_NUMERO_RESOLUCION");
  }
  return settings;
}

void SendAll(Context& context, const SendArguments& arguments) {
  const SendSettings settings = Settings(context, arguments);
  QuarloCliente::Servicio servicio = context.OpenService();
  std::error_code error;
  if (!settings.carpetaSalida.empty() &&
      !std::filesystem::create_directories(settings.carpetaSalida, error) && error) {
    // Not a usage error: the option is right, the disk is not.
    throw std::runtime_error("no se pudo crear la carpeta " + settings.carpetaSalida);
  }
  SendCounts counts;
  counts.total = static_cast<int>(arguments.archivos.size());
  ProgressLine progress(counts.total);
  for (const std::string& archivo : arguments.archivos) {
    const SentFile sent = SendFile(servicio, archivo, settings);
    progress.Clear();
    if (sent.fallo == QuarloCliente::TipoFallo::ErrorLocal) {
      Context::Warn(archivo + ": " + sent.record.Json()["descripcion"].get<std::string>());
    }
    context.Report(sent.record, sent.fallo);
    counts.Add(sent.fallo);
    progress.Show(counts);
  }
  progress.Clear();
  Context::Warn(SummaryLine(counts));
}

void AddSendOptions(CLI::App& command, SendArguments& arguments) {
  command
      .add_option("ARCHIVO", arguments.archivos,
                  "Ficheros XML: DTE, boleta, consumo de folios o libro")
      ->required()
      ->type_name("FICHERO");
  command.add_flag("--autofoliado", arguments.autofoliado,
                   "El servicio numera cada DTE y boleta (sin esta opción se envían con su folio "
                   "y, si traen un TED firmado válido, con ese TED)");
  command
      .add_option("--fecha-resolucion", arguments.fechaResolucion,
                  "Fecha de la resolución del SII, AAAA-MM-DD (o QUARLO_FECHA_RESOLUCION); "
                  "los libros y consumos usan la de su carátula")
      ->type_name("FECHA");
  command
      .add_option("--numero-resolucion", arguments.numeroResolucion,
                  "Número de la resolución del SII (o QUARLO_NUMERO_RESOLUCION)")
      ->type_name("NÚMERO");
  command
      .add_option("--pdf417", arguments.pdf417,
                  "Código de barras que se escribe en --carpeta-salida: grafico (PNG), fuente "
                  "(filas de texto) o ninguno (por omisión)")
      ->check(CLI::IsMember({"grafico", "fuente", "ninguno"}));
  command
      .add_option("--carpeta-salida", arguments.carpetaSalida,
                  "Carpeta donde se escribe el TED de cada documento aceptado, como "
                  "RUT_TIPO_FOLIO.ted.xml")
      ->type_name("CARPETA");
}

}  // namespace

void AddSendCommands(CLI::App& app, Context& context) {
  auto arguments = std::make_shared<SendArguments>();
  CLI::App* enviar = NewCommand(
      app, "enviar", "Envía DTE, boletas, consumos de folios y libros desde ficheros XML",
      "quarlo enviar --autofoliado --fecha-resolucion 2014-08-22 "
      "--numero-resolucion 80 boletas/*.xml");
  AddSendOptions(*enviar, *arguments);
  enviar->callback([&context, arguments] { SendAll(context, *arguments); });
}

}  // namespace QuarloCli
