// estado: where a document stands with the tax authority.

#include <memory>

#include "command.hpp"
#include "commands.hpp"

namespace QuarloCli {

namespace {

// Which document a query names: issuer, type and folio, issued or received.
struct DocumentKey {
  std::string rut;
  std::string tipo;
  std::string folio;
  std::string grupo = "E";
};

void AddDocumentKey(CLI::App& command, DocumentKey& key) {
  command.add_option("RUT", key.rut, "RUT del emisor, con guion y dígito verificador")->required();
  command.add_option("TIPO", key.tipo, "Tipo de documento (33, 39, 61...)")->required();
  command.add_option("FOLIO", key.folio, "Folio del documento")->required();
  command.add_option("--grupo", key.grupo, "E (emitidos, por omisión) o R (recibidos)")
      ->check(CLI::IsMember({"E", "R"}));
}

Record KeyRecord(const std::string& operacion, const DocumentKey& key) {
  Record record(operacion);
  record.Field("rut", key.rut).Field("tipo", key.tipo).Field("folio", key.folio);
  return record;
}

void FiscalStatus(Context& context, const DocumentKey& key) {
  QuarloCliente::Servicio servicio = context.OpenService();
  const auto status = servicio.EstadoFiscal(
      context.connection.ambiente, QuarloCliente::Variant(key.grupo), key.rut, key.tipo, key.folio);
  Record record = KeyRecord("estado", key);
  record.Outcome(*status->ResultadoServicio);
  record.Field("estadoSii", status->Estado)
      .Field("idSeguimiento", status->IdSeguimiento)
      .Field("comentarios", status->Comentarios);
  context.Report(record, status->ResultadoServicio->Fallo);
}

}  // namespace

void AddStatusCommands(CLI::App& app, Context& context) {
  auto key = std::make_shared<DocumentKey>();
  CLI::App* estado = NewCommand(app, "estado", "Estado fiscal de un documento ante el SII",
                                "quarlo estado 76543210-3 33 1234");
  AddDocumentKey(*estado, *key);
  estado->callback([&context, key] { FiscalStatus(context, *key); });
}

}  // namespace QuarloCli
