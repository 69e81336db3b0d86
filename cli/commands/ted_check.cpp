// ted verificar: a TED checked offline, alone or inside its stamped document.

#include <memory>
#include <quarlo/error.hpp>
#include <quarlo/servicio.hpp>
#include <quarlo/timbre.hpp>
#include <quarlo/xml_document.hpp>

#include "command.hpp"
#include "local_files.hpp"

namespace QuarloCli {

namespace {

using QuarloCliente::ArchivoCaf;
using QuarloCliente::Bytes;

// Why the TED was not stamped with this CAF, "" when it was.
std::string CafMismatch(const std::string& ted, const ArchivoCaf& caf) {
  QuarloCliente::Servicio local;
  const QuarloCliente::XmlDocument parsed = QuarloCliente::XmlDocument::Parse(ted);
  std::string modulus = local.NodeValue(parsed, "//DD/CAF/DA/RSAPK/M");
  std::erase_if(modulus, [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; });
  if (modulus != caf.ModuloBase64() || local.NodeValue(parsed, "//DD/RE") != caf.RutEmisor() ||
      local.NodeValue(parsed, "//DD/TD") != std::to_string(caf.TipoDte())) {
    return "el timbre no fue hecho con el CAF dado";
  }
  const std::string folio = local.NodeValue(parsed, "//DD/F");
  const auto number = std::strtoll(folio.c_str(), nullptr, 10);
  if (!caf.IncluyeFolio(number)) return "el folio " + folio + " está fuera del rango del CAF";
  return "";
}

// What «ted verificar» was given: a TED's text, or a file holding a TED or a stamped document.
struct TedCheck {
  std::string ted;
  std::string caf;
  std::string autoridad;
};

// The check of a TED alone, or, inside a stamped document, also that its DD is the document's.
QuarloCliente::ResultadoVerificacionTimbre VerifyTed(const std::string& text,
                                                     const std::string& authorityPem,
                                                     std::string& ted) {
  if (RootName(text) != "DTE") {
    ted = text;
    return QuarloCliente::VerificarTimbre(ted, authorityPem);
  }
  ted = TedOf(text);
  QuarloCliente::Servicio local;
  const std::string tipo = local.NodeValue(QuarloCliente::XmlDocument::Parse(ted), "//DD/TD");
  const auto context = std::make_shared<QuarloCliente::BindingContext>();
  if (IsBoletaType(std::strtoll(tipo.c_str(), nullptr, 10))) {
    QuarloCliente::BoletaDocumentBinding boleta;
    boleta.Load(text, context);
    return QuarloCliente::VerificarTimbreBoleta(ted, boleta, authorityPem);
  }
  QuarloCliente::DteDocumentBinding dte;
  dte.Load(text, context);
  return QuarloCliente::VerificarTimbreDte(ted, dte, authorityPem);
}

// A file's text as UTF-8, whatever encoding its XML declaration names.
std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadLocalFile(path);
  // A file written as ISO-8859-1 is read by its declaration; the library takes UTF-8 text.
  const QuarloCliente::XmlDocument parsed = QuarloCliente::XmlDocument::Parse(bytes);
  return parsed.IsEmpty() ? std::string(bytes.begin(), bytes.end()) : parsed.Xml();
}

// ted verificar: ok, or the first check that failed.
void CheckTed(Context& context, const TedCheck& check) {
  Record record("ted verificar");
  const bool inlineText = check.ted.find_first_not_of(" \t\r\n") != std::string::npos &&
                          check.ted[check.ted.find_first_not_of(" \t\r\n")] == '<';
  if (!inlineText) record.Field("archivo", check.ted);
  try {
    const std::string text = inlineText ? check.ted : ReadText(check.ted);
    const Bytes pem = check.autoridad.empty() ? Bytes() : ReadLocalFile(check.autoridad);
    const std::string authority(pem.begin(), pem.end());
    std::string ted;
    const auto outcome = VerifyTed(text, authority, ted);
    TedFields(record, ted);
    std::string reason = outcome.Valido ? "" : outcome.Motivo;
    if (reason.empty() && !check.caf.empty()) reason = CafMismatch(ted, ReadCaf(check.caf));
    if (!reason.empty()) {
      record.LocalFailure(reason);
      context.Report(record, QuarloCliente::TipoFallo::ErrorLocal);
      return;
    }
  } catch (const QuarloCliente::Error& error) {
    ReportLocalFailure(context, record, error.what());
    return;
  }
  context.Report(record, QuarloCliente::TipoFallo::Ninguno);
}

}  // namespace

void AddTedCommands(CLI::App& app, Context& context) {
  CLI::App* ted =
      NewCommand(app, "ted", "Timbres electrónicos (TED)", "quarlo ted verificar timbre.xml");
  ted->require_subcommand(1);
  auto check = std::make_shared<TedCheck>();
  CLI::App* verificar = NewCommand(
      *ted, "verificar",
      "Verifica un TED sin conexión: la firma FRMT con la clave del CAF que trae y, dentro de "
      "un documento timbrado, que DD corresponda al documento",
      "quarlo ted verificar boleta.timbrado.xml --caf FoliosSII7698144239.xml");
  verificar
      ->add_option("TED", check->ted,
                   "Fichero con el TED o con el documento timbrado, o el texto del TED")
      ->required();
  verificar->add_option("--caf", check->caf,
                        "Comprueba además que el timbre se hizo con este CAF y dentro de su rango");
  verificar->add_option("--autoridad", check->autoridad,
                        "Clave pública (PEM) de la autoridad: comprueba además la firma del CAF");
  verificar->callback([&context, check] { CheckTed(context, *check); });
}

}  // namespace QuarloCli
