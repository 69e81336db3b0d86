// seguimiento, xml, pdf, anular: what the service keeps of one document, and its void.

#include <iostream>
#include <memory>
#include <quarlo/error.hpp>

#include "command.hpp"
#include "commands.hpp"
#include "commands/declared_encoding.hpp"
#include "commands/document_key.hpp"
#include "commands/search.hpp"

namespace QuarloCli {

namespace {

using QuarloCliente::Bytes;
using QuarloCliente::ResultadoServicio;
using QuarloCliente::TipoFallo;

// The arguments of a retrieval: the document and, for xml and pdf, where to write it.
struct RetrievalArgs {
  DocumentKey key;
  std::string archivo;
  bool distribucion = false;
  std::string comentario;
};

// An answer that came but cannot be used, as the service's fault it is.
ResultadoServicio UnreadableAnswer(const std::string& descripcion) {
  ResultadoServicio resultado;
  resultado.SetError(descripcion, TipoFallo::RespuestaInvalida);
  return resultado;
}

// One state of the history: an object for --json, a line for a person.
nlohmann::ordered_json StateJson(const QuarloCliente::TrackingEstadoTrack& state) {
  return {{"fecha", state.timeStampField},
          {"codigo", state.codigoField},
          {"estado", state.estadoField},
          {"comentario", state.comentarioField},
          {"idSeguimiento", state.trackIdField}};
}

std::string StateLine(const QuarloCliente::TrackingEstadoTrack& state) {
  return state.timeStampField + "  " + state.estadoField + " (" +
         std::to_string(state.codigoField) + ")  " + state.comentarioField;
}

void AddStates(Record& record, const QuarloCliente::TrackingResponse& tracking, bool json) {
  const auto states = tracking.getEstadoTrackArray();
  if (!json) {
    for (std::size_t i = 0; i < states.size(); ++i) {
      record.Field("estado " + std::to_string(i + 1), StateLine(*states[i]));
    }
    return;
  }
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const auto& state : states) array.push_back(StateJson(*state));
  record.Field("estados", std::move(array));
}

void Tracking(Context& context, const DocumentKey& key) {
  QuarloCliente::Servicio servicio = context.OpenService();
  const auto trazas = servicio.ObtenerTracking(context.connection.ambiente, key.grupo, key.rut,
                                               key.tipo, key.folio);
  Record record = KeyRecord("seguimiento", key);
  if (trazas->ResultadoServicio->Fallo != TipoFallo::Ninguno) {
    record.Outcome(*trazas->ResultadoServicio);
    context.Report(record, trazas->ResultadoServicio->Fallo);
    return;
  }
  std::shared_ptr<QuarloCliente::TrackingResponse> tracking;
  try {
    tracking = trazas->getResumen();
  } catch (const QuarloCliente::Error& error) {
    const ResultadoServicio unreadable =
        UnreadableAnswer(std::string("el seguimiento recibido no se puede leer: ") + error.what());
    record.Outcome(unreadable);
    context.Report(record, unreadable.Fallo);
    return;
  }
  record.Outcome(*trazas->ResultadoServicio);
  record.Field("idSeguimiento", std::to_string(tracking->idField));
  AddStates(record, *tracking, context.json);
  context.Report(record, TipoFallo::Ninguno);
}

// Writes what was retrieved to the user's file; a file that cannot be written is a local fault.
void WriteTo(Context& context, QuarloCliente::Servicio& servicio, Record& record,
             const std::string& archivo, const Bytes& bytes) {
  if (!servicio.EscribirFichero(archivo, bytes)) {
    record.LocalFailure("no se pudo escribir el fichero '" + archivo + "'");
    context.Report(record, TipoFallo::ErrorLocal);
    return;
  }
  record.Field("archivo", archivo).Field("bytes", static_cast<std::int64_t>(bytes.size()));
  context.Report(record, TipoFallo::Ninguno);
}

// The document alone on stdout, often redirected into a file: a failure goes to stderr instead.
void PrintRawXml(Context& context, const QuarloCliente::ResultadoRecuperarXML& xml) {
  const ResultadoServicio& resultado = *xml.ResultadoServicio;
  if (resultado.Fallo != TipoFallo::Ninguno) {
    Context::Warn(resultado.Descripcion);
    context.tally.Note(resultado.Fallo);
    return;
  }
  const Bytes bytes = DeclaredEncodingBytes(xml.Datos);
  std::cout.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
  if (!bytes.empty() && bytes.back() != '\n') std::cout << '\n';
}

void Xml(Context& context, const RetrievalArgs& args) {
  QuarloCliente::Servicio servicio = context.OpenService();
  const DocumentKey& key = args.key;
  const auto xml = servicio.RecuperarXML(context.connection.ambiente, key.grupo, key.rut, key.tipo,
                                         key.folio, args.distribucion);
  if (args.archivo.empty() && !context.json) {
    PrintRawXml(context, *xml);
    return;
  }
  const ResultadoServicio& resultado = *xml->ResultadoServicio;
  Record record = KeyRecord("xml", key);
  record.Outcome(resultado);
  if (resultado.Fallo != TipoFallo::Ninguno) {
    context.Report(record, resultado.Fallo);
  } else if (args.archivo.empty()) {
    record.Field("xml", xml->Datos);
    context.Report(record, TipoFallo::Ninguno);
  } else {
    WriteTo(context, servicio, record, args.archivo, DeclaredEncodingBytes(xml->Datos));
  }
}

void Pdf(Context& context, const RetrievalArgs& args) {
  QuarloCliente::Servicio servicio = context.OpenService();
  const DocumentKey& key = args.key;
  const auto pdf =
      servicio.RecuperarPDF(context.connection.ambiente, key.grupo, key.rut, key.tipo, key.folio);
  Record record = KeyRecord("pdf", key);
  record.Outcome(*pdf->ResultadoServicio);
  if (pdf->ResultadoServicio->Fallo != TipoFallo::Ninguno) {
    context.Report(record, pdf->ResultadoServicio->Fallo);
    return;
  }
  Bytes bytes;
  try {
    bytes = pdf->GetDatosComoBytes();
  } catch (const QuarloCliente::Error& error) {
    const ResultadoServicio unreadable =
        UnreadableAnswer(std::string("el PDF recibido no es Base64 válido: ") + error.what());
    record.Outcome(unreadable);
    context.Report(record, unreadable.Fallo);
    return;
  }
  WriteTo(context, servicio, record, args.archivo, bytes);
}

void Void(Context& context, const RetrievalArgs& args) {
  QuarloCliente::Servicio servicio = context.OpenService();
  const DocumentKey& key = args.key;
  const auto resultado = servicio.AnularDocumento(context.connection.ambiente, key.rut, key.tipo,
                                                  key.folio, args.comentario);
  Record record = KeyRecord("anular", key);
  record.Outcome(*resultado);
  // On success the service's code gives way to the document's new fiscal status.
  if (resultado->Fallo == TipoFallo::Ninguno) record.Field("estadoSii", resultado->Estado);
  context.Report(record, resultado->Fallo);
}

void AddTracking(CLI::App& app, Context& context) {
  auto args = std::make_shared<DocumentKey>();
  CLI::App* command =
      NewCommand(app, "seguimiento", "Historia del proceso de un documento en el SII",
                 "quarlo seguimiento 76543210-3 33 1234");
  AddDocumentKey(*command, *args);
  command->callback([&context, args] { Tracking(context, *args); });
}

void AddXml(CLI::App& app, Context& context) {
  auto args = std::make_shared<RetrievalArgs>();
  CLI::App* command =
      NewCommand(app, "xml", "El XML de un documento, en la salida estándar o en un fichero",
                 "quarlo xml 76543210-3 33 1234 -o factura-1234.xml");
  AddDocumentKey(*command, args->key);
  command->add_option("-o,--salida", args->archivo, "Fichero donde escribir el XML");
  command->add_flag("--distribucion", args->distribucion,
                    "El sobre dirigido al receptor en lugar del dirigido al SII");
  command->callback([&context, args] { Xml(context, *args); });
}

void AddPdf(CLI::App& app, Context& context) {
  auto args = std::make_shared<RetrievalArgs>();
  CLI::App* command = NewCommand(app, "pdf", "La representación impresa (PDF) de un documento",
                                 "quarlo pdf 76543210-3 33 1234 -o factura-1234.pdf");
  AddDocumentKey(*command, args->key);
  command->add_option("-o,--salida", args->archivo, "Fichero donde escribir el PDF")->required();
  command->callback([&context, args] { Pdf(context, *args); });
}

void AddVoid(CLI::App& app, Context& context) {
  auto args = std::make_shared<RetrievalArgs>();
  CLI::App* command =
      NewCommand(app, "anular", "Anula un documento emitido",
                 "quarlo anular 76543210-3 33 1234 --comentario \"folio repetido\"");
  AddDocumentPositionals(*command, args->key);
  command->add_option("--comentario", args->comentario, "Motivo de la anulación")->required();
  command->callback([&context, args] { Void(context, *args); });
}

}  // namespace

void AddRetrievalCommands(CLI::App& app, Context& context) {
  AddTracking(app, context);
  AddXml(app, context);
  AddPdf(app, context);
  AddVoid(app, context);
  AddSearchCommands(app, context);
}

}  // namespace QuarloCli
