// bandeja reimprimir: the stamp of a document the outbox keeps, written again as its PDF417
// image (and the document's XML) for a reprint.

#include <charconv>
#include <quarlo/error.hpp>
#include <quarlo/pdf417.hpp>
#include <set>

#include "command.hpp"
#include "local_files.hpp"
#include "outbox.hpp"

namespace QuarloCli {

namespace {

using QuarloCliente::BandejaSalida;
using QuarloCliente::EstadoItem;
using QuarloCliente::TipoFallo;

// The issuer of the stored document of that type and folio; UsageError when several issuers have
// one, Error when none has.
std::string IssuerOf(const BandejaSalida& bandeja, std::int32_t tipo, std::int64_t folio) {
  std::set<std::string> ruts;
  for (const EstadoItem estado : ListedStates("")) {
    for (const auto& item : bandeja.Items(estado)) {
      const bool document = item.clase == QuarloCliente::ClaseItem::Boleta ||
                            item.clase == QuarloCliente::ClaseItem::Dte;
      if (document && item.tipoDte == tipo && item.folio == folio) ruts.insert(item.rutEmisor);
    }
  }
  if (ruts.empty()) {
    throw QuarloCliente::Error("la bandeja no tiene el documento de tipo " + std::to_string(tipo) +
                               " y folio " + std::to_string(folio));
  }
  if (ruts.size() > 1) {
    throw UsageError("varios emisores tienen ese folio en la bandeja: indique --rut");
  }
  return *ruts.begin();
}

// A folio or type given on the command line, already checked to be a positive number.
std::int64_t Number(const std::string& text, const std::string& what) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value <= 0) {
    throw UsageError(what + " no válido: " + text);
  }
  return value;
}

// bandeja reimprimir: the PNG (and the XML) of one stored document.
void Reprint(Context& context, const OutboxArgs& args) {
  Record record("bandeja reimprimir");
  record.Field("tipo", args.tipo).Field("folio", args.folio);
  const auto tipo = static_cast<std::int32_t>(Number(args.tipo, "tipo"));
  const std::int64_t folio = Number(args.folio, "folio");
  try {
    const auto bandeja = OpenOutbox(args);
    const std::string rut = args.rut.empty() ? IssuerOf(*bandeja, tipo, folio) : args.rut;
    record.Field("rut", rut);
    const QuarloCliente::DocumentoGuardado documento = bandeja->Documento(rut, tipo, folio);
    WriteLocalFile(args.png, documento.pdf417Png.empty()
                                 ? QuarloCliente::CodigoPdf417Png(documento.ted)
                                 : documento.pdf417Png);
    record.Field("estado", StateName(documento.estado)).Field("png", args.png);
    if (!args.salida.empty()) {
      WriteLocalFile(args.salida, documento.xml);
      record.Field("salida", args.salida);
    }
    record.Field("ted", documento.ted);
  } catch (const QuarloCliente::Error& error) {
    ReportLocalFailure(context, record, error.what());
    return;
  }
  context.Report(record, TipoFallo::Ninguno);
}

}  // namespace

void AddReprintCommand(CLI::App& bandeja, Context& context,
                       const std::shared_ptr<OutboxArgs>& args) {
  CLI::App* reimprimir = NewCommand(
      bandeja, "reimprimir",
      "Escribe el PDF417 del TED guardado de un documento, para reimprimirlo (y su XML con -o)",
      "quarlo bandeja reimprimir 1523 --tipo 39 --png boleta1523.png");
  reimprimir->add_option("FOLIO", args->folio, "Folio del documento")
      ->required()
      ->check(CLI::PositiveNumber);
  reimprimir->add_option("--tipo", args->tipo, "Tipo de documento (39 por omisión)")
      ->check(CLI::PositiveNumber);
  reimprimir->add_option("--rut", args->rut,
                         "RUT del emisor, si varios emisores tienen ese folio en la bandeja");
  reimprimir->add_option("--png", args->png, "Fichero PNG donde escribir el PDF417")->required();
  reimprimir->add_option("-o,--salida", args->salida, "Escribe también el XML del documento");
  reimprimir->callback([&context, args] { Reprint(context, *args); });
}

}  // namespace QuarloCli
