#include <optional>
#include <quarlo/servicio.hpp>

#include "core/report.hpp"
#include "emission/emission.hpp"

namespace QuarloCliente {

namespace {

// The eight values of the TED's DD; "//RE" and "//TD" reach DD's before its CAF's.
struct TedValues {
  std::string re, td, f, fe, rr, rsr, mnt, it1;
};

TedValues ReadTedValues(Servicio& servicio, const std::string& tedText) {
  // A TED that is not XML leaves an empty document, in which every value reads as "".
  const XmlDocument ted = XmlDocument::Parse(tedText);
  const auto value = [&](const char* path) { return servicio.NodeValue(ted, path); };
  return {value("//RE"), value("//TD"),  value("//F"),   value("//FE"),
          value("//RR"), value("//RSR"), value("//MNT"), value("//IT1")};
}

// The document's text begins with the TED's. A search inside an empty text finds nothing, so an
// empty document text never matches, not even an empty TED value.
bool BeginsWith(std::string_view documentText, std::string_view tedText) {
  return !documentText.empty() && documentText.starts_with(tedText);
}

// The receiver's name, "" when the document has none (a boleta need not).
std::string ReceiverName(const ReceptorDte& receptor) {
  return receptor.Has("RznSocRecep") ? receptor.RznSocRecep() : std::string();
}

// The message of the first comparison that fails, in the fixed order; each document value is
// read only when its comparison comes, so an earlier mismatch wins over a later missing part.
template <class Forma>
std::optional<std::string> FirstMismatch(const FormaDte<Forma>& form, const TedValues& ted) {
  const auto encabezado = form.Encabezado();
  if (ted.re != encabezado->Emisor()->RUTEmisor()) {
    return "El campo RUTEmisor del documento no es igual al campo RE del TED.";
  }
  const auto idDoc = encabezado->IdDoc();
  if (ParseTipoDTE<typename Forma::Tipo>(ted.td) != idDoc->TipoDTE()) {
    return "El campo TipoDTE del documento no es igual al campo TD del TED.";
  }
  if (BindingInteger(ted.f) != idDoc->Folio()) {
    return "El campo Folio del documento no es igual al campo F del TED.";
  }
  if (idDoc->FchEmis().Format("s") != ted.fe) {
    return "El campo FchEmis del documento no es igual al campo FE del TED.";
  }
  const auto receptor = encabezado->Receptor();
  if (ted.rr != receptor->RUTRecep()) {
    return "El campo RUTRecep del documento no es igual al campo RR del TED.";
  }
  if (!BeginsWith(ReceiverName(*receptor), ted.rsr)) {
    return "El campo RUTRecep del documento no es igual al campo RSR.";
  }
  if (typename Forma::Monto(ted.mnt) != encabezado->Totales()->MntTotal()) {
    return "El campo MntTotal del documento no es igual al campo MNT del TED.";
  }
  if (!BeginsWith(form.Detalle(1)->NmbItem(), ted.it1)) {
    return "El campo del primer detalle NmbItem del documento no es igual al campo IT1 del TED.";
  }
  return std::nullopt;
}

// A DTE without any of the three forms has nothing to compare and counts as matching.
std::optional<std::string> FirstMismatch(const DteDocumentBinding& dte, const TedValues& ted) {
  if (const auto documento = dte.Documento()) return FirstMismatch(*documento, ted);
  if (const auto exportaciones = dte.Exportaciones()) return FirstMismatch(*exportaciones, ted);
  if (const auto liquidacion = dte.Liquidacion()) return FirstMismatch(*liquidacion, ted);
  return std::nullopt;
}

std::optional<std::string> FirstMismatch(const BoletaDocumentBinding& boleta,
                                         const TedValues& ted) {
  return FirstMismatch(*boleta.Documento(), ted);
}

template <class Document>
std::shared_ptr<ResultadoEnviarDocumento> ValidateTed(Servicio& servicio,
                                                      const std::shared_ptr<Document>& document,
                                                      const std::string& ted) {
  auto result = std::make_shared<ResultadoEnviarDocumento>();
  detail::ReportFailures(*result->ResultadoServicio, "Error validando el TED: ", [&] {
    const TedValues values = ReadTedValues(servicio, ted);
    if (auto mismatch = FirstMismatch(detail::RequireDocument(document), values)) {
      result->ResultadoServicio->SetError(*mismatch);
    }
  });
  return result->ResultadoServicio->Estado == "1" ? result : nullptr;
}

}  // namespace

std::shared_ptr<ResultadoEnviarDocumento> Servicio::ValidarTEDParaDTE(
    const std::shared_ptr<DteDocumentBinding>& Documento, const std::string& TED) {
  return ValidateTed(*this, Documento, TED);
}

std::shared_ptr<ResultadoEnviarDocumento> Servicio::ValidarTEDParaBoleta(
    const std::shared_ptr<BoletaDocumentBinding>& Documento, const std::string& TED) {
  return ValidateTed(*this, Documento, TED);
}

}  // namespace QuarloCliente
