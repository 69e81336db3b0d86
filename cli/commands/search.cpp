// buscar, conciliar: lists of documents (or cessions) as a table or one JSON line each.

#include "commands/search.hpp"

#include <functional>
#include <memory>
#include <variant>

#include "command.hpp"

namespace QuarloCli {

namespace {

using QuarloCliente::ResultadosBusqueda;
using QuarloCliente::ResumenCesion;
using QuarloCliente::ResumenDTE;
using QuarloCliente::TipoFallo;

// The arguments of buscar.
struct SearchArgs {
  std::string consulta;
  std::string grupo = "E";
  int pagina = 1;
  int tamanno = 50;
};

// The arguments of conciliar.
struct ReconciliationArgs {
  std::string rutReceptor;
  std::string desde;
  std::string hasta;
  bool cesiones = false;
  std::string tipoConsulta = "0";
};

// The service writes its flags as "1" or "0"; "true" is read too, whatever its case.
bool Flag(const std::string& text) {
  return text == "1" || text == "true" || text == "True" || text == "TRUE";
}

// A found document under the same names the per-document subcommands use.
Record DocumentRow(const std::string& operacion, const ResumenDTE& document) {
  Record row(operacion);
  row.Field("rut", document.rutEmisor)
      .Field("tipo", document.tipoDte)
      .Field("folio", std::to_string(document.folio))
      .Field("fecha", document.FchEmis)
      .Field("monto", document.MntTotal)
      .Field("rutReceptor", document.RUTRecep)
      .Field("estado", std::string(Flag(document.Anulado) ? "anulado" : "vigente"))
      .Field("cedido", Flag(document.Cesion))
      .Field("idSeguimiento", document.Seguimiento);
  return row;
}

// A reconciliation lists what it reconciled; what it adds is whether the SII has the document.
Record ReconciledRow(const ResumenDTE& document) {
  Record row = DocumentRow("conciliar", document);
  row.Field("recibidoSii", Flag(document.RecibidoSII))
      .Field("fechaRecibidoSii", document.FechaRecibidoSII);
  return row;
}

// A cession; `rut` is the seller, who issued the ceded document.
Record CessionRow(const ResumenCesion& cession) {
  Record row("conciliar");
  row.Field("rut", cession.RUTVendedor)
      .Field("tipo", cession.tipoDocumento)
      .Field("folio", cession.folio)
      .Field("fecha", cession.FchEmisDTE)
      .Field("monto", cession.MntTotal)
      .Field("estadoCesion", cession.EstadoCesion)
      .Field("rutDeudor", cession.RUTDeudor)
      .Field("rutCedente", cession.RUTCedente)
      .Field("rutCesionario", cession.RUTCesionario)
      .Field("fechaCesion", cession.FchCesion)
      .Field("montoCesion", cession.MntCesion)
      .Field("fechaVencimiento", cession.FchVencimiento);
  return row;
}

// How a found document becomes a row: buscar and conciliar show it with different fields.
using DocumentRowBuilder = std::function<Record(const ResumenDTE&)>;

// One row per record of the page, documents and cessions alike, in the service's order.
std::vector<Record> Rows(const ResultadosBusqueda& page, const DocumentRowBuilder& documentRow) {
  std::vector<Record> rows;
  const auto documents = page.getDocumentos();
  if (!documents) return rows;
  for (const auto& entry : *documents) {
    if (const auto* document = std::get_if<std::shared_ptr<ResumenDTE>>(&entry)) {
      rows.push_back(documentRow(**document));
    } else {
      rows.push_back(CessionRow(*std::get<std::shared_ptr<ResumenCesion>>(entry)));
    }
  }
  return rows;
}

// A failure as one record; a page as its rows, headed for a person by how many there are.
void ReportPage(Context& context, const std::string& operacion, const ResultadosBusqueda& page,
                int pagina, const DocumentRowBuilder& documentRow) {
  const auto& resultado = *page.ResultadoServicio;
  if (resultado.Fallo != TipoFallo::Ninguno) {
    context.Report(Record(operacion).Outcome(resultado), resultado.Fallo);
    return;
  }
  if (!context.json) {
    Record summary(operacion);
    summary.Field("totalDocumentos", static_cast<std::int64_t>(page.TotalDocumentos))
        .Field("pagina", static_cast<std::int64_t>(pagina))
        .Field("totalPaginas", static_cast<std::int64_t>(page.TotalPages));
    context.Out().Print(summary);
  }
  context.Out().PrintTable(Rows(page, documentRow));
  context.tally.Note(TipoFallo::Ninguno);
}

void Search(Context& context, const SearchArgs& args) {
  QuarloCliente::Servicio servicio = context.OpenService();
  const auto page =
      servicio.BuscarDocumentos(context.connection.ambiente, args.grupo, args.consulta,
                                static_cast<QuarloCliente::Integer>(args.pagina),
                                static_cast<QuarloCliente::Integer>(args.tamanno));
  ReportPage(context, "buscar", *page, args.pagina,
             [](const ResumenDTE& document) { return DocumentRow("buscar", document); });
}

void Reconcile(Context& context, const ReconciliationArgs& args) {
  QuarloCliente::Servicio servicio = context.OpenService();
  const std::string& ambiente = context.connection.ambiente;
  const auto page =
      args.cesiones
          ? servicio.ConciliarCesiones(ambiente, args.rutReceptor, args.desde, args.hasta,
                                       args.tipoConsulta, context.SiiPassword())
          : servicio.ConciliarDocumentos(ambiente, args.rutReceptor, args.desde, args.hasta);
  ReportPage(context, "conciliar", *page, 1, ReconciledRow);
}

void AddSearch(CLI::App& app, Context& context) {
  auto args = std::make_shared<SearchArgs>();
  CLI::App* command =
      NewCommand(app, "buscar", "Busca documentos, una página a la vez",
                 "quarlo buscar \"tipo:33 fecha:2024-05-01..2024-05-31\" --pagina 2");
  command->add_option("CONSULTA", args->consulta,
                      "Qué buscar (vacío: todos los documentos), en el lenguaje del servicio");
  command->add_option("--grupo", args->grupo, "E (emitidos, por omisión) o R (recibidos)")
      ->check(CLI::IsMember({"E", "R"}));
  // The library carries both as 16-bit numbers.
  command->add_option("--pagina", args->pagina, "Página, desde 1 (por omisión 1)")
      ->check(CLI::Range(1, 32767));
  command->add_option("--tamanno", args->tamanno, "Documentos por página (por omisión 50)")
      ->check(CLI::Range(1, 32767));
  command->callback([&context, args] { Search(context, *args); });
}

void AddReconciliation(CLI::App& app, Context& context) {
  auto args = std::make_shared<ReconciliationArgs>();
  CLI::App* command = NewCommand(
      app, "conciliar", "Concilia con el SII los documentos (o cesiones) recibidos en unas fechas",
      "QUARLO_SII_CLAVE=... quarlo conciliar 77214903-4 2024-05-01 2024-05-31 --cesiones");
  command->add_option("RUT_RECEPTOR", args->rutReceptor, "RUT del receptor")->required();
  command->add_option("DESDE", args->desde, "Primera fecha (AAAA-MM-DD)")->required();
  command->add_option("HASTA", args->hasta, "Última fecha (AAAA-MM-DD)")->required();
  CLI::Option* cesiones = command->add_flag(
      "--cesiones", args->cesiones,
      "Las cesiones en lugar de los documentos; necesita la clave del SII (--clave-sii-archivo "
      "o QUARLO_SII_CLAVE)");
  command
      ->add_option("--tipo-consulta", args->tipoConsulta,
                   "0 como deudor (por omisión), 1 como cedente, 2 como cesionario")
      ->check(CLI::IsMember({"0", "1", "2"}))
      ->needs(cesiones);
  command->callback([&context, args] { Reconcile(context, *args); });
}

}  // namespace

void AddSearchCommands(CLI::App& app, Context& context) {
  AddSearch(app, context);
  AddReconciliation(app, context);
}

}  // namespace QuarloCli
