// bandeja: a point of sale's outbox file, looked into and drained into the service.

#include "outbox.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <quarlo/bandeja.hpp>
#include <quarlo/error.hpp>

#include "command.hpp"
#include "commands.hpp"
#include "local_files.hpp"

namespace QuarloCli {

using QuarloCliente::BandejaSalida;
using QuarloCliente::EstadoItem;
using QuarloCliente::TipoFallo;

// An outbox that does not exist is not created: a mistyped name would otherwise show an empty
// outbox instead of the fault.
std::unique_ptr<BandejaSalida> OpenOutbox(const OutboxArgs& args) {
  const std::string path = args.archivo.empty() ? Environment("QUARLO_BANDEJA") : args.archivo;
  if (path.empty()) {
    throw UsageError("falta la bandeja: use --archivo o la variable QUARLO_BANDEJA");
  }
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    throw QuarloCliente::Error("no existe la bandeja '" + path + "'");
  }
  return std::make_unique<BandejaSalida>(path);
}

std::string StateName(EstadoItem estado) {
  switch (estado) {
    case EstadoItem::Aceptado:
      return "aceptado";
    case EstadoItem::Rechazado:
      return "rechazado";
    case EstadoItem::Pendiente:
      break;
  }
  return "pendiente";
}

std::vector<EstadoItem> ListedStates(const std::string& estado) {
  if (estado == "pendiente") return {EstadoItem::Pendiente};
  if (estado == "aceptado") return {EstadoItem::Aceptado};
  if (estado == "rechazado") return {EstadoItem::Rechazado};
  return {EstadoItem::Pendiente, EstadoItem::Aceptado, EstadoItem::Rechazado};
}

namespace {

// What an item carries, as the command line writes it.
std::string ClassName(QuarloCliente::ClaseItem clase) {
  switch (clase) {
    case QuarloCliente::ClaseItem::Caf:
      return "caf";
    case QuarloCliente::ClaseItem::Boleta:
      return "boleta";
    case QuarloCliente::ClaseItem::ConsumoFolios:
      return "consumoFolios";
    case QuarloCliente::ClaseItem::Dte:
      break;
  }
  return "dte";
}

// One line of «bandeja lista».
Record ItemRecord(const QuarloCliente::ItemBandeja& item) {
  Record record("bandeja lista");
  record.Field("id", item.id)
      .Field("clase", ClassName(item.clase))
      .Field("rut", item.rutEmisor)
      .Field("tipo", std::to_string(item.tipoDte))
      .Field("folio", std::to_string(item.folio))
      .Field("estado", StateName(item.estado))
      .Field("intentos", std::int64_t{item.intentos})
      .Field("idSeguimiento", item.idSeguimiento)
      .Field("motivo", item.motivo);
  return record;
}

// bandeja lista: the items, oldest first per state.
void List(Context& context, const OutboxArgs& args) {
  const auto bandeja = OpenOutbox(args);
  std::vector<Record> records;
  for (const EstadoItem estado : ListedStates(args.estado)) {
    for (const auto& item : bandeja->Items(estado)) records.push_back(ItemRecord(item));
  }
  context.Out().PrintTable(records);
}

// bandeja estado: the counts, then one record per CAF with the folios it has left.
void Status(Context& context, const OutboxArgs& args) {
  const auto bandeja = OpenOutbox(args);
  const QuarloCliente::ConteoItems conteo = bandeja->Conteo();
  Record record("bandeja estado");
  record.Field("pendientes", std::int64_t{conteo.pendientes})
      .Field("aceptados", std::int64_t{conteo.aceptados})
      .Field("rechazados", std::int64_t{conteo.rechazados});
  if (const auto age = bandeja->AntiguedadPendiente()) {
    record.Field("antiguedadPendienteSegundos",
                 std::chrono::duration_cast<std::chrono::seconds>(*age).count());
  }
  context.Report(record, TipoFallo::Ninguno);
  for (const QuarloCliente::FoliosCaf& caf : bandeja->Cafs()) {
    Record folios("bandeja folios");
    folios.Field("rut", caf.rutEmisor)
        .Field("tipo", std::to_string(caf.tipoDte))
        .Field("desde", caf.desde)
        .Field("hasta", caf.hasta)
        .Field("siguiente", caf.siguiente)
        .Field("restantes", caf.restantes)
        .Field("aviso", bandeja->AvisoFolios(caf.rutEmisor, caf.tipoDte));
    context.Report(folios, TipoFallo::Ninguno);
  }
}

// "1 documento", "3 documentos".
std::string Documents(int count) {
  return std::to_string(count) + (count == 1 ? " documento" : " documentos");
}

// Why a drain did not settle everything: what stays pending after an attempt could not get
// through outweighs refusals, which are kept and final.
QuarloCliente::ResultadoServicio DrainOutcome(const QuarloCliente::ResumenEnvio& resumen) {
  QuarloCliente::ResultadoServicio resultado;
  if (resumen.pendientes > 0) {
    resultado.SetError(
        Documents(resumen.pendientes) + " sin entregar: no se pudo comunicar con el servicio",
        TipoFallo::SinConexion);
  } else if (resumen.rechazados > 0) {
    resultado.SetError("el servicio rechazó " + Documents(resumen.rechazados) +
                           "; vea «quarlo bandeja lista --estado rechazado»",
                       TipoFallo::RechazoServicio);
  }
  return resultado;
}

// bandeja enviar: one drain and its summary.
void Send(Context& context, const OutboxArgs& args) {
  const auto bandeja = OpenOutbox(args);
  QuarloCliente::Servicio servicio = context.OpenService();
  const QuarloCliente::ResumenEnvio resumen = bandeja->Enviar(servicio);
  const QuarloCliente::ResultadoServicio resultado = DrainOutcome(resumen);
  Record record("bandeja enviar");
  record.Outcome(resultado)
      .Field("aceptados", std::int64_t{resumen.aceptados})
      .Field("rechazados", std::int64_t{resumen.rechazados})
      .Field("pendientes", std::int64_t{resumen.pendientes})
      .Field("intercambios", std::int64_t{resumen.intercambios});
  // Refusals beside pending items still count, for a script that reads the failures.
  if (resumen.rechazados > 0 && resultado.Fallo != TipoFallo::RechazoServicio) {
    context.tally.Note(TipoFallo::RechazoServicio);
  }
  context.Report(record, resultado.Fallo);
}

// Runs a subcommand whose outbox may be damaged or missing: that is a local fault, reported.
void Guarded(Context& context, const std::string& operacion, const std::function<void()>& run) {
  try {
    run();
  } catch (const QuarloCliente::Error& error) {
    Record record(operacion);
    ReportLocalFailure(context, record, error.what());
  }
}

}  // namespace

