// enviar's DTE and boletas: numbered by the service, stamped by their own TED, or sent with their
// own folio.

#include <filesystem>
#include <quarlo/binding.hpp>
#include <quarlo/error.hpp>
#include <quarlo/timbre.hpp>

#include "context.hpp"
#include "send_files.hpp"

namespace QuarloCli {

using QuarloCliente::Bytes;
using QuarloCliente::TipoFallo;

namespace {

// The form a DTE holds (Documento, Exportaciones or Liquidacion); a boleta's is Documento.
std::shared_ptr<QuarloCliente::BindingElement> FormOf(const QuarloCliente::BindingDocument& dte) {
  for (const char* name : {"Documento", "Exportaciones", "Liquidacion"}) {
    if (auto form = dte.Find(name)) return form;
  }
  throw LocalFault("el DTE no tiene Documento, Exportaciones ni Liquidacion");
}

// The document's own TED when it carries one whose signature verifies (stamped with its CAF);
// "" otherwise, and the service stamps it. The library's placeholder never verifies.
std::string StampedTed(const QuarloCliente::BindingDocument& document,
                       const QuarloCliente::BindingElement& form, const SendSettings& settings) {
  if (!form.Has("TED")) return "";
  // Written without prefixes or whitespace, the TED is one plain element in the text.
  const std::string xml = document.ToXml(settings.binding, false, 0);
  auto begin = xml.find("<TED");
  while (begin != std::string::npos && xml[begin + 4] != ' ' && xml[begin + 4] != '>') {
    begin = xml.find("<TED", begin + 4);
  }
  const auto end = xml.find("</TED>", begin);
  if (begin == std::string::npos || end == std::string::npos) return "";
  std::string ted = xml.substr(begin, end + 6 - begin);
  return QuarloCliente::VerificarTimbre(ted).Valido ? ted : "";
}

using DocumentResult = std::shared_ptr<QuarloCliente::ResultadoEnviarDocumento>;

// A document numbered by the service, stamped by its own TED, or sent with its own folio.
DocumentResult Submit(QuarloCliente::Servicio& s,
                      const std::shared_ptr<QuarloCliente::DteDocumentBinding>& dte,
                      const SendSettings& o, const std::string& ted) {
  if (o.autofoliado) {
    return s.EnviarDocumentoDTE_AutoFoliado(dte, o.ambiente, o.fechaResolucion, o.numeroResolucion,
                                            o.tipoPdf417, true);
  }
  if (!ted.empty()) {
    return s.EnviarDocumentoDTE_TED(dte, o.ambiente, o.fechaResolucion, o.numeroResolucion,
                                    o.tipoPdf417, ted);
  }
  return s.EnviarDocumentoDTE(dte, o.ambiente, o.fechaResolucion, o.numeroResolucion, o.tipoPdf417);
}

// The same choice for a boleta.
DocumentResult Submit(QuarloCliente::Servicio& s,
                      const std::shared_ptr<QuarloCliente::BoletaDocumentBinding>& boleta,
                      const SendSettings& o, const std::string& ted) {
  if (o.autofoliado) {
    return s.EnviarDocumentoBoleta_AutoFoliado(boleta, o.ambiente, o.fechaResolucion,
                                               o.numeroResolucion, o.tipoPdf417, true);
  }
  if (!ted.empty()) {
    return s.EnviarDocumentoBoleta_TED(boleta, o.ambiente, o.fechaResolucion, o.numeroResolucion,
                                       o.tipoPdf417, ted);
  }
  return s.EnviarDocumentoBoleta(boleta, o.ambiente, o.fechaResolucion, o.numeroResolucion,
                                 o.tipoPdf417);
}

// The stamped TED, and its barcode (image or font rows) when asked, as RUT_TIPO_FOLIO files: one
// name per document, whichever file it came from.
void WriteStamp(QuarloCliente::Servicio& servicio, const QuarloCliente::ResultadoEnviarDocumento& r,
                const Record& record, const SendSettings& settings) {
  const auto& fields = record.Json();
  const std::string base =
      (std::filesystem::path(settings.carpetaSalida) /
       (fields["rut"].get<std::string>() + "_" + fields["tipo"].get<std::string>() + "_" +
        fields["folio"].get<std::string>()))
          .string();
  bool written = servicio.EscribirFichero(base + ".ted.xml", Bytes(r.TED.begin(), r.TED.end()));
  try {
    if (settings.pdf417 == "grafico") {
      written = servicio.EscribirFichero(base + ".png", r.GetPdf417ComoBytes()) && written;
    } else if (settings.pdf417 == "fuente") {
      written =
          servicio.EscribirFichero(base + ".pdf417.txt", Bytes(r.Pdf417.begin(), r.Pdf417.end())) &&
          written;
    }
  } catch (const QuarloCliente::Error&) {
    written = false;  // an image the service sent garbled; the document is sent all the same
  }
  if (!written) Context::Warn("no se pudo escribir " + base + ".* (el documento sí se envió)");
}

// The folio the service wrote into its stamp; "" for a stamp that does not parse, which must not
// turn a document the service accepted into a local failure.
std::string AssignedFolio(QuarloCliente::Servicio& servicio, const std::string& ted) {
  try {
    return servicio.NodeValue(QuarloCliente::XmlDocument::Parse(ted), "//DD/F");
  } catch (const QuarloCliente::Error&) {
    return "";
  }
}

template <class Binding>
TipoFallo Send(QuarloCliente::Servicio& servicio, const Bytes& bytes, const SendSettings& settings,
               Record& record) {
  auto document = std::make_shared<Binding>();
  document->Load(bytes, settings.binding);
  const auto form = FormOf(*document);
  record.Field("rut", form->Get("Encabezado/Emisor/RUTEmisor"))
      .Field("tipo", form->Get("Encabezado/IdDoc/TipoDTE"));
  if (!settings.autofoliado) record.Field("folio", form->Get("Encabezado/IdDoc/Folio"));
  const auto result =
      Submit(servicio, document, settings,
             settings.autofoliado ? std::string() : StampedTed(*document, *form, settings));
  record.Outcome(*result->ResultadoServicio);
  if (settings.autofoliado) record.Field("folio", AssignedFolio(servicio, result->TED));
  if (record.Ok() && !settings.carpetaSalida.empty()) {
    WriteStamp(servicio, *result, record, settings);
  }
  return result->ResultadoServicio->Fallo;
}

}  // namespace

TipoFallo SendDocument(QuarloCliente::Servicio& servicio, FileClass fileClass, const Bytes& bytes,
                       const SendSettings& settings, Record& record) {
  if (fileClass == FileClass::Boleta) {
    return Send<QuarloCliente::BoletaDocumentBinding>(servicio, bytes, settings, record);
  }
  return Send<QuarloCliente::DteDocumentBinding>(servicio, bytes, settings, record);
}

}  // namespace QuarloCli
