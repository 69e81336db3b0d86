// estado: where a document stands with the tax authority.

#include <memory>

#include "command.hpp"
#include "commands.hpp"
#include "commands/document_key.hpp"

namespace QuarloCli {

namespace {

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