void AddOutboxCommands(CLI::App& app, Context& context) {
  auto args = std::make_shared<OutboxArgs>();
  CLI::App* bandeja = NewCommand(app, "bandeja", "La bandeja de salida de un punto de venta",
                                 "quarlo bandeja --archivo /var/lib/caja1/bandeja.db estado");
  bandeja->require_subcommand(1);
  bandeja->add_option("--archivo", args->archivo,
                      "Fichero de la bandeja (o la variable QUARLO_BANDEJA)");
  CLI::App* lista = NewCommand(*bandeja, "lista", "Los documentos de la bandeja y su estado",
                               "quarlo bandeja lista --estado pendiente");
  lista->add_option("--estado", args->estado, "Solo los de un estado")
      ->check(CLI::IsMember({"pendiente", "aceptado", "rechazado"}));
  lista->callback(
      [&context, args] { Guarded(context, "bandeja lista", [&] { List(context, *args); }); });
  CLI::App* estado = NewCommand(*bandeja, "estado",
                                "Cuántos documentos hay en cada estado, cuánto espera el más "
                                "antiguo pendiente y cuántos folios quedan por CAF",
                                "quarlo bandeja estado");
  estado->callback(
      [&context, args] { Guarded(context, "bandeja estado", [&] { Status(context, *args); }); });
  CLI::App* enviar = NewCommand(*bandeja, "enviar",
                                "Envía al servicio lo que está pendiente y resume el resultado",
                                "QUARLO_URI=https://api.ejemplo.cl quarlo bandeja enviar");
  enviar->callback(
      [&context, args] { Guarded(context, "bandeja enviar", [&] { Send(context, *args); }); });
  AddReprintCommand(*bandeja, context, args);
}

}  // namespace QuarloCli
