// caf and timbrar: a shop's CAFs and stamps, worked on locally; only «caf subir» reaches the
// service.

#include <filesystem>
#include <memory>
#include <quarlo/error.hpp>
#include <quarlo/pdf417.hpp>
#include <quarlo/servicio.hpp>
#include <quarlo/timbre.hpp>
#include <quarlo/xml_document.hpp>

#include "command.hpp"
#include "commands.hpp"
#include "local_files.hpp"

namespace QuarloCli {

namespace {

using QuarloCliente::ArchivoCaf;
using QuarloCliente::Bytes;

// The fields that name a CAF's issuer, type and range, as every subcommand shows them.
void CafFields(Record& record, const ArchivoCaf& caf) {
  record.Field("rut", caf.RutEmisor())
      .Field("razonSocial", caf.RazonSocial())
      .Field("tipo", std::to_string(caf.TipoDte()))
      .Field("desde", caf.FolioDesde())
      .Field("hasta", caf.FolioHasta());
}

// caf subir: the CAF's range, then its upload.
void UploadCaf(Context& context, const std::string& archivo) {
  Record record("caf subir");
  record.Field("archivo", archivo);
  // The file is read here first only to name its range; the upload sends its bytes as stored.
  try {
    CafFields(record, ReadCaf(archivo));
  } catch (const QuarloCliente::Error& error) {
    ReportLocalFailure(context, record, error.what());
    return;
  }
  QuarloCliente::Servicio servicio = context.OpenService();
  const auto result = servicio.EnviarCAF(context.connection.ambiente, archivo);
  record.Outcome(*result);
  context.Report(record, result->Fallo);
}

// caf ver: what a CAF grants, read locally.
void ShowCaf(Context& context, const std::string& archivo) {
  Record record("caf ver");
  record.Field("archivo", archivo);
  try {
    const ArchivoCaf caf = ReadCaf(archivo);
    CafFields(record, caf);
    record.Field("fechaAutorizacion", caf.FechaAutorizacion())
        .Field("idk", caf.Idk())
        .Field("clavePrivada", caf.TieneClavePrivada());
  } catch (const QuarloCliente::Error& error) {
    ReportLocalFailure(context, record, error.what());
    return;
  }
  context.Report(record, QuarloCliente::TipoFallo::Ninguno);
}

// What «timbrar» was given.
struct StampRequest {
  std::string documento;
  std::string caf;
  std::string salida;
  std::string png;
};

// Where the stamped document goes when -o is not given: beside the original, never over it.
std::string DefaultOutput(const std::string& documento) {
  std::filesystem::path path(documento);
  path.replace_extension();
  return path.string() + ".timbrado.xml";
}

// Stamps the document with the CAF and writes it; the TED.
std::string StampDocument(const Bytes& bytes, const ArchivoCaf& caf, const std::string& salida) {
  // Told before loading: a factura loaded as a boleta would only say its type is not a boleta's.
  QuarloCliente::Servicio local;
  const std::string tipo =
      local.NodeValue(QuarloCliente::XmlDocument::Parse(bytes), "//IdDoc/TipoDTE");
  if (!tipo.empty() && tipo != std::to_string(caf.TipoDte())) {
    throw QuarloCliente::Error("el documento es del tipo " + tipo + " y el CAF, del tipo " +
                               std::to_string(caf.TipoDte()));
  }
  const auto context = std::make_shared<QuarloCliente::BindingContext>();
  const auto momento = QuarloCliente::BindingDateTime::FromDateTime(QuarloCliente::Now());
  if (IsBoletaType(caf.TipoDte())) {
    QuarloCliente::BoletaDocumentBinding boleta;
    boleta.Load(bytes, context);
    const std::string ted = QuarloCliente::TimbrarBoleta(boleta, caf, momento);
    WriteLocalFile(salida, boleta.ToXml(context));
    return ted;
  }
  QuarloCliente::DteDocumentBinding dte;
  dte.Load(bytes, context);
  const std::string ted = QuarloCliente::TimbrarDte(dte, caf, momento);
  WriteLocalFile(salida, dte.ToXml(context));
  return ted;
}

// timbrar: the document stamped and written, and the PNG when asked.
void Stamp(Context& context, const StampRequest& request) {
  Record record("timbrar");
  const std::string salida =
      request.salida.empty() ? DefaultOutput(request.documento) : request.salida;
  record.Field("archivo", request.documento).Field("salida", salida);
  try {
    const Bytes bytes = ReadLocalFile(request.documento);
    const std::string ted = StampDocument(bytes, ReadCaf(request.caf), salida);
    TedFields(record, ted);
    if (!request.png.empty()) {
      WriteLocalFile(request.png, QuarloCliente::CodigoPdf417Png(ted));
      record.Field("png", request.png);
    }
    record.Field("ted", ted);
  } catch (const QuarloCliente::Error& error) {
    ReportLocalFailure(context, record, error.what());
    return;
  }
  context.Report(record, QuarloCliente::TipoFallo::Ninguno);
}

// caf subir, caf ver.
void AddCafCommands(CLI::App& app, Context& context) {
  CLI::App* caf = NewCommand(app, "caf", "Ficheros CAF de folios autorizados",
                             "quarlo caf ver FoliosSII7698144239.xml");
  caf->require_subcommand(1);
  auto archivo = std::make_shared<std::string>();
  CLI::App* subir =
      NewCommand(*caf, "subir", "Sube un CAF al servicio, tal como está en el fichero",
                 "quarlo caf subir FoliosSII7698144239.xml");
  subir->add_option("ARCHIVO", *archivo, "Fichero CAF (AUTORIZACION) entregado por el SII")
      ->required();
  subir->callback([&context, archivo] { UploadCaf(context, *archivo); });
  CLI::App* ver = NewCommand(*caf, "ver",
                             "Muestra emisor, tipo, rango y fecha de un CAF, y si trae su clave "
                             "privada (que nunca se muestra)",
                             "quarlo caf ver FoliosSII7698144239.xml");
  ver->add_option("ARCHIVO", *archivo, "Fichero CAF (AUTORIZACION)")->required();
  ver->callback([&context, archivo] { ShowCaf(context, *archivo); });
}

// timbrar.
void AddStampCommand(CLI::App& app, Context& context) {
  auto request = std::make_shared<StampRequest>();
  CLI::App* timbrar = NewCommand(
      app, "timbrar",
      "Timbra localmente un DTE o una boleta con un CAF que trae su clave privada y escribe el "
      "documento timbrado",
      "quarlo timbrar boleta.xml --caf FoliosSII7698144239.xml -o boleta.timbrado.xml --png "
      "timbre.png");
  timbrar->add_option("DOCUMENTO", request->documento, "Fichero del DTE o de la boleta")
      ->required();
  timbrar->add_option("--caf", request->caf, "Fichero CAF del emisor y tipo del documento")
      ->required();
  timbrar->add_option("-o,--salida", request->salida,
                      "Dónde escribir el documento timbrado (por omisión, DOCUMENTO.timbrado.xml)");
  timbrar->add_option("--png", request->png, "Escribe también el PDF417 del TED en este PNG");
  timbrar->callback([&context, request] { Stamp(context, *request); });
}

}  // namespace

void AddLocalCommands(CLI::App& app, Context& context) {
  AddCafCommands(app, context);
  AddTedCommands(app, context);
  AddStampCommand(app, context);
  AddValidateCommand(app, context);
}

}  // namespace QuarloCli
