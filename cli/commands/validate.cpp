// validar: every fault of local documents and books against the library's own schema model, so
// that a shop finds them before the service refuses the document; no XSD is read at run time.

#include <algorithm>
#include <functional>
#include <iostream>
#include <memory>
#include <quarlo/binding_dte.hpp>
#include <quarlo/binding_libros.hpp>
#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>
#include <quarlo/xml_document.hpp>

#include "command.hpp"
#include "local_files.hpp"

namespace QuarloCli {

namespace {

using QuarloCliente::BindingContext;
using QuarloCliente::BindingOption;
using QuarloCliente::Bytes;

// A lenient context that keeps what a strict load refuses, so that Problems can list every fault
// instead of the first; values are kept as written, untrimmed, so that none is hidden.
std::shared_ptr<BindingContext> KeepingContext() {
  auto context = std::make_shared<BindingContext>();
  context->SetAllOptions(true);
  context->SetOption(BindingOption::TrimValueWhitespace, false);
  return context;
}

// Every fault of the document against its schema. It is loaded strictly first; when that refuses
// it, it is loaded again keeping what it can, so that every fault is listed with its path.
template <class Document>
std::vector<std::string> Faults(const Bytes& bytes) {
  auto document = std::make_shared<Document>();
  try {
    document->Load(bytes, std::make_shared<BindingContext>());
    return document->Problems();
  } catch (const QuarloCliente::Error& strict) {
    std::vector<std::string> problems;
    try {
      document->Load(bytes, KeepingContext());
      problems = document->Problems();
    } catch (const QuarloCliente::Error&) {
    }
    // The lenient load drops some faults (stray text); the strict refusal is kept unless a
    // fault with its path already says the same.
    const std::string refusal = strict.what();
    const bool listed = std::any_of(problems.begin(), problems.end(), [&](const std::string& p) {
      return p.size() >= refusal.size() && p.ends_with(refusal);
    });
    if (!listed) problems.insert(problems.begin(), refusal);
    return problems;
  }
}

// A kind of document validar knows: its name in the output and how its faults are found.
struct DocumentKind {
  std::string nombre;
  std::function<std::vector<std::string>(const Bytes&)> faults;
};

// The kind of the document the bytes hold, by its root (and, for a DTE, by its type); throws
// QuarloCliente::Error for a root the library has no model of.
DocumentKind KindOf(const Bytes& bytes) {
  const QuarloCliente::XmlDocument parsed = QuarloCliente::XmlDocument::Parse(bytes);
  if (parsed.IsEmpty()) throw QuarloCliente::Error("no es un documento XML bien formado");
  const std::string root = RootName(parsed.Xml());
  if (root == "DTE") {
    QuarloCliente::Servicio local;
    const std::string tipo = local.NodeValue(parsed, "/DTE/Documento/Encabezado/IdDoc/TipoDTE");
    if (IsBoletaType(std::strtoll(tipo.c_str(), nullptr, 10))) {
      return {"boleta", Faults<QuarloCliente::BoletaDocumentBinding>};
    }
    return {"DTE", Faults<QuarloCliente::DteDocumentBinding>};
  }
  if (root == "ConsumoFolios") return {root, Faults<QuarloCliente::ConsumoFoliosBinding>};
  if (root == "LibroCompraVenta") return {root, Faults<QuarloCliente::LibroCompraVentaBinding>};
  if (root == "LibroGuia") return {root, Faults<QuarloCliente::LibroGuiaBinding>};
  if (root == "LibroBoleta") return {root, Faults<QuarloCliente::LibroBoletaBinding>};
  throw QuarloCliente::Error("no se valida un documento cuyo elemento raíz es '" + root +
                             "' (se validan DTE, boletas, ConsumoFolios y libros)");
}

// One fault split into the path of the element at fault and what is wrong there.
nlohmann::ordered_json FaultJson(const std::string& problem) {
  nlohmann::ordered_json fault;
  const std::size_t colon = problem.find(": ");
  const bool hasPath = colon != std::string::npos && problem.find(' ') > colon;
  fault["ruta"] = hasPath ? problem.substr(0, colon) : "";
  fault["problema"] = hasPath ? problem.substr(colon + 2) : problem;
  return fault;
}

// One file's record, and its faults under it as text.
void ValidateFile(Context& context, const std::string& archivo) {
  Record record("validar");
  record.Field("archivo", archivo);
  std::vector<std::string> problems;
  try {
    const Bytes bytes = ReadLocalFile(archivo);
    const DocumentKind kind = KindOf(bytes);
    record.Field("documento", kind.nombre);
    problems = kind.faults(bytes);
  } catch (const QuarloCliente::Error& error) {
    ReportLocalFailure(context, record, "'" + archivo + "': " + error.what());
    return;
  }
  nlohmann::ordered_json faults = nlohmann::ordered_json::array();
  for (const std::string& problem : problems) faults.push_back(FaultJson(problem));
  record.Field("problemas", static_cast<std::int64_t>(problems.size()));
  if (!problems.empty()) {
    record.LocalFailure(std::to_string(problems.size()) +
                        (problems.size() == 1 ? " problema" : " problemas"));
  }
  if (context.json) record.Field("faltas", faults);
  context.Report(record, problems.empty() ? QuarloCliente::TipoFallo::Ninguno
                                          : QuarloCliente::TipoFallo::ErrorLocal);
  // As text each fault goes on a line of its own under its file's record, path first.
  if (!context.json) {
    for (const std::string& problem : problems) std::cout << "  " << problem << '\n';
  }
}

}  // namespace

void AddValidateCommand(CLI::App& app, Context& context) {
  auto archivos = std::make_shared<std::vector<std::string>>();
  CLI::App* validar = NewCommand(
      app, "validar",
      "Valida DTE, boletas, ConsumoFolios y libros contra el modelo de los esquemas del SII y "
      "muestra cada problema con su ruta",
      "quarlo validar factura.xml boleta.xml");
  validar->add_option("ARCHIVO", *archivos, "Ficheros a validar")->required();
  validar->callback([&context, archivos] {
    for (const std::string& archivo : *archivos) ValidateFile(context, archivo);
  });
}

}  // namespace QuarloCli
